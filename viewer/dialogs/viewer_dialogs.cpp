#include "viewer/dialogs/viewer_dialogs.h"

#include "common/resource_locale.h"
#include "imaging/font_height.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/font_dialog.h"
#include "uiwidgets/view_helpers.h"
#include "uiwidgets/worker_dialogs.h"
#include "viewer/dialogs/viewer_texts.h"
#include "viewer/viewer_document.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QStyleOptionFrame>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

namespace viewer {

namespace {

// OK (id 1) and Cancel (id 2) of that dialog in a row at the bottom; OK is the default button.
QHBoxLayout* okCancel(QDialog* dialog, int dialogId, QPushButton** ok = nullptr, bool cancel = true)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* okButton = Named(new QPushButton(ControlText(dialogId, IDOK), dialog), IDOK);
    okButton->setDefault(true);
    QObject::connect(okButton, &QPushButton::clicked, dialog, &QDialog::accept);
    row->addWidget(okButton);
    if (cancel) {
        auto* cancelButton = Named(new QPushButton(ControlText(dialogId, IDCANCEL), dialog), IDCANCEL);
        QObject::connect(cancelButton, &QPushButton::clicked, dialog, &QDialog::reject);
        row->addWidget(cancelButton);
    }
    if (ok)
        *ok = okButton;
    return row;
}

QLineEdit* readOnlyEdit(QWidget* parent, int id)
{
    auto* edit = Named(new QLineEdit(parent), id);
    edit->setReadOnly(true);
    return edit;
}

// The width a line edit needs to show text whole, as its style sizes line edits.
int lineEditWidthFor(QLineEdit* edit, const QString& text)
{
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    const QMargins margins = edit->textMargins() + edit->contentsMargins();
    const QSize contents(edit->fontMetrics().horizontalAdvance(text) + 4 + margins.left() + margins.right() + 1,
                         edit->fontMetrics().height());
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, contents, edit).width();
}

// The caller's caption; an empty one keeps the dialog's own.
void setCaption(QDialog* dialog, const std::string& caption, int dialogId)
{
    dialog->setWindowTitle(caption.empty() ? ControlText(dialogId, 0) : QtText(caption));
}

// Paints each colour item: the rectangle less 2 pixels filled with the colour, a black frame 1
// pixel inside when selected, a grey one 2 pixels inside when focused.
class ColourDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const auto colour = static_cast<uint32_t>(index.data(Qt::UserRole).toUInt());
        const QRect r = option.rect;
        painter->fillRect(r, option.palette.base());
        painter->fillRect(r.adjusted(2, 2, -2, -2), QColor(RgbOfColorref(colour)));
        if (option.state & QStyle::State_Selected) {
            painter->setPen(Qt::black);
            painter->drawRect(r.adjusted(1, 1, -2, -2));
        }
        if (option.state & QStyle::State_HasFocus) {
            painter->setPen(QColor(128, 128, 128));
            painter->drawRect(r.adjusted(2, 2, -3, -3));
        }
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(option.fontMetrics.height() * 7 / 8 + 4);
        return size;
    }
};

} // namespace

// ---- colour list ----

CColourCombo::CColourCombo(bool withoutWhite, QWidget* parent) : QComboBox(parent), m_logic(withoutWhite)
{
    setItemDelegate(new ColourDelegate(this));
    for (int i = 0; i < m_logic.Count(); ++i) {
        const CColourItem& item = ColourItems()[static_cast<size_t>(i)];
        addItem(QtText(item.name), QVariant::fromValue(item.colour));
        setItemData(i, QColor(RgbOfColorref(item.colour)), Qt::DecorationRole);
    }
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) { m_logic.SelectIndex(index); });
}

void CColourCombo::SelectColour(uint32_t colour) { setCurrentIndex(m_logic.Select(colour)); }

uint32_t CColourCombo::SelectedColour() const { return m_logic.SelectedColour(); }

