#include "cover/editor/app/header_view.h"

#include "common/prompter.h"
#include "common/resource_locale.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/font_dialog.h"
#include "cover/editor/app/editor_texts.h"
#include "cover/editor/file_commands.h"
#include "cover/editor/menu_pictures.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QStyleHints>

namespace cvr {

namespace {

// Milliseconds of a clock that only goes forward.
int64_t tickCount()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

Qt::CursorShape cursorOf(int code)
{
    switch (code) {
    case HIT_MOVE:
    case HIT_LINE: return Qt::SizeAllCursor;
    case HIT_LEFT:
    case HIT_RIGHT: return Qt::SizeHorCursor;
    case HIT_TOP:
    case HIT_BOTTOM: return Qt::SizeVerCursor;
    case HIT_TOPLEFT:
    case HIT_BOTTOMRIGHT: return Qt::SizeFDiagCursor;
    case HIT_BOTTOMLEFT:
    case HIT_TOPRIGHT: return Qt::SizeBDiagCursor;
    case HIT_LINE_START:
    case HIT_LINE_END: return Qt::CrossCursor;
    default: return Qt::ArrowCursor;
    }
}

QRect qrectOf(const gdi::RECT& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)); }

// The text as the editor shows it: line ends as line feeds.
QString editorText(const std::string& text)
{
    QString shown = QtText(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

} // namespace

CtqHeaderEdit::CtqHeaderEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    setObjectName(ControlName(CtqHeaderView::kEditorId));
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFrameShape(QFrame::Box);
    hide();
}

void CtqHeaderEdit::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !(event->modifiers() & Qt::ShiftModifier)) {
        emit committed();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        emit cancelled();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

ScreenMetrics CQtScreenMetrics::Metrics() const
{
    ScreenMetrics m;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        m.horzRes = screen->geometry().width();
        m.vertRes = screen->geometry().height();
        m.horzSize = static_cast<int>(screen->physicalSize().width() * 10);
        m.vertSize = static_cast<int>(screen->physicalSize().height() * 10);
        m.logPixelsX = qRound(screen->logicalDotsPerInchX());
        m.logPixelsY = qRound(screen->logicalDotsPerInchY());
    }
    m.menuHeight = QFontMetrics(QApplication::font()).height() + 6;
    m.doubleClickMs = QGuiApplication::styleHints()->mouseDoubleClickInterval();
    m.doubleClickCx = m.doubleClickCy = QGuiApplication::styleHints()->mouseDoubleClickDistance();
    return m;
}

