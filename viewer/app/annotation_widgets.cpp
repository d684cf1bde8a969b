#include "viewer/app/annotation_widgets.h"

#include "imaging/font_height.h"
#include "uiwidgets/control_name.h"
#include "viewer/dialogs/viewer_texts.h"
#include "viewer/viewer_document.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTextCursor>

#include <cstdlib>

namespace viewer {

// ---- the in-place editor ----

CAnnotationEdit::CAnnotationEdit(QWidget* parent, std::function<void()> activate)
    : QPlainTextEdit(parent), m_activate(std::move(activate))
{
    setObjectName(ControlName(kAnnotationEditId));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFrameShape(QFrame::Box);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    hide();
}

void CAnnotationEdit::Open(const gdi::RECT& rect, const gdi::LOGFONTA& font, uint32_t, const std::string& text)
{
    setGeometry(rect.left, rect.top, std::max(1, rect.right - rect.left), std::max(1, rect.bottom - rect.top));
    setFont(gdi::fontOfLogFont(font));
    setPlainText(QtText(text));
    moveCursor(QTextCursor::End);
    show();
    raise();
    setFocus();
}

std::string CAnnotationEdit::Text() const { return Utf8Text(toPlainText()); }

bool CAnnotationEdit::CanUndo() const { return document()->isUndoAvailable(); }

bool CAnnotationEdit::HasSelection() const { return textCursor().hasSelection(); }

void CAnnotationEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && isVisible()) {
        // Hidden, the edit's end finds nothing to keep.
        hide();
        if (m_activate)
            m_activate();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

// ---- the clipboard ----

bool CQtAnnotationClipboard::Open() { return QGuiApplication::clipboard() != nullptr; }

void CQtAnnotationClipboard::SetAnnotation(const std::vector<uint8_t>& block, const QImage& picture)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kAnnotationMimeType),
                  QByteArray(reinterpret_cast<const char*>(block.data()), static_cast<qsizetype>(block.size())));
    if (!picture.isNull())
        data->setImageData(picture);
    clipboard->setMimeData(data);
}

std::optional<std::vector<uint8_t>> CQtAnnotationClipboard::Annotation()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    const QString type = QString::fromLatin1(kAnnotationMimeType);
    if (!data || !data->hasFormat(type))
        return std::nullopt;
    const QByteArray bytes = data->data(type);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

bool CQtAnnotationClipboard::HasText()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    return data && data->hasText();
}

// ---- the dialogs ----

bool CScreenFontChooser::Choose(gdi::LOGFONTA& font, uint32_t& colour)
{
    const int dpi = m_screenDpi ? std::max(1, m_screenDpi()) : 96;
    gdi::LOGFONTA page = font;
    page.lfHeight = gdi::MulDiv(std::abs(font.lfHeight), kPageDpi, dpi);
    uint32_t chosenColour = colour;
    if (!m_pageFonts.Choose(page, chosenColour))
        return false;
    font = page;
    font.lfHeight = gdi::DialogFontHeight(std::abs(page.lfHeight), dpi);
    colour = chosenColour;
    return true;
}

CQtAnnotationDialogs::CQtAnnotationDialogs(QWidget* parent, IPrompter& prompter, IViewerFrame& frame,
                                           std::function<int()> screenDpi)
    : m_pParent(parent), m_prompter(prompter), m_frame(frame), m_pageFonts(parent),
      m_fonts(m_pageFonts, std::move(screenDpi)), m_stampEditor(m_fonts, parent)
{
}

bool CQtAnnotationDialogs::LineStyle(const std::string& caption, int32_t& width, uint32_t& colour)
{
    CLineStyleDlg dialog(width, colour, caption, m_prompter, m_pParent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    width = dialog.Width();
    colour = dialog.Colour();
    return true;
}

bool CQtAnnotationDialogs::Colour(const std::string& caption, uint32_t& colour, bool noWhite)
{
    CColorDlg dialog(colour, noWhite, caption, m_pParent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    colour = dialog.Colour();
    return true;
}

bool CQtAnnotationDialogs::ColourFont(const std::string& caption, uint32_t& colour, gdi::LOGFONTA& font,
                                      uint32_t& textColour)
{
    CColorFontDlg dialog(colour, font, textColour, caption, m_fonts, m_pParent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    colour = dialog.Colour();
    font = dialog.Font();
    textColour = dialog.TextColour();
    return true;
}

bool CQtAnnotationDialogs::Font(const std::string& caption, gdi::LOGFONTA& font, uint32_t& colour)
{
    m_pageFonts.SetCaption(caption);
    const bool chosen = m_fonts.Choose(font, colour);
    m_pageFonts.SetCaption({});
    return chosen;
}

bool CQtAnnotationDialogs::StampList(const std::string& caption, CAnnotationDefaults& defaults)
{
    CStampListDlg dialog(defaults.stamps, defaults.stampCount, defaults.currentStamp, defaults.stampFont,
                         defaults.stampColour, caption, m_stampEditor, m_pParent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    defaults.stamps = dialog.Logic().Stamps();
    defaults.stampCount = dialog.Logic().Count();
    defaults.currentStamp = dialog.Current();
    return true;
}

std::optional<std::string> CQtAnnotationDialogs::OpenFile(const std::string& title, const std::string& filter,
                                                          const std::string& folder)
{
    return m_frame.OpenFile(title, filter, folder);
}

// ---- the tilt correction dialog ----

CQtTiltDialogHost::~CQtTiltDialogHost() { delete m_dialog; }

void CQtTiltDialogHost::OpenTiltDialog(ITiltTool& tool)
{
    if (!m_dialog)
        m_dialog = new CTiltCorrectionDlg(tool, m_prompter, m_pParent);
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void CQtTiltDialogHost::CloseTiltDialog()
{
    if (!m_dialog)
        return;
    m_dialog->hide();
    m_dialog->deleteLater();
    m_dialog = nullptr;
}

// ---- the context menus ----

QMenu* AnnotationMenu(QWidget* parent, int kind, bool selectTool)
{
    const bool text = kind == kAnnotText || kind == kAnnotPatchMemo;
    auto* menu = new QMenu(parent);
    const int menuId = selectTool ? (text ? 157 : 156) : (text ? 160 : 159);
    menu->setObjectName(QStringLiteral("menu%1").arg(menuId));
    const auto add = [&](int selected, int remembered) {
        const int id = selectTool ? selected : remembered;
        QAction* action = menu->addAction(ControlText(menuId, id));
        action->setObjectName(ControlName(id));
        action->setData(id);
    };
    if (text)
        add(59399, ID_CONTEXT_FIRST);
    add(ID_EDIT_CUT, 164);
    add(ID_EDIT_COPY, 165);
    menu->addSeparator();
    add(59400, 166);
    add(59401, 167);
    menu->addSeparator();
    add(59402, ID_CONTEXT_LAST);
    return menu;
}

} // namespace viewer