CSpinButtons::CSpinButtons(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* up = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    auto* down = new QToolButton(this);
    down->setArrowType(Qt::DownArrow);
    up->setObjectName(QStringLiteral("up"));
    down->setObjectName(QStringLiteral("down"));
    for (QToolButton* button : {up, down}) {
        button->setFixedSize(18, 11);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
    }
    setFocusPolicy(Qt::StrongFocus);
    connect(up, &QToolButton::clicked, this, [this] { emit Delta(-1); });
    connect(down, &QToolButton::clicked, this, [this] { emit Delta(1); });
}

void CSpinButtons::SetBuddy(QWidget* buddy) { buddy->installEventFilter(this); }

bool CSpinButtons::Step(int key)
{
    if (!isEnabled() || (key != Qt::Key_Up && key != Qt::Key_Down))
        return false;
    emit Delta(key == Qt::Key_Up ? -1 : 1);
    return true;
}

bool CSpinButtons::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && Step(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QWidget::eventFilter(watched, event);
}

void CSpinButtons::keyPressEvent(QKeyEvent* event)
{
    if (!Step(event->key()))
        QWidget::keyPressEvent(event);
}

// ---- Change File Format ----

CChangeFileFormatDlg::CChangeFileFormatDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(ControlText(IDD_CHANGE_FILE_FORMAT, 0));
    auto* layout = new QVBoxLayout(this);
    m_pFormat = Named(new QComboBox(this), IDC_FORMAT_LIST);
    m_pSubFormat = Named(new QComboBox(this), IDC_SUBFORMAT_LIST);
    for (const std::string& format : m_logic.Formats())
        m_pFormat->addItem(QtText(format));
    layout->addWidget(new QLabel(ControlText(IDD_CHANGE_FILE_FORMAT, IDC_FORMAT_LIST), this));
    layout->addWidget(m_pFormat);
    layout->addWidget(new QLabel(ControlText(IDD_CHANGE_FILE_FORMAT, IDC_SUBFORMAT_LIST), this));
    layout->addWidget(m_pSubFormat);
    QPushButton* ok = nullptr;
    layout->addLayout(okCancel(this, IDD_CHANGE_FILE_FORMAT, &ok));
    FillSubFormats();
    connect(m_pFormat, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_logic.SelectFormat(index);
        FillSubFormats();
    });
    connect(m_pSubFormat, &QComboBox::currentIndexChanged, this, [this](int index) { m_logic.SelectSubFormat(index); });
    ChainTabOrder({m_pFormat, m_pSubFormat, ok, findChild<QPushButton*>(ControlName(IDCANCEL))});
}

void CChangeFileFormatDlg::FillSubFormats()
{
    const QSignalBlocker block(m_pSubFormat);
    m_pSubFormat->clear();
    for (const std::string& sub : m_logic.SubFormats())
        m_pSubFormat->addItem(QtText(sub));
    m_pSubFormat->setCurrentIndex(m_logic.SelectedSubFormat());
}

// ---- File information ----