namespace {

// The system clipboard: the block under the cover sheet type, the frame line as plain text.
class CQtEditClipboard : public IEditClipboard {
public:
    std::optional<std::string> Block() const override
    {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        const QString type = QString::fromLatin1(kCoverClipboardType);
        if (!data || !data->hasFormat(type))
            return std::nullopt;
        const QByteArray bytes = data->data(type);
        return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    bool Put(const std::string& block, const std::string& text) override
    {
        auto* data = new QMimeData;
        data->setData(QString::fromLatin1(kCoverClipboardType), QByteArray(block.data(), static_cast<qsizetype>(block.size())));
        data->setText(QString::fromUtf8(text));
        QGuiApplication::clipboard()->setMimeData(data);
        return true;
    }
    void Clear() override { QGuiApplication::clipboard()->clear(); }
};

} // namespace

CtqHeaderView::CtqHeaderView(CtqHeaderDoc& document, const IScreenMetricsProvider& metrics, IPrompter& prompter,
                             QWidget* parent, const ICoverSheetApp* profile)
    : QAbstractScrollArea(parent), m_Doc(document), m_Logic(document, metrics), m_Prompter(prompter),
      m_pEdit(new CtqHeaderEdit(viewport())), m_pClipboard(std::make_unique<CQtEditClipboard>()),
      m_pCommands(std::make_unique<CEditCommands>(m_Logic, *m_pClipboard, prompter, profile))
{
    setObjectName(QStringLiteral("view"));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    connect(m_pEdit, &CtqHeaderEdit::committed, this, &CtqHeaderView::CommitEdit);
    connect(m_pEdit, &CtqHeaderEdit::cancelled, this, &CtqHeaderView::cancelEdit);
    connect(m_pEdit, &QPlainTextEdit::textChanged, this, &CtqHeaderView::limitEditText);
    // New texts take the default face where it is installed, else the DejaVu face the suite installs.
    if (!QFontDatabase::hasFamily(QString::fromUtf8(m_pCommands->DefaultFont().lfFaceName)))
        for (const char* face : {"DejaVu Serif", "DejaVu Sans"})
            if (QFontDatabase::hasFamily(QString::fromLatin1(face))) {
                m_pCommands->SetDefaultFace(face);
                break;
            }
    updateScrollSizes();
}

CtqHeaderView::~CtqHeaderView() = default;

bool CtqHeaderView::OnCommand(int command)
{
    switch (command) {
    case ID_ZOOM_ENLARGE:
    case ID_ZOOM_DEFAULT:
    case ID_ZOOM_REDUCE:
        CommitEdit();
        if (m_Logic.SetZoom(command)) {
            updateScrollSizes();
            if (const CtqRect* selected = m_Logic.Selection())
                ScrollIntoView(selected);
            viewport()->update();
        }
        return true;
    case ID_GRID_SHOW:
    case ID_GRID_25:
    case ID_GRID_50:
    case ID_GRID_100:
    case ID_GRID_SNAP:
        CommitEdit();
        if (m_Logic.OnGridCommand(command))
            viewport()->update();
        return true;
    default: return editCommand(command);
    }
}

bool CtqHeaderView::editorCommand(int command)
{
    switch (command) {
    case ID_EDIT_DELETE:
        if (m_pEdit->textCursor().hasSelection()) {
            m_pEdit->textCursor().removeSelectedText();
        } else {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
            QApplication::sendEvent(m_pEdit, &press);
            QApplication::sendEvent(m_pEdit, &release);
        }
        break;
    case ID_EDIT_COPY: m_pEdit->copy(); return true;
    case ID_EDIT_CUT: m_pEdit->cut(); break;
    case ID_EDIT_PASTE: m_pEdit->paste(); break;
    default: return false;
    }
    m_Doc.SetModifiedFlag(true);
    changed();
    return true;
}

bool CtqHeaderView::editCommand(int command)
{
    if (m_pEdit->isVisible() && editorCommand(command))
        return true;
    CEditCommands& commands = *m_pCommands;
    const bool known = IsInsertCommand(command) || IsLineTypeCommand(command) || ShadingFill(command) >= 0;
    switch (command) {
    case ID_EDIT_DELETE: case ID_EDIT_COPY: case ID_EDIT_CUT: case ID_EDIT_PASTE: case ID_BRING_TO_FRONT:
    case ID_SEND_TO_BACK: case ID_EDIT_STRING: case ID_EDIT_IMAGE: case ID_FONT_DIALOG: case ID_SENDER_LANG0:
    case ID_SENDER_LANG1: case ID_FONT_BOLD: case ID_FONT_ITALIC: case ID_FONT_UNDERLINE:
        break;
    default:
        if (!known)
            return false;
    }
    CommitEdit();
    if (IsInsertCommand(command)) {
        const gdi::POINT page = m_Logic.PageSizeOnScreen();
        commands.Insert(command, {horizontalScrollBar()->value(), verticalScrollBar()->value(), page.x, page.y});
    } else if (IsLineTypeCommand(command)) {
        commands.LineType(command);
    } else if (ShadingFill(command) >= 0) {
        commands.Shading(command);
    } else {
        switch (command) {
        case ID_EDIT_DELETE: commands.Remove(); break;
        case ID_EDIT_COPY: commands.Copy(); break;
        case ID_EDIT_CUT: commands.Cut(); break;
        case ID_EDIT_PASTE: commands.Paste(); break;
        case ID_BRING_TO_FRONT: commands.BringToFront(); break;
        case ID_SEND_TO_BACK: commands.SendToBack(); break;
        case ID_EDIT_STRING:
        case ID_EDIT_IMAGE:
            if (CtqRect* selected = m_Logic.Selection(); selected && State(command).enabled
                                                          && selected->EditProperties(this) == 1)
                m_Doc.SetModifiedFlag(true);
            break;
        case ID_FONT_DIALOG: commands.FontDialog(*this); break;
        case ID_SENDER_LANG0: commands.SetSenderLanguage(0); break;
        case ID_SENDER_LANG1: commands.SetSenderLanguage(1); break;
        default: commands.FontCommand(command); break;
        }
    }
    viewport()->update();
    changed();
    return true;
}

CommandState CtqHeaderView::State(int command) const
{
    const bool editing = m_pEdit->isVisible();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    const bool hasData = data && (editing ? data->hasText() : data->hasFormat(QString::fromLatin1(kCoverClipboardType)));
    return m_pCommands->State(command, editing, hasData);
}

QMenu* CtqHeaderView::ContextMenuAt(const QPoint& client)
{
    const bool keyboard = client == QPoint(-1, -1);
    const QPoint at = keyboard ? QPoint(5, 5) : client;
    const bool tracking = m_Logic.Tracking();
    CommitEdit();
    if (!keyboard && !(m_Logic.Selection() && m_Logic.HitAt(devicePoint(at)) != HIT_NONE)) {
        // Select at the pointer as a press does, without tracking.
        m_Logic.Press(devicePoint(at), 0);
        m_Logic.CancelTracking();
        viewport()->update();
        changed();
    }
    const CtqRect* selected = m_Logic.Selection();
    if (!selected || dynamic_cast<const CtqDrawingCutterRect*>(selected)
        || (tracking && m_Logic.HitAt(devicePoint(at)) != HIT_NONE))
        return nullptr;
    int id = 106;
    if (dynamic_cast<const CtqStaticTextRect*>(selected))
        id = 110;
    else if (dynamic_cast<const CtqBitmapRect*>(selected))
        id = 108;
    else if (dynamic_cast<const CtqDrawingFrameRect*>(selected))
        id = 111;
    else if (dynamic_cast<const CtqDrawingLineRect*>(selected))
        id = 113;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setObjectName(ControlName(id));
    const auto item = [this](QMenu* into, int command, const QString& text) {
        QAction* action = into->addAction(text);
        action->setObjectName(ControlName(command));
        const CommandState state = State(command);
        action->setEnabled(state.enabled);
        action->setCheckable(IsLineTypeCommand(command) || ShadingFill(command) >= 0);
        action->setChecked(state.checked);
        connect(action, &QAction::triggered, this, [this, command] {
            if (m_Command)
                m_Command(command);
            else
                OnCommand(command);
        });
        return action;
    };
    item(menu, ID_BRING_TO_FRONT, ControlText(id, ID_BRING_TO_FRONT));
    item(menu, ID_SEND_TO_BACK, ControlText(id, ID_SEND_TO_BACK));
    menu->addSeparator();
    item(menu, ID_EDIT_CUT, ControlText(id, ID_EDIT_CUT));
    item(menu, ID_EDIT_COPY, ControlText(id, ID_EDIT_COPY));
    item(menu, ID_EDIT_PASTE, ControlText(id, ID_EDIT_PASTE));
    item(menu, ID_EDIT_DELETE, ControlText(id, ID_EDIT_DELETE));
    menu->addSeparator();
    const ScreenMetrics metrics = m_Logic.Metrics();
    const auto pictures = [&](const QString& title, const int* first, const int* last) {
        QMenu* popup = menu->addMenu(title);
        for (const int* command = first; command != last; ++command)
            item(popup, *command, QString())->setIcon(QPixmap::fromImage(MenuPicture(*command, metrics.menuHeight, metrics.logPixelsY)));
    };
    switch (id) {
    case 106: item(menu, ID_FONT_DIALOG, ControlText(id, ID_FONT_DIALOG)); break;
    case 108: item(menu, ID_EDIT_IMAGE, ControlText(id, ID_EDIT_IMAGE)); break;
    case 110:
        item(menu, ID_EDIT_STRING, ControlText(id, ID_EDIT_STRING));
        item(menu, ID_FONT_DIALOG, ControlText(id, ID_FONT_DIALOG));
        break;
    default:
        pictures(ControlText(id, kLineTypePopup), std::begin(kLineTypeCommands), std::end(kLineTypeCommands));
        if (id == 111)
            pictures(ControlText(id, kPaintPopup), std::begin(kShadingCommands), std::end(kShadingCommands));
        break;
    }
    menu->popup(viewport()->mapToGlobal(at));
    return menu;
}

void CtqHeaderView::contextMenuEvent(QContextMenuEvent* event)
{
    const QPoint client = event->reason() == QContextMenuEvent::Keyboard ? QPoint(-1, -1) : viewport()->mapFrom(this, event->pos());
    ContextMenuAt(client);
    event->accept();
}

bool CtqHeaderView::IsChecked(int command) const
{
    switch (command) {
    case ID_ZOOM_ENLARGE:
    case ID_ZOOM_DEFAULT:
    case ID_ZOOM_REDUCE: return m_Logic.Zoom() == command;
    case ID_GRID_SHOW: return m_Logic.GridShown();
    case ID_GRID_25:
    case ID_GRID_50:
    case ID_GRID_100: return m_Logic.GridCommand() == command;
    case ID_GRID_SNAP: return m_Logic.Snap();
    default: return false;
    }
}

void CtqHeaderView::CommitEdit()
{
    if (!m_pEdit->isVisible()) {
        m_pEditTarget = nullptr;
        return;
    }
    m_pEdit->hide();
    if (m_pEditTarget) {
        const std::string text = Utf8Text(m_pEdit->toPlainText());
        if (editorText(m_pEditTarget->GetText()) != QtText(text)) {
            m_pEditTarget->SetText(text);
            m_Doc.SetModifiedFlag(true);
            changed();
        }
        InvalidateObject(m_pEditTarget);
    }
    m_pEditTarget = nullptr;
    setFocus();
}

void CtqHeaderView::limitEditText()
{
    // A text grows no longer than a frame line can hold (a longer one read from a file stays).
    const int limit = std::max(kMaxFreeText, m_nEditStartLength);
    if (m_bLimiting || m_pEdit->document()->characterCount() - 1 <= limit)
        return;
    m_bLimiting = true;
    const QString text = m_pEdit->toPlainText();
    const int cut = text.at(limit - 1).isHighSurrogate() ? limit - 1 : limit;
    QTextCursor cursor(m_pEdit->document());
    cursor.setPosition(cut);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    m_pEdit->moveCursor(QTextCursor::End);
    m_Prompter.MessageBox(FormatText(IDS_TEXT_TOO_LONG, std::to_string(limit)), LoadResourceString(IDS_APP_CAPTION),
                          MB_ICONWARNING);
    m_pEdit->setFocus();
    m_bLimiting = false;
}

void CtqHeaderView::cancelEdit()
{
    m_pEdit->hide();
    m_pEditTarget = nullptr;
    setFocus();
}

void CtqHeaderView::changed()
{
    if (m_Modified)
        m_Modified();
}

void CtqHeaderView::OnInitialUpdate()
{
    cancelEdit();
    m_Logic.ClearSelection();
    updateScrollSizes();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
}

void CtqHeaderView::updateScrollSizes()
{
    const gdi::POINT page = m_Logic.PageSizeOnScreen();
    const QSize visible = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, page.x - visible.width()));
    verticalScrollBar()->setRange(0, std::max(0, page.y - visible.height()));
    horizontalScrollBar()->setPageStep(256);
    verticalScrollBar()->setPageStep(256);
    horizontalScrollBar()->setSingleStep(32);
    verticalScrollBar()->setSingleStep(32);
}

