#include "uiwidgets/toolbar_ex.h"

#include "uiwidgets/control_text.h"
#include "uiwidgets/cool_menu.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>
#include <cstring>

namespace {

const char* const kSizes[] = {"8", "9", "10", "11", "12", "14", "16", "18", "20", "22", "24", "26", "28", "36", "48", "72"};

bool digitsOnly(const QString& text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

CToolBarEx::CToolBarEx(QWidget* parent) : QToolBar(parent)
{
    setMovable(true);
    setFloatable(false);
    setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea);
}

void CToolBarEx::LoadButtons(const std::vector<int>& commandIds, const CCoolMenuManager& images,
                             const std::function<QAction*(int)>& actionFor)
{
    setIconSize(images.ImageSize());
    for (int id : commandIds) {
        QAction* action = id == 0 ? addSeparator() : actionFor(id);
        if (id != 0) {
            if (action->icon().isNull())
                action->setIcon(images.Icon(id));
            addAction(action);
            if (QWidget* button = widgetForAction(action))
                button->setObjectName(ControlName(id));
        }
        m_Slots.push_back(action);
    }
}

QAction* CToolBarEx::SlotAction(int slot) const
{
    return slot >= 0 && static_cast<size_t>(slot) < m_Slots.size() ? m_Slots[static_cast<size_t>(slot)] : nullptr;
}

CFontToolBar::CFontToolBar(QWidget* parent) : CToolBarEx(parent)
{
    connect(qobject_cast<QGuiApplication*>(QGuiApplication::instance()), &QGuiApplication::fontDatabaseChanged, this,
            [this] { ResetFontCombos(); });
}

void CFontToolBar::SetHandlers(std::function<void(int)> command, std::function<void()> focusView)
{
    m_Command = std::move(command);
    m_FocusView = std::move(focusView);
}

void CFontToolBar::send(int command)
{
    if (m_Command)
        m_Command(command);
    if (m_FocusView)
        m_FocusView();
}

bool CFontToolBar::CreateFontCombos()
{
    QAction* nameSlot = SlotAction(kNameSlot);
    QAction* sizeSlot = SlotAction(kSizeSlot);
    if (!nameSlot || !sizeSlot)
        return false;
    m_pName = Named(new QComboBox(this), ID_FONT_NAME);
    m_pName->setFixedWidth(200);
    m_pName->setMaxVisibleItems(12);
    m_pSize = Named(new QComboBox(this), ID_FONT_SIZE);
    m_pSize->setEditable(true);
    m_pSize->setInsertPolicy(QComboBox::NoInsert);
    m_pSize->setFixedWidth(60);
    m_pSize->lineEdit()->setObjectName(ControlName(ID_FONT_SIZE) + QStringLiteral("edit"));
    m_Slots[kNameSlot] = insertWidget(nameSlot, m_pName);
    m_Slots[kSizeSlot] = insertWidget(sizeSlot, m_pSize);
    removeAction(nameSlot);
    removeAction(sizeSlot);
    // Tips and status texts from the program's strings of the two commands.
    for (QComboBox* combo : {m_pName, m_pSize}) {
        const CommandPrompt prompt = CommandPromptOf(combo == m_pName ? ID_FONT_NAME : ID_FONT_SIZE);
        combo->setStatusTip(prompt.status);
        combo->setToolTip(prompt.tip);
    }
    connect(m_pName, &QComboBox::activated, this, [this](int index) {
        m_nLastFace = index;
        send(ID_FONT_NAME);
    });
    connect(m_pSize, &QComboBox::activated, this, [this](int index) {
        m_nLastSize = index;
        send(ID_FONT_SIZE);
    });
    m_pName->installEventFilter(this);
    m_pSize->installEventFilter(this);
    m_pSize->lineEdit()->installEventFilter(this);
    ResetFontCombos();
    return true;
}

void CFontToolBar::ResetFontCombos()
{
    if (!m_pName)
        return;
    QStringList families = QFontDatabase::families();
    families.sort(Qt::CaseInsensitive);
    families.removeDuplicates();
    m_pName->clear();
    m_Faces.clear();
    for (const QString& family : families) {
        gdi::LOGFONTA font;
        const std::string name = Utf8Text(family);
        if (name.size() >= sizeof font.lfFaceName)
            continue; // a face name the font record cannot hold
        std::memcpy(font.lfFaceName, name.c_str(), name.size() + 1);
        font.lfWeight = 400;
        m_pName->addItem(family);
        m_Faces.push_back(font);
    }
    m_pName->setCurrentIndex(m_Faces.empty() ? -1 : 0);
    m_nLastFace = m_pName->currentIndex();
    m_pSize->clear();
    for (const char* size : kSizes)
        m_pSize->addItem(QString::fromLatin1(size));
    m_pSize->setCurrentIndex(0);
    m_nLastSize = 0;
}

int CFontToolBar::GetChosenFont(const gdi::LOGFONTA& current, gdi::LOGFONTA& chosen) const
{
    const int index = m_pName ? m_pName->currentIndex() : -1;
    if (index < 0 || static_cast<size_t>(index) >= m_Faces.size())
        return -1;
    chosen = m_Faces[static_cast<size_t>(index)];
    chosen.lfHeight = current.lfHeight;
    chosen.lfWidth = current.lfWidth;
    chosen.lfWeight = current.lfWeight;
    chosen.lfItalic = current.lfItalic;
    chosen.lfUnderline = current.lfUnderline;
    return 0;
}

void CFontToolBar::ShowFace(const std::string& face)
{
    if (!m_pName)
        return;
    const int index = m_pName->findText(QtText(face), Qt::MatchFixedString);
    if (index >= 0 && index != m_nLastFace)
        m_pName->setCurrentIndex(index);
    m_nLastFace = index;
}

int CFontToolBar::GetSize() const
{
    if (!m_pSize)
        return 0;
    // The edit field shows the chosen item, or what was typed.
    const QString text = m_pSize->lineEdit()->text();
    bool ok = false;
    const int points = text.trimmed().toInt(&ok);
    return ok ? points : 0;
}

void CFontToolBar::ShowSize(int points)
{
    if (!m_pSize || points <= 0)
        return;
    // Always the size given: a size outside the list after another one outside it, or a list
    // size after something was typed, shows too.
    const QString text = QString::number(points);
    const int index = m_pSize->findText(text);
    if (index != m_pSize->currentIndex())
        m_pSize->setCurrentIndex(index);
    if (m_pSize->currentText() != text)
        m_pSize->setEditText(text);
    m_nLastSize = index;
}

bool CFontToolBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return CToolBarEx::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (watched == m_pName) {
            if (m_FocusView)
                m_FocusView();
            return true;
        }
        if (digitsOnly(m_pSize->lineEdit()->text())) {
            m_nLastSize = m_pSize->findText(m_pSize->lineEdit()->text());
            send(ID_FONT_SIZE);
            return true;
        }
        return false;
    case Qt::Key_Escape:
        if (m_FocusView)
            m_FocusView();
        return true;
    case Qt::Key_Down:
        if (key->modifiers() != Qt::NoModifier)
            return false;
        // The face list drops first, then the size list.
        if (!m_pName->view()->isVisible()) {
            m_pName->showPopup();
            return true;
        }
        if (!m_pSize->view()->isVisible()) {
            m_pSize->showPopup();
            return true;
        }
        return false;
    default:
        return false;
    }
}