CFileInfoDlg::CFileInfoDlg(const CLoadedFile& file, const CPageImageArray& pages, QWidget* parent)
    : QDialog(parent), m_logic(file, pages)
{
    setWindowTitle(ControlText(IDD_FILE_INFO, 0));
    auto* layout = new QVBoxLayout(this);
    for (const int id : {IDC_INFO_FORMAT, IDC_INFO_VERSION, IDC_INFO_COMPRESSION, IDC_INFO_WIDTH, IDC_INFO_HEIGHT,
                         IDC_INFO_COLOURS, IDC_INFO_PAGE}) {
        auto* row = new QHBoxLayout;
        auto* text = new QLabel(ControlText(IDD_FILE_INFO, id), this);
        text->setMinimumWidth(110);
        row->addWidget(text);
        m_fields.push_back(readOnlyEdit(this, id));
        row->addWidget(m_fields.back(), 1);
        layout->addLayout(row);
    }
    // Shown only when the file on disk is no longer the one the pages were read from.
    m_pNote = Named(new QLabel(this), IDC_INFO_NOTE);
    m_pNote->setWordWrap(true);
    m_pNote->hide();
    layout->addWidget(m_pNote);
    auto* buttons = new QHBoxLayout;
    m_pPrevious = Named(new QPushButton(ControlText(IDD_FILE_INFO, IDC_INFO_PREVIOUS), this), IDC_INFO_PREVIOUS);
    m_pNext = Named(new QPushButton(ControlText(IDD_FILE_INFO, IDC_INFO_NEXT), this), IDC_INFO_NEXT);
    buttons->addWidget(m_pPrevious);
    buttons->addWidget(m_pNext);
    layout->addLayout(buttons);
    layout->addLayout(okCancel(this, IDD_FILE_INFO, &m_pOk, false));
    connect(m_pNext, &QPushButton::clicked, this, [this] {
        m_logic.Next();
        Show();
    });
    connect(m_pPrevious, &QPushButton::clicked, this, [this] {
        m_logic.Previous();
        Show();
    });
    std::vector<QWidget*> order(m_fields.begin(), m_fields.end());
    ChainTabOrder({order[0], order[1], order[2], order[3], order[4], order[5], order[6], m_pPrevious, m_pNext, m_pOk});
}

bool CFileInfoDlg::Open()
{
    if (!m_logic.Open())
        return false;
    Show();
    return true;
}

void CFileInfoDlg::Show()
{
    const CFileInfoTexts& t = m_logic.Texts();
    const std::string* texts[] = {&t.format, &t.version, &t.compression, &t.width, &t.height, &t.colours, &t.page};
    for (size_t i = 0; i < m_fields.size(); ++i) {
        const QString text = QtText(*texts[i]);
        m_fields[i]->setText(text);
        m_fields[i]->setMinimumWidth(lineEditWidthFor(m_fields[i], text)); // the dialog widens to fit
        m_fields[i]->home(false);
    }
    m_pNote->setText(QtText(m_logic.Note()));
    m_pNote->setVisible(!m_logic.Note().empty());
    m_pPrevious->setEnabled(m_logic.PreviousEnabled());
    m_pNext->setEnabled(m_logic.NextEnabled());
    QWidget* focus = m_logic.Focus() == IDC_INFO_NEXT ? static_cast<QWidget*>(m_pNext)
                     : m_logic.Focus() == IDC_INFO_PREVIOUS ? static_cast<QWidget*>(m_pPrevious)
                                                            : static_cast<QWidget*>(m_pOk);
    focus->setFocus();
}

// ---- Settings ----

CSettingsDlg::CSettingsDlg(const CSettingsValues& values, IPrompter& prompter, QWidget* parent)
    : QDialog(parent), m_logic(values.adjust, values.lines, values.readOption, values.appValue), m_prompter(prompter)
{
    setWindowTitle(ControlText(IDD_SETTINGS, 0));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(ControlText(IDD_SETTINGS, kSettingsGroupText), this);
    auto* inner = new QVBoxLayout(group);
    m_pAdjust = Named(new QCheckBox(ControlText(IDD_SETTINGS, IDC_SETTINGS_ADJUST), group), IDC_SETTINGS_ADJUST);
    inner->addWidget(m_pAdjust);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(ControlText(IDD_SETTINGS, IDC_SETTINGS_LINES), group);
    m_pLines = readOnlyEdit(group, IDC_SETTINGS_LINES);
    m_pSpin = Named(new CSpinButtons(group), IDC_SETTINGS_SPIN);
    label->setBuddy(m_pLines);
    row->addWidget(label);
    row->addWidget(m_pLines);
    row->addWidget(m_pSpin);
    row->addStretch();
    inner->addLayout(row);
    layout->addWidget(group);
    QPushButton* ok = nullptr;
    layout->addLayout(okCancel(this, IDD_SETTINGS, &ok));
    m_pAdjust->setChecked(m_logic.Adjust() != 0);
    connect(m_pAdjust, &QCheckBox::toggled, this, [this](bool on) {
        m_logic.SetAdjust(on ? 1 : 0);
        Show();
    });
    connect(m_pSpin, &CSpinButtons::Delta, this, [this](int delta) {
        m_logic.Spin(delta);
        Show();
    });
    ChainTabOrder({m_pAdjust, m_pLines, m_pSpin, ok, findChild<QPushButton*>(ControlName(IDCANCEL))});
    Show();
}