void CtqHeaderView::ScrollIntoView(const CtqRect* object)
{
    const gdi::RECT r = m_Logic.Conversion().ToDevice(Normalized(object->GetRect()));
    const QRect visible(QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()), viewport()->size());
    if (visible.contains(r.left, r.top) && visible.contains(r.right, r.bottom))
        return;
    horizontalScrollBar()->setValue(std::max(0, r.left - (visible.width() - (r.right - r.left)) / 2));
    verticalScrollBar()->setValue(std::max(0, r.top - (visible.height() - (r.bottom - r.top)) / 2));
}

void CtqHeaderView::InvalidateObject(const CtqRect* object)
{
    const gdi::RECT r = m_Logic.Conversion().ToDevice(Normalized(object->GetRect()));
    viewport()->update(qrectOf(r).translated(-horizontalScrollBar()->value(), -verticalScrollBar()->value()).adjusted(-6, -6, 6, 6));
}

void CtqHeaderView::PageToDevice(gdi::CDeviceContext* dc, gdi::POINT& point)
{
    if (dc && dc != m_pScreenDC) {
        point.x = gdi::MulDiv(point.x, dc->GetDeviceCaps(gdi::LOGPIXELSX), 200);
        point.y = gdi::MulDiv(point.y, dc->GetDeviceCaps(gdi::LOGPIXELSY), 200);
        return;
    }
    point = m_Logic.Conversion().ToDevice(point);
}

void CtqHeaderView::PageRectToDevice(gdi::CDeviceContext* dc, gdi::RECT& rect)
{
    gdi::POINT a{rect.left, rect.top}, b{rect.right, rect.bottom};
    PageToDevice(dc, a);
    PageToDevice(dc, b);
    rect = {a.x, a.y, b.x, b.y};
}

gdi::POINT CtqHeaderView::GetScrollPosition() const
{
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

int CtqHeaderView::GetScreenPixelsPerInch() const { return m_Logic.Metrics().logPixelsY; }

bool CtqHeaderView::IsInPlaceEditorVisible() const { return m_pEdit->isVisible(); }

void CtqHeaderView::ShowInPlaceEditor(const gdi::RECT& rect, const gdi::LOGFONTA& font, const std::string& text)
{
    QFont editorFont(QString::fromUtf8(font.lfFaceName));
    editorFont.setPixelSize(std::max(1, std::abs(font.lfHeight)));
    editorFont.setBold(font.lfWeight >= 600);
    editorFont.setItalic(font.lfItalic != 0);
    editorFont.setUnderline(font.lfUnderline != 0);
    m_pEdit->setFont(editorFont);
    m_pEdit->setGeometry(QRect(QPoint(rect.left, rect.top), QPoint(rect.right - 1, rect.bottom - 1)));
    m_bLimiting = true; // the text as it stands, however long
    m_pEdit->setPlainText(editorText(text));
    m_bLimiting = false;
    m_nEditStartLength = static_cast<int>(m_pEdit->toPlainText().size());
    m_pEdit->show();
    m_pEdit->setFocus();
    m_pEdit->selectAll();
}

bool CtqHeaderView::ChooseFont(gdi::LOGFONTA& font, int flags, int& pointSizeTenths)
{
    static_cast<void>(flags);
    CCustomFontDlg dialog(font, pointSizeTenths, this);
    dialog.ShowColours(false);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    font = dialog.Font();
    pointSizeTenths = dialog.PointSizeTenths();
    return true;
}

bool CtqHeaderView::ChooseOpenFile(const std::string& filter, const std::string& defaultExtension, int flags,
                                   const std::string& folder, std::string& path)
{
    static_cast<void>(flags);
    FileQuestion question;
    question.strFilter = filter;
    question.strDefaultExtension = defaultExtension;
    question.strFolder = folder;
    question.bMustExist = true;
    const auto chosen = m_Prompter.GetOpenFileName(question);
    if (!chosen)
        return false;
    path = *chosen;
    return true;
}

void CtqHeaderView::ShowImageError(const std::string& caption, const std::string& path)
{
    m_Prompter.MessageBox(FormatText(IDS_PICTURE_UNUSABLE, path), caption, MB_ICONWARNING);
}

void CtqHeaderView::PrintPage(QImage& image)
{
    gdi::CDeviceContext dc(image);
    for (size_t i = 0; i < m_Doc.m_objects.GetSize(); ++i) {
        CtqRect* object = m_Doc.m_objects.GetAt(i);
        gdi::RECT r = object->GetRect();
        PageRectToDevice(&dc, r);
        object->Draw(dc, r, this);
    }
}

void CtqHeaderView::DrawSheet(QImage& image, const QRect& visible)
{
    image.fill(QColor(0x40, 0x40, 0x40));
    const CViewConversion c = m_Logic.Conversion();
    const gdi::POINT page = m_Logic.PageSizeOnScreen();
    const gdi::RECT clip{visible.left(), visible.top(), visible.right() + 1, visible.bottom() + 1};
    std::vector<std::pair<QRect, bool>> outlines; // rectangle, selected
    {
        gdi::CDeviceContext dc(image);
        dc.SetViewportOrg({-visible.left(), -visible.top()});
        dc.FillSolidRect({0, 0, page.x, page.y}, 0xFFFFFFFF);
        for (const gdi::POINT& dot : m_Logic.GridDots(clip))
            dc.FillSolidRect({dot.x, dot.y, dot.x + 1, dot.y + 1}, 0xFF808080);
        m_pScreenDC = &dc;
        for (size_t i = 0; i < m_Doc.m_objects.GetSize(); ++i) {
            CtqRect* object = m_Doc.m_objects.GetAt(i);
            const gdi::RECT r = c.ToDevice(object->GetRect());
            const gdi::RECT n = Normalized(r);
            const bool inClip = n.left < clip.right && n.right > clip.left && n.top < clip.bottom && n.bottom > clip.top;
            if (!object->IsBoxObject() || inClip)
                object->Draw(dc, r, this);
            if (!object->HasPen() && object->GetTrackKind() == 0)
                outlines.emplace_back(qrectOf(r), false);
            if (object->m_bSelected)
                outlines.emplace_back(qrectOf(r).adjusted(-1, -1, 1, 1), true);
        }
        m_pScreenDC = nullptr;
    }
    QPainter painter(&image);
    painter.translate(-visible.topLeft());
    for (const auto& [rect, selected] : outlines) {
        painter.setPen(selected ? QPen(QColor(0xC0, 0xC0, 0xC0), 3) : QPen(Qt::black, 1));
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
    }
}

void CtqHeaderView::paintEvent(QPaintEvent*)
{
    const QRect visible(QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value()), viewport()->size());
    QImage image(visible.size(), QImage::Format_RGB32);
    DrawSheet(image, visible);
    QPainter painter(viewport());
    painter.drawImage(0, 0, image);
    if (m_Logic.Tracking()) {
        // The rubber band: a red line or outline over the sheet.
        const gdi::RECT band = m_Logic.Conversion().ToDevice(m_Logic.Band());
        painter.translate(-visible.topLeft());
        painter.setPen(QPen(QColor(0xFF, 0, 0), 2));
        if (m_Logic.TrackCode() >= HIT_LINE)
            painter.drawLine(band.left, band.top, band.right, band.bottom);
        else
            painter.drawRect(QRect(QPoint(band.left, band.top), QPoint(band.right, band.bottom)));
    }
}