void CSettingsDlg::Show()
{
    m_pLines->setText(QString::number(m_logic.Lines()));
    m_pLines->setEnabled(m_logic.LinesEnabled());
    m_pSpin->setEnabled(m_logic.LinesEnabled());
}

CSettingsValues CSettingsDlg::Values() const
{
    return {m_logic.Adjust(), m_logic.Lines(), m_logic.ReadOption(), m_logic.AppValue()};
}

void CSettingsDlg::accept()
{
    if (m_logic.Accept(m_prompter))
        QDialog::accept();
}

// ---- Page jump ----

CPageJumpDlg::CPageJumpDlg(int pageCount, int current, IPrompter& prompter, QWidget* parent)
    : QDialog(parent), m_logic(pageCount, current), m_prompter(prompter)
{
    setWindowTitle(ControlText(IDD_PAGE_JUMP, 0));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(ControlText(IDD_PAGE_JUMP, IDC_JUMP_PAGE), this);
    // The page is typed (digits only) or stepped with the buttons, Up and Down.
    m_pPage = Named(new QLineEdit(this), IDC_JUMP_PAGE);
    m_pPage->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), m_pPage));
    auto* spin = Named(new CSpinButtons(this), IDC_JUMP_SPIN);
    spin->SetBuddy(m_pPage);
    label->setBuddy(m_pPage);
    row->addWidget(label);
    row->addWidget(m_pPage);
    row->addWidget(spin);
    layout->addLayout(row);
    QPushButton* ok = nullptr;
    layout->addLayout(okCancel(this, IDD_PAGE_JUMP, &ok));
    m_pPage->setText(QString::number(m_logic.Value()));
    connect(spin, &CSpinButtons::Delta, this, [this](int delta) {
        m_logic.Spin(delta);
        m_pPage->setText(QString::number(m_logic.Value()));
        m_pPage->selectAll();
    });
    connect(m_pPage, &QLineEdit::textEdited, this, [this](const QString& text) { m_logic.SetValue(text.toInt()); });
    ChainTabOrder({m_pPage, spin, ok, findChild<QPushButton*>(ControlName(IDCANCEL))});
}

void CPageJumpDlg::accept()
{
    if (m_logic.Accept(m_prompter))
        QDialog::accept();
}

// ---- Tilt correction ----