void CtqHeaderView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollSizes();
}

gdi::POINT CtqHeaderView::devicePoint(const QPoint& client) const
{
    return {client.x() + horizontalScrollBar()->value(), client.y() + verticalScrollBar()->value()};
}

void CtqHeaderView::updateCursor(const QPoint& client)
{
    if (m_Doc.m_bBusy)
        viewport()->setCursor(Qt::WaitCursor);
    else if (m_pEdit->isVisible() && m_Logic.Selection())
        viewport()->setCursor(Qt::IBeamCursor);
    else
        viewport()->setCursor(cursorOf(m_Logic.HitAt(devicePoint(client))));
}

void CtqHeaderView::mousePressEvent(QMouseEvent* event)
{
    CommitEdit();
    if (event->button() != Qt::LeftButton)
        return;
    setFocus();
    m_Logic.Press(devicePoint(event->position().toPoint()), tickCount());
    if (m_Logic.Tracking())
        viewport()->setCursor(cursorOf(m_Logic.TrackCode()));
    viewport()->update();
    changed(); // the selection's commands
}

void CtqHeaderView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint client = event->position().toPoint();
    if (!m_Logic.Tracking()) {
        updateCursor(client);
        return;
    }
    // Outside the window the view scrolls one line per move.
    const QRect area = viewport()->rect();
    if (client.x() < area.left())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (client.x() > area.right())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (client.y() < area.top())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (client.y() > area.bottom())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    m_Logic.TrackTo(devicePoint(client));
    viewport()->update();
}

void CtqHeaderView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_Logic.Tracking())
        return;
    if (m_Logic.Release(devicePoint(event->position().toPoint()), tickCount()))
        changed();
    updateCursor(event->position().toPoint());
    viewport()->update();
}

void CtqHeaderView::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_Logic.CancelTracking();
    CtqRect* selected = m_Logic.Selection();
    if (event->button() != Qt::LeftButton || !selected)
        return;
    if (selected->EditProperties(this) == 1) {
        m_Doc.SetModifiedFlag(true);
        changed();
    }
    viewport()->update();
}

void CtqHeaderView::keyPressEvent(QKeyEvent* event)
{
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    switch (event->key()) {
    case Qt::Key_PageUp: v->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case Qt::Key_PageDown: v->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case Qt::Key_End: h->setValue(h->maximum()); v->setValue(v->maximum()); break;
    case Qt::Key_Home: h->setValue(0); v->setValue(0); break;
    case Qt::Key_Left: h->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case Qt::Key_Right: h->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case Qt::Key_Up: v->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Down: v->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
}

void CtqHeaderView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    if (m_pEdit->isVisible())
        m_pEdit->setFocus();
}

} // namespace cvr