CTiltCorrectionDlg::CTiltCorrectionDlg(ITiltTool& tool, IPrompter& prompter, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_logic(tool, prompter)
{
    setWindowTitle(ControlText(IDD_TILT_CORRECTION, 0));
    setModal(false);
    auto* layout = new QHBoxLayout(this);
    auto* automatic = Named(new QPushButton(ControlText(IDD_TILT_CORRECTION, IDC_TILT_AUTO), this), IDC_TILT_AUTO);
    auto* manual = Named(new QPushButton(ControlText(IDD_TILT_CORRECTION, IDC_TILT_MANUAL), this), IDC_TILT_MANUAL);
    automatic->setDefault(true);
    layout->addWidget(automatic);
    layout->addWidget(manual);
    connect(automatic, &QPushButton::clicked, this, [this] { m_logic.AutoCorrection(); });
    connect(manual, &QPushButton::clicked, this, [this] { m_logic.ManualCorrection(); });
    ChainTabOrder({automatic, manual});
}

void CTiltCorrectionDlg::reject() { m_logic.Close(); }

// ---- style dialogs ----

CLineStyleDlg::CLineStyleDlg(int width, uint32_t colour, const std::string& caption, IPrompter& prompter,
                             QWidget* parent)
    : QDialog(parent), m_logic(width, colour), m_prompter(prompter)
{
    setCaption(this, caption, IDD_LINE_STYLE);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* widthLabel = new QLabel(ControlText(IDD_LINE_STYLE, IDC_LINE_WIDTH), this);
    m_pWidth = Named(new QLineEdit(this), IDC_LINE_WIDTH);
    auto* spin = Named(new CSpinButtons(this), IDC_LINE_SPIN);
    widthLabel->setBuddy(m_pWidth);
    row->addWidget(widthLabel);
    row->addWidget(m_pWidth);
    row->addWidget(spin);
    layout->addLayout(row);
    auto* colourRow = new QHBoxLayout;
    auto* colourLabel = new QLabel(ControlText(IDD_LINE_STYLE, IDC_COLOUR_LIST), this);
    m_pColour = Named(new CColourCombo(false, this), IDC_COLOUR_LIST);
    colourLabel->setBuddy(m_pColour);
    colourRow->addWidget(colourLabel);
    colourRow->addWidget(m_pColour, 1);
    layout->addLayout(colourRow);
    QPushButton* ok = nullptr;
    layout->addLayout(okCancel(this, IDD_LINE_STYLE, &ok));
    m_pWidth->setText(QString::number(m_logic.Width()));
    m_pColour->SelectColour(colour);
    connect(spin, &CSpinButtons::Delta, this, [this](int delta) {
        m_logic.Spin(delta);
        m_pWidth->setText(QString::number(m_logic.Width()));
    });
    connect(m_pWidth, &QLineEdit::textEdited, this, [this](const QString& text) {
        bool number = false;
        const int value = text.toInt(&number);
        m_logic.SetWidth(number ? value : 0);
    });
    ChainTabOrder({m_pWidth, spin, m_pColour, ok, findChild<QPushButton*>(ControlName(IDCANCEL))});
}

void CLineStyleDlg::accept()
{
    if (m_logic.Accept(m_prompter))
        QDialog::accept();
}

CColorDlg::CColorDlg(uint32_t colour, bool withoutWhite, const std::string& caption, QWidget* parent) : QDialog(parent)
{
    setCaption(this, caption, IDD_COLOUR);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(ControlText(IDD_COLOUR, IDC_COLOUR_LIST), this);
    m_pColour = Named(new CColourCombo(withoutWhite, this), IDC_COLOUR_LIST);
    label->setBuddy(m_pColour);
    row->addWidget(label);
    row->addWidget(m_pColour, 1);
    layout->addLayout(row);
    QPushButton* ok = nullptr;
    layout->addLayout(okCancel(this, IDD_COLOUR, &ok));
    m_pColour->SelectColour(colour);
    ChainTabOrder({m_pColour, ok, findChild<QPushButton*>(ControlName(IDCANCEL))});
}

CColorFontDlg::CColorFontDlg(uint32_t colour, const gdi::LOGFONTA& font, uint32_t textColour,
                             const std::string& caption, IFontChooser& fonts, QWidget* parent)
    : QDialog(parent), m_font(font), m_nTextColour(textColour)
{
    setCaption(this, caption, IDD_COLOUR_FONT);
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(ControlText(IDD_COLOUR_FONT, IDC_COLOUR_LIST), this);
    m_pColour = Named(new CColourCombo(false, this), IDC_COLOUR_LIST);
    label->setBuddy(m_pColour);
    row->addWidget(label);
    row->addWidget(m_pColour, 1);
    layout->addLayout(row);
    auto* fontButton = Named(new QPushButton(ControlText(IDD_COLOUR_FONT, IDC_FONT), this), IDC_FONT);
    layout->addWidget(fontButton);
    QPushButton* ok = nullptr;
    layout->addLayout(okCancel(this, IDD_COLOUR_FONT, &ok));
    m_pColour->SelectColour(colour);
    connect(fontButton, &QPushButton::clicked, this, [this, &fonts] {
        gdi::LOGFONTA chosen = m_font;
        uint32_t chosenColour = m_nTextColour;
        if (fonts.Choose(chosen, chosenColour)) {
            m_font = chosen;
            m_nTextColour = chosenColour;
        }
    });
    ChainTabOrder({m_pColour, fontButton, ok, findChild<QPushButton*>(ControlName(IDCANCEL))});
}

// ---- stamps ----

CEditStampDlg::CEditStampDlg(const CStampRecord& record, const std::string& caption, IFontChooser& fonts,
                             QWidget* parent)
    : QDialog(parent), m_logic(record)
{
    setCaption(this, caption, IDD_EDIT_STAMP);
    auto* layout = new QVBoxLayout(this);
    auto* nameLabel = new QLabel(ControlText(IDD_EDIT_STAMP, IDC_STAMP_NAME), this);
    m_pName = Named(new QLineEdit(QtText(m_logic.Name()), this), IDC_STAMP_NAME);
    m_pName->setMaxLength(256);
    nameLabel->setBuddy(m_pName);
    auto* textLabel = new QLabel(ControlText(IDD_EDIT_STAMP, IDC_STAMP_TEXT), this);
    m_pText = Named(new QLineEdit(QtText(m_logic.Text()), this), IDC_STAMP_TEXT);
    m_pText->setMaxLength(kMaxStampText);
    m_pText->deselect();
    m_pText->end(false);
    textLabel->setBuddy(m_pText);
    layout->addWidget(nameLabel);
    layout->addWidget(m_pName);
    layout->addWidget(textLabel);
    layout->addWidget(m_pText);
    auto* buttons = new QHBoxLayout;
    auto* date = Named(new QPushButton(ControlText(IDD_EDIT_STAMP, IDC_STAMP_DATE), this), IDC_STAMP_DATE);
    auto* time = Named(new QPushButton(ControlText(IDD_EDIT_STAMP, IDC_STAMP_TIME), this), IDC_STAMP_TIME);
    auto* font = Named(new QPushButton(ControlText(IDD_EDIT_STAMP, IDC_FONT), this), IDC_FONT);
    buttons->addWidget(date);
    buttons->addWidget(time);
    buttons->addStretch();
    buttons->addWidget(font);
    layout->addLayout(buttons);
    QPushButton* ok = nullptr;
    layout->addLayout(okCancel(this, IDD_EDIT_STAMP, &ok));
    connect(date, &QPushButton::clicked, this, [this] { Insert("%x"); });
    connect(time, &QPushButton::clicked, this, [this] { Insert("%X"); });
    connect(font, &QPushButton::clicked, this, [this, &fonts] { m_logic.ChooseFont(fonts); });
    ChainTabOrder({m_pName, m_pText, date, time, font, ok, findChild<QPushButton*>(ControlName(IDCANCEL))});
}

void CEditStampDlg::Insert(const char* code)
{
    // insert() replaces the selection and can be undone.
    m_pText->insert(QString::fromLatin1(code));
}

void CEditStampDlg::accept()
{
    m_logic.Accept(Utf8Text(m_pName->text()), Utf8Text(m_pText->text()));
    QDialog::accept();
}

bool CQtFontChooser::Choose(gdi::LOGFONTA& font, uint32_t& colour)
{
    // Over an open dialog (the colour-and-font or stamp dialog) the font dialog is its child.
    QWidget* parent = QApplication::activeModalWidget() ? QApplication::activeModalWidget() : m_pParent;
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const int logPixelsY = screen ? qRound(screen->logicalDotsPerInchY()) : 96;
    gdi::LOGFONTA shown = font;
    shown.lfHeight = gdi::DialogFontHeight(font.lfHeight, logPixelsY);
    CCustomFontDlg dialog(shown, gdi::PointSizeTenthsOfPageHeight(font.lfHeight), parent);
    if (!m_caption.empty())
        dialog.SetCaption(QtText(m_caption));
    dialog.ShowColours(true);
    dialog.SetColour(QColor(RgbOfColorref(colour)));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    gdi::LOGFONTA chosen = dialog.Font();
    const int tenths = dialog.PointSizeTenths();
    // A size that is not a number keeps the height the font had.
    chosen.lfHeight = tenths > 0 ? gdi::PageFontHeight(tenths) : font.lfHeight;
    font = chosen;
    colour = ColorrefOfRgb(dialog.Colour().rgb());
    return true;
}

bool CQtStampEditor::Edit(const std::string& caption, CStampRecord& record)
{
    CEditStampDlg dialog(record, caption, m_fonts, m_pParent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    record = dialog.Record();
    return true;
}

CStampListDlg::CStampListDlg(const std::array<CStampRecord, kMaxStamps>& stamps, int count, int current,
                             const gdi::LOGFONTA& defaultFont, uint32_t defaultColour, const std::string& caption,
                             IStampEditor& editor, QWidget* parent)
    : QDialog(parent), m_logic(stamps, count, current, defaultFont, defaultColour), m_editor(editor)
{
    setCaption(this, caption, IDD_STAMP_LIST);
    auto* layout = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    left->addWidget(new QLabel(ControlText(IDD_STAMP_LIST, IDC_STAMP_LIST), this));
    m_pList = Named(new QListWidget(this), IDC_STAMP_LIST);
    left->addWidget(m_pList);
    auto* group = new QGroupBox(ControlText(IDD_STAMP_LIST, IDC_STAMP_PREVIEW), this);
    auto* groupLayout = new QVBoxLayout(group);
    m_pPreview = Named(new QLabel(group), IDC_STAMP_PREVIEW);
    m_pPreview->setMinimumHeight(40);
    groupLayout->addWidget(m_pPreview);
    left->addWidget(group);
    layout->addLayout(left, 1);
    auto* right = new QVBoxLayout;
    auto* create = Named(new QPushButton(ControlText(IDD_STAMP_LIST, IDC_STAMP_CREATE), this), IDC_STAMP_CREATE);
    m_pDelete = Named(new QPushButton(ControlText(IDD_STAMP_LIST, IDC_STAMP_DELETE), this), IDC_STAMP_DELETE);
    m_pEdit = Named(new QPushButton(ControlText(IDD_STAMP_LIST, IDC_STAMP_EDIT), this), IDC_STAMP_EDIT);
    auto* ok = Named(new QPushButton(ControlText(IDD_STAMP_LIST, IDOK), this), IDOK);
    auto* cancel = Named(new QPushButton(ControlText(IDD_STAMP_LIST, IDCANCEL), this), IDCANCEL);
    ok->setDefault(true);
    for (QPushButton* button : {create, m_pDelete, m_pEdit})
        right->addWidget(button);
    right->addStretch();
    right->addWidget(ok);
    right->addWidget(cancel);
    layout->addLayout(right);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(create, &QPushButton::clicked, this, [this] {
        m_logic.Create(m_editor);
        Show();
    });
    connect(m_pDelete, &QPushButton::clicked, this, [this] {
        m_logic.Delete();
        Show();
    });
    connect(m_pEdit, &QPushButton::clicked, this, [this] {
        m_logic.Edit(m_editor);
        Show();
    });
    connect(m_pList, &QListWidget::currentRowChanged, this, [this](int row) {
        m_logic.Select(row);
        m_pPreview->setText(QtText(m_logic.Preview()));
    });
    ChainTabOrder({m_pList, create, m_pDelete, m_pEdit, ok, cancel});
    Show();
}

void CStampListDlg::Show()
{
    const QSignalBlocker block(m_pList);
    m_pList->clear();
    for (const std::string& name : m_logic.Names())
        m_pList->addItem(QtText(name));
    m_pList->setCurrentRow(m_logic.Selection());
    if (m_logic.Selection() < 0)
        m_pList->clearSelection();
    m_pPreview->setText(QtText(m_logic.Preview()));
    m_pDelete->setEnabled(m_logic.DeleteEnabled());
    m_pEdit->setEnabled(m_logic.EditEnabled());
}

// ---- the document's dialogs ----

QStringList QtNameFilters(const std::string& filter)
{
    const QStringList parts = QtText(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            patterns << pattern.trimmed();
            if (pattern.trimmed().toLower() != pattern.trimmed())
                patterns << pattern.trimmed().toLower();
        }
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

std::optional<std::pair<std::string, int>> CQtViewerDialogs::SaveAsFile(const std::string& filter, int entry,
                                                                         const std::string& name)
{
    QFileDialog dialog(m_pParent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = QtNameFilters(filter);
    dialog.setNameFilters(filters);
    if (entry >= 0 && entry < filters.size())
        dialog.selectNameFilter(filters[entry]);
    dialog.setDefaultSuffix(QStringLiteral("TIF"));
    dialog.selectFile(QtText(name));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const auto chosen = static_cast<int>(filters.indexOf(dialog.selectedNameFilter()));
    return std::pair{Utf8Text(dialog.selectedFiles().front()), std::max(0, chosen)};
}

std::optional<std::string> CQtViewerDialogs::OpenFile(const std::string& title, const std::string& filter,
                                                      const std::string& folder)
{
    const QString path = QFileDialog::getOpenFileName(m_pParent, QtText(title), QtText(folder),
                                                      QtNameFilters(filter).join(QStringLiteral(";;")), nullptr,
                                                      QFileDialog::HideNameFilterDetails);
    if (path.isEmpty())
        return std::nullopt;
    return Utf8Text(path);
}

std::optional<CFileFormat> CQtViewerDialogs::ChangeFileFormat()
{
    CChangeFileFormatDlg dialog(m_pParent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Result();
}

std::optional<int> CQtViewerDialogs::PageJump(int count, int current)
{
    CPageJumpDlg dialog(count, current, m_prompter, m_pParent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Current();
}

bool CQtViewerDialogs::Settings(CSettingsValues& values)
{
    CSettingsDlg dialog(values, m_prompter, m_pParent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values = dialog.Values();
    return true;
}

void CQtViewerDialogs::FileInformation(const CLoadedFile& file, const CPageImageArray& pages)
{
    CFileInfoDlg dialog(file, pages, m_pParent);
    if (dialog.Open())
        dialog.exec();
}

// ---- the conversion's progress ----

namespace {

struct ConversionJob {
    const std::function<int16_t(const ConversionProgress&)>* work;
    int16_t code = kConversionCancelled;
};

// Reports each new percentage to the dialog; a post that fails means the user cancelled.
int ConversionWorker(void* data, platform::EndpointHandle dialog)
{
    auto& job = *static_cast<ConversionJob*>(data);
    int shown = -1;
    job.code = (*job.work)([dialog, &shown](int percent) {
        if (percent == shown)
            return platform::endpointExists(dialog);
        shown = percent;
        return PostToDialog(dialog, ProgressMessage(), 1, percent);
    });
    return 0;
}

} // namespace

int16_t CQtViewerDialogs::RunConversion(const std::function<int16_t(const ConversionProgress&)>& work)
{
    ConversionJob job{&work};
    CDProgress progress(m_pParent);
    // The wait cursor of the load stays off the dialog, whose Cancel is meant to be pressed.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    progress.Run(LoadResourceString(IDS_STATUS_PROCESSING), 1, ConversionWorker, &job);
    QApplication::restoreOverrideCursor();
    return job.code;
}

} // namespace viewer
