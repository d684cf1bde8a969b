// The cover sheet editor's frame and view, offscreen: the mouse on the sheet, the in-place editor,
// what the view draws, the question when the frame closes, keys and Tab order, and the menu pictures.
#include "common/registry_helper.h"
#include "common/resource_locale.h"
#include "cover/editor/tests/editor_prompter.h"
#include "cover/editor/app/main_frame.h"
#include "cover/editor/menu_pictures.h"
#include "cover/editor/print_texts.h"
#include "platform/tests/support/test_support.h"
#include "uiwidgets/tests/support/layout_order.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/toolbar_ex.h"

#include "platform/endpoint.h"
#include "platform/files.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QMimeData>
#include <QPushButton>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QScrollArea>
#include <QScrollBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QWidgetAction>
#include <QWindow>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace cvr;
using qelta::test::ScopedStateRoot;
using qelta::test::writeTextFile;

namespace {

// A file question that takes its time, as the user does: whileAsking runs before it is answered.
struct SlowPrompter : cvr_test::EditorPrompter {
    std::function<void()> whileAsking;
    std::optional<std::string> GetSaveFileName(FileQuestion& question) override
    {
        if (whileAsking)
            whileAsking();
        return EditorPrompter::GetSaveFileName(question);
    }
};

// A screen where a page pixel is a device pixel at 100 percent.
struct PageScreen : IScreenMetricsProvider {
    ScreenMetrics Metrics() const override
    {
        ScreenMetrics m;
        m.horzSize = m.vertSize = 0;
        m.logPixelsX = m.logPixelsY = 200;
        m.menuHeight = 19;
        return m;
    }
};

struct Editor {
    ScopedStateRoot root;
    SlowPrompter prompter;
    PageScreen screen;
    std::string path = root.path() + "/covers/Test.TQC";
    std::unique_ptr<CtqHeaderApp> app;
    platform::EndpointHandle handle = 0;

    explicit Editor(bool withEndpoint = false, bool sized = true)
    {
        writeTextFile(path, "[TQLCVR]\r\nFrames=2\r\nLang=0\r\n"
                            "Frame.1=StaticText,100,100,300,100,DejaVu Sans,40,400,0,0,0,0,Hello\r\n"
                            "Frame.2=DrawingFrame,600,600,200,200,0,2,0\r\n");
        CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).WriteString(kProductSubkey, "CvrFile", root.path() + "/covers/");
        app = std::make_unique<CtqHeaderApp>(prompter, screen);
        std::unique_ptr<platform::Endpoint> endpoint;
        if (withEndpoint) {
            endpoint = platform::Endpoint::create(kFrameClass, "Cover Sheet Editor");
            handle = endpoint ? endpoint->handle() : 0;
        }
        EXPECT_TRUE(app->InitInstance({StartRequest::Path, path}, std::move(endpoint)));
        if (sized)
            frame()->resize(900, 700);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame()));
    }
    ~Editor()
    {
        app->Document().SetModifiedFlag(false);
        frame()->close();
    }
    CtqMainFrame* frame() const { return app->Frame(); }
    CtqHeaderView* view() const { return frame()->View(); }
    QWidget* sheet() const { return view()->viewport(); }
};

} // namespace

TEST(CoverEditorUi, SelectDragWithSnapAndEditInPlace)
{
    Editor e;
    CtqHeaderDoc& doc = e.app->Document();
    ASSERT_EQ(doc.m_objects.GetSize(), 2u);
    // The title marks unsaved changes.
    EXPECT_EQ(e.frame()->windowHandle()->title(), QStringLiteral("Test.TQC - Cover Sheet Editor"));
    doc.SetModifiedFlag(true);
    e.frame()->UpdateFrame();
    EXPECT_EQ(e.frame()->windowHandle()->title(), QStringLiteral("Test.TQC* - Cover Sheet Editor"));
    doc.SetModifiedFlag(false);
    e.frame()->UpdateFrame();

    e.frame()->OnCommand(ID_GRID_SHOW);
    e.frame()->OnCommand(ID_GRID_SNAP);
    QTest::mouseClick(e.sheet(), Qt::LeftButton, {}, QPoint(150, 150));
    EXPECT_EQ(e.view()->Logic().SelectionIndex(), 0);
    EXPECT_FALSE(doc.IsModified()) << "a click moves nothing";

    QTest::mousePress(e.sheet(), Qt::LeftButton, {}, QPoint(150, 150));
    QTest::mouseMove(e.sheet(), QPoint(170, 160));
    QTest::mouseMove(e.sheet(), QPoint(190, 170));
    QTest::mouseRelease(e.sheet(), Qt::LeftButton, {}, QPoint(190, 170));
    // Moved by (40, 20), its corner on the 2.5 mm grid: 175 and 150 tenths of a millimetre.
    EXPECT_EQ(doc.m_objects.GetAt(0)->GetRect(), (gdi::RECT{137, 118, 437, 218}));
    EXPECT_TRUE(doc.IsModified());

    // What the sheet shows: grid dots, the selection's grey outline, the dark ground beyond the page.
    const QImage shown = e.sheet()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown.pixel(GridLines(2290, 25)[2], GridLines(2290, 25)[3]) & 0xFFFFFF, 0x808080u) << "a grid dot";
    EXPECT_EQ(shown.pixel(GridLines(2290, 25)[2] + 1, GridLines(2290, 25)[3]) & 0xFFFFFF, 0xFFFFFFu) << "white between dots";
    EXPECT_EQ(shown.pixel(136, 160) & 0xFFFFFF, 0xC0C0C0u) << "the selection's outline";

    // A double click edits the text in place; Enter keeps it.
    doc.SetModifiedFlag(false);
    QTest::mouseDClick(e.sheet(), Qt::LeftButton, {}, QPoint(200, 160));
    ASSERT_TRUE(e.view()->IsInPlaceEditorVisible());
    EXPECT_EQ(e.view()->Editor()->objectName(), QStringLiteral("id4766"));
    EXPECT_EQ(e.view()->Editor()->toPlainText(), QStringLiteral("Hello"));
    QTest::keyClicks(e.view()->Editor(), QStringLiteral("World"));
    QTest::keyClick(e.view()->Editor(), Qt::Key_Return);
    EXPECT_FALSE(e.view()->IsInPlaceEditorVisible());
    EXPECT_EQ(doc.m_objects.GetAt(0)->GetText(), "World");
    EXPECT_TRUE(doc.IsModified());

    // Escape drops the change.
    doc.SetModifiedFlag(false);
    QTest::mouseDClick(e.sheet(), Qt::LeftButton, {}, QPoint(200, 160));
    QTest::keyClicks(e.view()->Editor(), QStringLiteral("Gone"));
    QTest::keyClick(e.view()->Editor(), Qt::Key_Escape);
    EXPECT_EQ(doc.m_objects.GetAt(0)->GetText(), "World");
    EXPECT_FALSE(doc.IsModified());

    // A press elsewhere commits a visible editor first.
    QTest::mouseDClick(e.sheet(), Qt::LeftButton, {}, QPoint(200, 160));
    QTest::keyClicks(e.view()->Editor(), QStringLiteral("Kept"));
    QTest::mouseClick(e.sheet(), Qt::LeftButton, {}, QPoint(650, 650));
    EXPECT_EQ(doc.m_objects.GetAt(0)->GetText(), "Kept");
    EXPECT_EQ(e.view()->Logic().SelectionIndex(), 1);
}

TEST(CoverEditorUi, ZoomKeysTheQuestionOnCloseAndTheGridKeptInTheProfile)
{
    Editor e;
    e.view()->setFocus();
    QTest::keyClick(e.frame(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(e.view()->Logic().Zoom(), ID_ZOOM_ENLARGE);
    EXPECT_TRUE(e.frame()->Action(ID_ZOOM_ENLARGE)->isChecked());
    QTest::keyClick(e.frame(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(e.view()->Logic().Zoom(), ID_ZOOM_REDUCE);
    EXPECT_EQ(e.view()->horizontalScrollBar()->maximum(), std::max(0, 1728 / 2 - e.sheet()->width()));
    QTest::keyClick(e.frame(), Qt::Key_Home);
    EXPECT_EQ(e.view()->Logic().Zoom(), ID_ZOOM_DEFAULT);
    e.frame()->OnCommand(ID_GRID_100);
    e.frame()->OnCommand(ID_GRID_SHOW);

    // Closing a changed sheet asks; Cancel keeps the editor open.
    e.app->Document().SetModifiedFlag(true);
    e.prompter.expected = {"Do you want to save 'Test.TQC'?", "Do you want to save 'Test.TQC'?"};
    e.prompter.answers = {IDCANCEL, IDNO};
    EXPECT_FALSE(e.frame()->close());
    EXPECT_TRUE(e.frame()->isVisible());
    EXPECT_TRUE(e.frame()->close());
    const GridSettings grid = ReadGridSettings(CEditorProfile());
    EXPECT_TRUE(grid.shown);
    EXPECT_EQ(grid.command, ID_GRID_100);
    EXPECT_EQ(ReadFramePlacement(CEditorProfile()).right - ReadFramePlacement(CEditorProfile()).left, 900);
    EXPECT_TRUE(CEditorProfile().GetBinary("", kBarStateKey).has_value());
}

// The first start (no stored placement, which is the screen's corner) shows the whole frame,
// decorations included, at the size it keeps.
TEST(CoverEditorUi, TheFirstFrameShowsWholeAtItsSize)
{
    Editor e(false, false);
    QCoreApplication::processEvents();
    const QRect area = e.frame()->screen()->availableGeometry();
    EXPECT_TRUE(area.contains(e.frame()->frameGeometry()));
    EXPECT_GE(e.frame()->geometry().top() - area.top(), 20) << "room for a title bar above the client";
    // The given size, grown only where the toolbar needs more width.
    EXPECT_EQ(e.frame()->height(), 399);
    EXPECT_EQ(e.frame()->width(), std::max(639, e.frame()->findChild<QToolBar*>()->sizeHint().width()));
}

TEST(CoverEditorUi, MenusToolbarStatusBarAndTabOrder)
{
    Editor e;
    const QList<QAction*> tops = e.frame()->menuBar()->actions();
    ASSERT_EQ(tops.size(), 6);
    EXPECT_EQ(tops[0]->text(), QStringLiteral("&File"));
    EXPECT_EQ(tops[4]->text(), QStringLiteral("&Attributes"));
    EXPECT_EQ(e.frame()->Action(57603)->text(), QStringLiteral("&Save\tCtrl+S"));
    EXPECT_EQ(e.frame()->Action(57665)->text(), QStringLiteral("E&xit Cover Sheet Editor\tAlt+F4"));
    EXPECT_EQ(e.frame()->Action(57603)->objectName(), QStringLiteral("id57603"));
    ASSERT_NE(e.frame()->findChild<QComboBox*>(QStringLiteral("id15000")), nullptr);
    ASSERT_NE(e.frame()->findChild<QComboBox*>(QStringLiteral("id15001")), nullptr);
    EXPECT_EQ(e.frame()->StatusPane(0)->text(), QStringLiteral("Ready"));
    EXPECT_EQ(e.frame()->StatusPane(1)->objectName(), QStringLiteral("id59143"));
    EXPECT_FALSE(e.frame()->MenuManager().Icon(57603).isNull());
    EXPECT_EQ(e.frame()->MenuManager().ImageIndex(15004), 12);
    EXPECT_TRUE(qelta::test::TabOrderFollowsLayout(e.frame()));
}

TEST(CoverEditorUi, MenuPicturesAtNinetySixDpi)
{
    // Rows of black in the middle of a 19-pixel menu line: 1, 3, 4 and 5 points at 96 dpi.
    const struct {
        int command;
        int firstRow, rows;
    } lines[] = {{6003, 9, 1}, {6004, 8, 3}, {6005, 7, 4}, {32784, 7, 5}};
    for (const auto& l : lines) {
        const QImage p = MenuPicture(l.command, 19, 96);
        ASSERT_EQ(p.size(), QSize(64, 19));
        for (int y = 0; y < 19; ++y) {
            const bool black = y >= l.firstRow && y < l.firstRow + l.rows;
            for (int x : {0, 31, 63})
                EXPECT_EQ(p.pixel(x, y) & 0xFFFFFF, black ? 0u : 0xFFFFFFu) << l.command << " " << x << "," << y;
        }
    }
    const QImage dotted = MenuPicture(32785, 19, 96);
    EXPECT_EQ(dotted.pixel(0, 9) & 0xFFFFFF, 0u);
    EXPECT_EQ(dotted.pixel(3, 9) & 0xFFFFFF, 0xFFFFFFu);
    const auto blackShare = [](const QImage& p) {
        int black = 0;
        for (int y = 0; y < p.height(); ++y)
            for (int x = 0; x < p.width(); ++x)
                black += (p.pixel(x, y) & 0xFFFFFF) == 0;
        return black * 100 / (p.width() * p.height());
    };
    EXPECT_EQ(blackShare(MenuPicture(32788, 19, 96)), 0);
    EXPECT_EQ(blackShare(MenuPicture(32837, 19, 96)), 100);
    const int light = blackShare(MenuPicture(32789, 19, 96));
    const int dark = blackShare(MenuPicture(32791, 19, 96));
    EXPECT_GT(light, 0);
    EXPECT_LT(light, dark) << "darker shadings have more dots";
    EXPECT_LT(dark, 25);
    EXPECT_TRUE(MenuPicture(1, 19, 96).isNull());
}

TEST(CoverEditorUi, EveryHelpRequestOpensTheOneTopicOfTheShippedHelp)
{
    Editor e;
    std::vector<std::string> opened;
    e.frame()->SetHelpOpener([&](const std::string& address) {
        opened.push_back(address);
        return true;
    });
    e.view()->setFocus();
    QTest::keyClick(e.frame(), Qt::Key_F1);
    QTest::keyClick(e.frame(), Qt::Key_F1, Qt::ShiftModifier);
    e.frame()->Action(57670)->trigger();
    ASSERT_EQ(opened.size(), 3u);
    for (const std::string& address : opened) {
        EXPECT_EQ(address, HelpAddress(ProgramHelpFolder(), kHelpFile, kHelpContext));
        EXPECT_EQ(qelta::test::missingHelpAnchor(address), "");
    }
}

TEST(CoverEditorUi, AHandedOverPathOpensAfterTheQuestionAndADamagedOneIsRefused)
{
    Editor e(true);
    ASSERT_NE(e.handle, 0u);
    CtqHeaderDoc& doc = e.app->Document();
    const std::string other = e.root.path() + "/covers/Other.TQC";
    const std::string damaged = e.root.path() + "/covers/Damaged.TQC";
    writeTextFile(other, "[TQLCVR]\r\nFrames=1\r\nLang=0\r\nFrame.1=DrawingLine,59,551,649,0,0,2\r\n");
    writeTextFile(damaged, "[TQLCVR]\r\nLang=0\r\n");
    const uint32_t message = platform::registerMessage(kOpenDocMessage);

    // A changed sheet: Cancel keeps it, and it stays marked.
    doc.SetModifiedFlag(true);
    e.prompter.expected = {"Do you want to save 'Test.TQC'?"};
    e.prompter.answers = {IDCANCEL};
    ASSERT_TRUE(platform::postMessage(e.handle, message, 0, 0, other));
    QTRY_VERIFY(e.prompter.expected.empty());
    EXPECT_EQ(doc.GetPathName(), e.path);
    EXPECT_TRUE(doc.IsModified());

    // No: the other sheet opens.
    e.prompter.expected = {"Do you want to save 'Test.TQC'?"};
    e.prompter.answers = {IDNO};
    ASSERT_TRUE(platform::postMessage(e.handle, message, 0, 0, other));
    QTRY_COMPARE(doc.GetPathName(), other);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(e.frame()->windowHandle()->title(), QStringLiteral("Other.TQC - Cover Sheet Editor"));

    // A file that is no cover sheet: a warning, the sheet shown stays.
    e.prompter.expected = {"'" + damaged + "' is not a cover sheet file or cannot be read."};
    ASSERT_TRUE(platform::postMessage(e.handle, message, 0, 0, damaged));
    QTRY_VERIFY(e.prompter.expected.empty());
    EXPECT_EQ(doc.GetPathName(), other);
    EXPECT_EQ(doc.m_objects.GetSize(), 1u);
}

TEST(CoverEditorUi, CutPasteStatusPaneAndAContextMenuPerKind)
{
    Editor e;
    CtqHeaderDoc& doc = e.app->Document();
    doc.CreateFrame("DrawingLine,100,1000,300,0,0,2");
    doc.CreateFrame("Bitmap,500,1000,100,100,");
    doc.CreateFrame("NAME,100,1200,300,60,DejaVu Sans,40,400,0,0,0,0");
    doc.CreateFrame("PageCut,0,1500,1728,0");
    e.view()->viewport()->update();
    // Status pane 1 and the context menu of each kind (the page cut has none).
    const struct {
        QPoint at;
        const char* status;
        const char* menu; // null: no menu
    } rows[] = {
        {{150, 150}, "Text Frame", "id110"},
        {{700, 610}, "Frame line Frame", "id111"},
        {{200, 1000}, "Line Frame", "id113"},
        {{550, 1050}, "Image Frame", "id108"},
        {{200, 1230}, "Name Frame", "id106"},
        {{300, 1500}, "Page cut position", nullptr},
    };
    QScrollBar* vertical = e.view()->verticalScrollBar();
    for (const auto& r : rows) {
        vertical->setValue(std::max(0, r.at.y() - 300));
        const QPoint client(r.at.x(), r.at.y() - vertical->value());
        QTest::mouseClick(e.sheet(), Qt::LeftButton, {}, client);
        EXPECT_EQ(e.frame()->StatusPane(1)->text().toStdString(), r.status);
        QMenu* menu = e.view()->ContextMenuAt(client);
        EXPECT_EQ(menu != nullptr, r.menu != nullptr) << r.status;
        if (menu) {
            EXPECT_EQ(menu->objectName().toStdString(), r.menu);
            EXPECT_EQ(menu->actions().size(), QString(r.menu) == "id110" ? 10 : QString(r.menu) == "id111" ? 10 : 9);
            menu->close();
        }
    }
    // From the keyboard the menu opens at (5, 5) on the selection it has.
    vertical->setValue(0);
    QTest::mouseClick(e.sheet(), Qt::LeftButton, {}, QPoint(150, 150));
    QMenu* menu = e.view()->ContextMenuAt(QPoint(-1, -1));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->objectName(), "id110");
    menu->close();

    // Ctrl+X then Ctrl+V: the text comes back once, 10 pixels right and down, unselected.
    const size_t count = doc.m_objects.GetSize();
    QTest::keyClick(e.sheet(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(doc.m_objects.GetSize(), count - 1);
    EXPECT_TRUE(e.frame()->Action(57637)->isEnabled());
    EXPECT_EQ(e.frame()->StatusPane(1)->text(), "");
    QTest::keyClick(e.sheet(), Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(doc.m_objects.GetSize(), count);
    const CtqRect* pasted = doc.m_objects.GetAt(count - 1);
    EXPECT_EQ(pasted->GetText(), "Hello");
    EXPECT_EQ(pasted->GetRect(), (gdi::RECT{110, 110, 410, 210}));
    EXPECT_EQ(e.view()->Logic().Selection(), nullptr);
    EXPECT_FALSE(e.frame()->Action(57637)->isEnabled());
    EXPECT_FALSE(e.frame()->Action(32807)->isEnabled()); // the sheet has its page cut
}

TEST(CoverEditorUi, ALanguageModulesTextsReplaceTheEnglishOnesAndWhatItLacksStaysEnglish)
{
    // A German module beside a program of the test's own.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string program = Utf8Text(folder.path()) + "/covereditor";
    ASSERT_TRUE(platform::createDirectories(Utf8Text(folder.path()) + "/resources"));
    std::filesystem::copy_file(DEU_MODULE, Utf8Text(folder.path()) + "/resources/resCVRDEU.so");
    CSDLocale german(program, "CVR");
    ASSERT_EQ(german.LoadLocale(0x0407), 1);
    // The texts of the main menu, a text frame's context menu, the About box and a preview's bar.
    const auto texts = [](const CSDLocale* locale) {
        SetCurrentResourceLocale(locale);
        struct Restore {
            ~Restore() { SetCurrentResourceLocale(nullptr); }
        } restore;
        Editor e;
        std::vector<std::string> shown;
        const QList<QAction*> tops = e.frame()->menuBar()->actions();
        for (int top : {2, 3})
            shown.push_back(Utf8Text(tops.value(top)->text()));
        QTest::mouseClick(e.sheet(), Qt::LeftButton, {}, QPoint(150, 150));
        if (QMenu* menu = e.view()->ContextMenuAt(QPoint(150, 150))) {
            for (int item : {0, 1})
                shown.push_back(Utf8Text(menu->actions().value(item)->text()));
            menu->close();
        }
        CAboutDlg about(e.frame());
        shown.push_back(Utf8Text(about.windowTitle()));
        shown.push_back(Utf8Text(about.findChild<QPushButton*>(QStringLiteral("id1"))->text()));
        e.frame()->OnCommand(57609);
        if (CtqHeaderPreview* preview = e.frame()->Preview())
            for (int button : {58112, 58117})
                shown.push_back(Utf8Text(preview->Button(button)->text()));
        e.frame()->OnCommand(2);
        return shown;
    };
    EXPECT_EQ(texts(&german), (std::vector<std::string>{"&Rahmen", "&View", "&Nach vorne", "&Send to back",
                                                        "Info über Cover Sheet Editor", "OK", "&Schließen", "Zoom in"}));
    EXPECT_EQ(texts(nullptr), (std::vector<std::string>{"F&rame", "&View", "&Bring to front", "&Send to back",
                                                         "About Cover Sheet Editor", "OK", "&Close", "Zoom in"}));
}

namespace {

int darkPixels(const QImage& image, const QRect& area)
{
    int dark = 0;
    for (int y = std::max(area.top(), 0); y <= std::min(area.bottom(), image.height() - 1); ++y)
        for (int x = std::max(area.left(), 0); x <= std::min(area.right(), image.width() - 1); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    return dark;
}

} // namespace

TEST(CoverEditorUi, PrintDrawingAtThePrintersResolutionWithMemosBlank)
{
    Editor e;
    CtqHeaderDoc& doc = e.app->Document();
    doc.CreateFrame("DrawingLine,0,1000,1728,0,0,2");
    CtqRect* memo = doc.CreateFrame("Memo,100,1200,600,200,DejaVu Sans,60,400,0,0,0,0");
    memo->SetText("Secret words");
    e.view()->OnCommand(ID_GRID_SHOW);
    e.view()->Logic().Select(doc.m_objects.GetAt(0)); // the text: no selection marks in print
    for (const int dpi : {200, 300}) {
        const auto at = [dpi](int v) { return v * dpi / 200; };
        QImage page(at(1728), at(2290), QImage::Format_RGB32);
        page.fill(Qt::white);
        page.setDotsPerMeterX(static_cast<int>(std::lround(dpi / 0.0254)));
        page.setDotsPerMeterY(static_cast<int>(std::lround(dpi / 0.0254)));
        {
            const CMemoTextGuard memos(doc);
            e.view()->PrintPage(page);
        }
        EXPECT_EQ(memo->GetText(), "Secret words");
        // The line spans the page's width at the printer's resolution.
        const int row = at(1000);
        EXPECT_EQ(darkPixels(page, QRect(0, row - 2, at(1728), 5)) >= at(1728), true) << dpi;
        EXPECT_LT(qGray(page.pixel(at(1728) - 1, row)), 128) << dpi;
        EXPECT_EQ(darkPixels(page, QRect(at(100), at(1200), at(600), at(200))), 0) << dpi;   // memo blank
        EXPECT_GT(darkPixels(page, QRect(at(100), at(100), at(300), at(100))), 0) << dpi;    // text inked
        EXPECT_EQ(darkPixels(page, QRect(at(900), at(1500), at(700), at(700))), 0) << dpi;   // no grid
        EXPECT_EQ(darkPixels(page, QRect(at(100) - 3, at(100) - 3, 3, at(100) + 6)), 0) << dpi; // no marks
    }
    // A drawing that throws still gives the memo its text back.
    try {
        const CMemoTextGuard memos(doc);
        EXPECT_EQ(memo->GetText(), "");
        throw std::runtime_error("drawing failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(memo->GetText(), "Secret words");
}

TEST(CoverEditorUi, PrintToPdfOnePageAndAnUnwritablePathWarns)
{
    Editor e;
    CtqHeaderDoc& doc = e.app->Document();
    CtqRect* memo = doc.CreateFrame("Memo,100,1200,600,200,DejaVu Sans,60,400,0,0,0,0");
    memo->SetText("Kept");
    const std::string pdf = e.root.path() + "/sheet.pdf";
    int asked = 0;
    bool accept = false;
    std::string target = pdf;
    e.frame()->SetPrintDialog([&](QPrinter& printer) {
        ++asked;
        EXPECT_EQ(printer.fromPage(), 1);
        EXPECT_EQ(printer.toPage(), 1);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(target));
        return accept;
    });
    EXPECT_FALSE(e.frame()->PrintSheet()); // cancelled
    EXPECT_EQ(memo->GetText(), "Kept");
    accept = true;
    ASSERT_TRUE(e.frame()->Action(57607)->isEnabled());
    e.frame()->Action(57607)->trigger();
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(memo->GetText(), "Kept");
    const std::string bytes = qelta::test::readTextFile(pdf);
    EXPECT_EQ(bytes.rfind("%PDF", 0), 0u);
    size_t pages = 0;
    for (size_t at = bytes.find("/Type /Page\n"); at != std::string::npos; at = bytes.find("/Type /Page\n", at + 1))
        ++pages;
    EXPECT_EQ(pages, 1u);

    target = e.root.path() + "/missing/folder/sheet.pdf";
    e.prompter.expected = {"The cover sheet could not be printed (" + target + ")."};
    EXPECT_FALSE(e.frame()->PrintSheet());
    EXPECT_EQ(memo->GetText(), "Kept");
}

TEST(CoverEditorUi, BothPreviewsShowTheirBarAndPageAndCloseOnEscape)
{
    Editor e;
    CtqHeaderDoc& doc = e.app->Document();
    CtqRect* memo = doc.CreateFrame("Memo,100,1200,600,200,DejaVu Sans,60,400,0,0,0,0");
    memo->SetText("Kept");
    e.frame()->Printer().setPageSize(QPageSize(QPageSize::A4));
    const struct {
        int command;
        const char* bar;
        bool print;
        double proportion; // height / width
    } rows[] = {
        {57609, "id30724", true, 297.0 / 210.0},
        {32835, "id30725", false, 2290.0 / 1728.0},
    };
    for (const auto& r : rows) {
        e.frame()->Action(r.command)->trigger();
        CtqHeaderPreview* preview = e.frame()->Preview();
        ASSERT_NE(preview, nullptr) << r.command;
        EXPECT_TRUE(e.frame()->m_bPrintPreview);
        EXPECT_NE(preview->findChild<QWidget*>(r.bar), nullptr);
        EXPECT_EQ(preview->Button(58116) != nullptr, r.print);
        EXPECT_NE(preview->Button(58112), nullptr);
        // The whole page fitted into the view first, as large as it goes there.
        const QSize room = preview->findChild<QScrollArea*>()->maximumViewportSize() - QSize(24, 24);
        const QSize fitted = preview->PageSize();
        EXPECT_TRUE(fitted.width() <= room.width() && fitted.height() <= room.height()) << r.command;
        EXPECT_TRUE(fitted.width() == room.width() || fitted.height() == room.height()) << r.command;
        // Each button drawn by its picture for its state: the focus on Zoom in, Zoom out disabled.
        const auto shows = [&](int id, const char* picture) {
            return preview->Button(id)->grab().toImage().convertToFormat(QImage::Format_RGB32) ==
                   LoadPreviewPicture(QLatin1String(picture)).toImage().convertToFormat(QImage::Format_RGB32);
        };
        EXPECT_TRUE(shows(58117, "ZOOMINF"));
        EXPECT_TRUE(shows(58118, "ZOOMOUTX"));
        if (r.print) {
            EXPECT_TRUE(shows(58116, "PRINTU"));
        }
        EXPECT_EQ(preview->Button(58117)->toolTip(), "Zoom in");
        QTest::mouseClick(preview->Button(58117), Qt::LeftButton);
        preview->Button(58117)->setDown(true);
        EXPECT_TRUE(shows(58117, "ZOOMIND"));
        preview->Button(58117)->setDown(false);
        EXPECT_TRUE(shows(58118, "ZOOMOUTU"));
        QTest::mouseClick(preview->Button(58117), Qt::LeftButton);
        const QSize page = preview->PageSize(); // the page's own size at the largest zoom
        EXPECT_GT(page.width(), fitted.width()) << r.command;
        EXPECT_NEAR(double(page.height()) / page.width(), r.proportion, 0.01) << r.command;
        QTest::mouseClick(preview->Button(58118), Qt::LeftButton);
        preview->Button(58117)->setFocus();
        EXPECT_EQ(e.frame()->StatusPane(0)->text(), "Test.TQC");
        EXPECT_EQ(e.frame()->StatusPane(1)->text(), "");
        EXPECT_EQ(memo->GetText(), "") << r.command; // memo frames preview empty
        EXPECT_EQ(QApplication::focusWidget(), preview->Button(58117));
        QTest::keyClick(preview->Button(58117), Qt::Key_Escape);
        EXPECT_EQ(e.frame()->Preview(), nullptr);
        EXPECT_FALSE(e.frame()->m_bPrintPreview);
        EXPECT_EQ(e.frame()->centralWidget(), e.view());
        EXPECT_EQ(memo->GetText(), "Kept");
    }
    // Command 2 closes a preview too.
    e.frame()->OnCommand(32835);
    ASSERT_NE(e.frame()->Preview(), nullptr);
    e.frame()->OnCommand(2);
    EXPECT_EQ(e.frame()->Preview(), nullptr);
}

TEST(CoverEditorUi, ClipboardCommandsWorkOnTheInPlaceEditorWhileItIsShown)
{
    Editor e;
    CtqHeaderDoc& doc = e.app->Document();
    QTest::mouseClick(e.sheet(), Qt::LeftButton, {}, QPoint(150, 150));
    ASSERT_TRUE(e.frame()->Action(6002)->isEnabled());
    e.frame()->Action(6002)->trigger();
    CtqHeaderEdit* editor = e.view()->Editor();
    ASSERT_TRUE(editor->isVisible());
    editor->selectAll();
    e.frame()->OnCommand(57634); // Copy: the editor's text, not the object
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Hello");
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasFormat(kCoverClipboardType));
    editor->moveCursor(QTextCursor::End);
    e.frame()->OnCommand(57637); // Paste into the editor
    EXPECT_EQ(editor->toPlainText(), "HelloHello");
    editor->moveCursor(QTextCursor::Start);
    e.frame()->OnCommand(6000); // Delete: the character after the cursor
    EXPECT_EQ(editor->toPlainText(), "elloHello");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.m_objects.GetSize(), 2u);
    // Any other command first stores the edit.
    e.frame()->OnCommand(32830);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(doc.m_objects.GetAt(1)->GetText(), "elloHello");
}

TEST(CoverEditorUi, ThePrintDialogOffersPageOneOnly)
{
    Editor e;
    int minPage = 0, maxPage = 0;
    bool seen = false;
    QTimer::singleShot(200, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QPrintDialog*>(top); dialog && dialog->isVisible()) {
                seen = true;
                minPage = dialog->minPage();
                maxPage = dialog->maxPage();
                dialog->reject();
            }
    });
    EXPECT_FALSE(e.frame()->PrintSheet());
    EXPECT_TRUE(seen);
    EXPECT_EQ(minPage, 1);
    EXPECT_EQ(maxPage, 1);
}

TEST(CoverEditorUi, AHandOverWaitsUntilNoDialogOfTheEditorIsOpen)
{
    Editor e(true);
    ASSERT_NE(e.handle, 0u);
    CtqHeaderDoc& doc = e.app->Document();
    const std::string other = e.root.path() + "/covers/Other.TQC";
    writeTextFile(other, "[TQLCVR]\r\nFrames=1\r\nLang=0\r\nFrame.1=DrawingLine,59,551,649,0,0,2\r\n");
    const uint32_t message = platform::registerMessage(kOpenDocMessage);
    // The hand-over arrives while the dialog is open and has every chance to run.
    const auto handOverNow = [&] {
        EXPECT_TRUE(platform::postMessage(e.handle, message, 0, 0, other));
        QTest::qWait(400);
        EXPECT_EQ(doc.GetPathName(), e.path);
        EXPECT_EQ(doc.m_objects.GetSize(), 2u);
    };

    // The font dialog of the selected text: OK applies to the text of this sheet, then the other opens.
    QTest::mouseClick(e.sheet(), Qt::LeftButton, {}, QPoint(150, 150));
    CtqRect* text = e.view()->Logic().Selection();
    ASSERT_NE(text, nullptr);
    bool shown = false;
    QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        shown = true;
        handOverNow();
        dialog->findChild<QListWidget*>("id1137")->setCurrentRow(2); // bold
        qobject_cast<QDialog*>(dialog)->accept();
    });
    e.prompter.expected = {"Do you want to save 'Test.TQC'?"};
    e.prompter.answers = {IDNO};
    e.frame()->Action(32769)->trigger();
    EXPECT_TRUE(shown);
    QTRY_COMPARE(doc.GetPathName(), other);
    EXPECT_EQ(doc.m_objects.GetSize(), 1u);

    // Save As: the sheet shown is written under the name typed, then the other opens without a question.
    ASSERT_TRUE(e.app->Frame()->FileCommands().OpenPath(e.path));
    doc.SetModifiedFlag(true);
    const std::string typed = e.root.path() + "/covers/Mine.TQC";
    e.prompter.files = {{typed, 0}};
    e.prompter.whileAsking = handOverNow;
    e.frame()->OnCommand(57604);
    e.prompter.whileAsking = nullptr;
    std::string written;
    ASSERT_EQ(platform::readFile(typed, written, 1 << 16), platform::ReadStatus::Ok);
    EXPECT_NE(written.find("Hello"), std::string::npos);
    QTRY_COMPARE(doc.GetPathName(), other);
}

TEST(CoverEditorUi, WhileAPreviewShowsNothingEditsTheSheetAndClosingEndsThePreviewOnly)
{
    Editor e;
    CtqHeaderDoc& doc = e.app->Document();
    QTest::mouseClick(e.sheet(), Qt::LeftButton, {}, QPoint(150, 150));
    ASSERT_NE(e.view()->Logic().Selection(), nullptr);
    doc.SetModifiedFlag(true);
    for (const int preview : {57609, 32835}) {
        for (const bool exitCommand : {false, true}) {
            e.frame()->Action(preview)->trigger();
            ASSERT_NE(e.frame()->Preview(), nullptr);
            // Delete, Frame line, Font, Cut, Paste and the line types do nothing to the hidden sheet.
            for (const int command : {6000, 32805, 32769, 57635, 57637, 6003, 32788, 32830})
                EXPECT_FALSE(e.frame()->Action(command)->isEnabled()) << command;
            e.frame()->Action(6000)->trigger();
            e.frame()->Action(32805)->trigger();
            QTest::keyClick(e.frame()->Preview()->Button(58117), Qt::Key_Delete);
            EXPECT_EQ(doc.m_objects.GetSize(), 2u);
            // Closing (the window's close or File > Exit) ends the preview; the changes stay.
            if (exitCommand)
                e.frame()->Action(57665)->trigger();
            else
                EXPECT_FALSE(e.frame()->close());
            EXPECT_EQ(e.frame()->Preview(), nullptr) << preview;
            EXPECT_TRUE(e.frame()->isVisible()) << preview;
            EXPECT_TRUE(doc.IsModified());
            EXPECT_TRUE(e.frame()->Action(6000)->isEnabled());
        }
    }
}

TEST(CoverEditorUi, TheLongestTextTheEditorTakesSurvivesSaveReopenAndTheClipboard)
{
    Editor e;
    CtqHeaderDoc& doc = e.app->Document();
    QTest::mouseClick(e.sheet(), Qt::LeftButton, {}, QPoint(150, 150));
    e.frame()->Action(6002)->trigger();
    CtqHeaderEdit* editor = e.view()->Editor();
    ASSERT_TRUE(editor->isVisible());
    // Every character that grows when stored: commas, backslashes, line feeds, and characters of
    // three and four UTF-8 bytes; typed past the limit.
    QString typed;
    while (typed.size() < kMaxFreeText + 40)
        typed += QString::fromUtf8(",\\\n\xE2\x82\xAC\\054,\xF0\x9F\x93\xA0");
    e.prompter.expected = {"The text is too long: a text frame holds at most 16000 characters. The text was cut there."};
    editor->selectAll();
    editor->insertPlainText(typed);
    EXPECT_TRUE(e.prompter.expected.empty());
    const QString kept = editor->toPlainText();
    ASSERT_EQ(kept.size(), kMaxFreeText);
    EXPECT_EQ(kept, typed.left(kMaxFreeText));
    e.frame()->OnCommand(57667); // the edit stored
    const std::string text = doc.m_objects.GetAt(0)->GetText();
    ASSERT_EQ(QString::fromUtf8(text), kept);

    // Saved and opened again: the whole text.
    e.frame()->OnCommand(57603);
    EXPECT_FALSE(doc.IsModified());
    ASSERT_TRUE(e.frame()->FileCommands().OpenPath(e.path));
    ASSERT_EQ(doc.m_objects.GetSize(), 2u);
    EXPECT_EQ(doc.m_objects.GetAt(0)->GetText(), text);

    // Cut and pasted: the whole text too.
    QTest::mouseClick(e.sheet(), Qt::LeftButton, {}, QPoint(150, 150));
    e.frame()->OnCommand(57635);
    e.frame()->OnCommand(57637);
    ASSERT_EQ(doc.m_objects.GetSize(), 2u);
    EXPECT_EQ(doc.m_objects.GetAt(1)->GetText(), text);
}

TEST(CoverEditorUi, ExtremeCoordinatesFromAFileOrAPastedBlockAreHeldInBounds)
{
    Editor e;
    CtqHeaderDoc& doc = e.app->Document();
    const char* const lines[] = {
        "StaticText,2147483647,-2147483648,2147483647,2147483647,DejaVu Sans,-2147483648,400,0,0,0,0,x",
        "NAME,-2147483648,2147483647,-2147483648,-1,DejaVu Sans,2147483647,400,0,0,0,0",
        "DrawingLine,-2147483648,2147483647,-2147483648,-2147483648,0,2147483647",
        "DrawingFrame,2147483647,2147483647,-5,-5,0,-2147483648,0",
    };
    std::string file = "[TQLCVR]\r\nFrames=4\r\nLang=0\r\n";
    for (int i = 0; i < 4; ++i)
        file += "Frame." + std::to_string(i + 1) + "=" + lines[i] + "\r\n";
    const std::string extreme = e.root.path() + "/covers/Extreme.TQC";
    writeTextFile(extreme, file);
    ASSERT_TRUE(e.frame()->FileCommands().OpenPath(extreme));
    // The same lines pasted, each on a sheet at 200 percent.
    e.frame()->OnCommand(ID_ZOOM_ENLARGE);
    for (const char* line : lines) {
        auto* data = new QMimeData;
        std::string block(line);
        block.append(16, '\0');
        data->setData(kCoverClipboardType, QByteArray(block.data(), static_cast<qsizetype>(block.size())));
        QGuiApplication::clipboard()->setMimeData(data);
        e.frame()->OnCommand(57637);
    }
    ASSERT_EQ(doc.m_objects.GetSize(), 8u);
    for (size_t i = 0; i < doc.m_objects.GetSize(); ++i) {
        CtqRect* object = doc.m_objects.GetAt(i);
        const gdi::RECT& r = object->GetRect();
        for (const int v : {r.left, r.top, r.right, r.bottom})
            EXPECT_LE(std::abs(int64_t{v}), cover::kMaxCoordinate) << i;
        gdi::LOGFONTA font;
        if (object->GetLogFont(font)) {
            EXPECT_LE(std::abs(int64_t{font.lfHeight}), cover::kMaxPageHeight) << i;
        }
        int style = 0, width = 0;
        if (object->GetPen(style, width)) {
            EXPECT_LE(std::abs(int64_t{width}), cover::kMaxPageHeight) << i;
        }
        // Selected, drawn, scrolled to and shown in the toolbar at every zoom.
        for (const int zoom : {ID_ZOOM_ENLARGE, ID_ZOOM_DEFAULT, ID_ZOOM_REDUCE}) {
            e.frame()->OnCommand(zoom);
            e.view()->Logic().Select(object);
            e.view()->ScrollIntoView(object);
            e.frame()->UpdateFrame();
            e.view()->viewport()->grab();
        }
    }
    // Written back as read.
    e.frame()->OnCommand(57603);
    ASSERT_TRUE(e.frame()->FileCommands().OpenPath(extreme));
    EXPECT_EQ(doc.m_objects.GetSize(), 8u);
}

TEST(CoverEditorUi, TheMainMenusPicturesMarkTheSelectionsLineTypeAndPaint)
{
    Editor e;
    CtqHeaderDoc& doc = e.app->Document();
    QTest::mouseClick(e.sheet(), Qt::LeftButton, {}, QPoint(700, 610)); // the frame line
    ASSERT_NE(e.view()->Logic().Selection(), nullptr);
    const auto markedIn = [&](int command) {
        auto* item = qobject_cast<QWidgetAction*>(e.frame()->Action(command));
        EXPECT_NE(item, nullptr) << command;
        const QImage picture = item->defaultWidget()->grab().toImage();
        return darkPixels(picture, QRect(0, 0, 26, picture.height())) > 0;
    };
    const struct {
        int lineType, shading;
        const char* line;
    } rows[] = {{6005, 32790, "DrawingFrame,600,600,200,200,6,8,10"}, {32786, 32837, "DrawingFrame,600,600,200,200,1,1,100"}};
    for (const auto& r : rows) {
        doc.m_objects.GetAt(1)->ParseFrameLine(r.line);
        e.frame()->UpdateFrame();
        for (const int* commands : {kLineTypeCommands, kShadingCommands}) {
            const int count = commands == kLineTypeCommands ? 6 : 5;
            for (int i = 0; i < count; ++i) {
                const bool current = commands[i] == r.lineType || commands[i] == r.shading;
                EXPECT_EQ(e.frame()->Action(commands[i])->isChecked(), current) << commands[i];
                EXPECT_EQ(markedIn(commands[i]), current) << commands[i];
            }
        }
    }
}

TEST(CoverEditorUi, APictureTheSheetCannotHoldIsRefusedSayingWhy)
{
    Editor e;
    CtqHeaderDoc& doc = e.app->Document();
    const std::string png = e.root.path() + "/covers/logo.png", damaged = e.root.path() + "/covers/logo.bmp";
    QImage logo(8, 8, QImage::Format_RGB32);
    logo.fill(Qt::black);
    ASSERT_TRUE(logo.save(QString::fromStdString(png), "PNG"));
    writeTextFile(damaged, "BM not a bitmap");
    CtqRect* image = doc.CreateFrame("Bitmap,100,1000,100,100,");
    e.view()->Logic().Select(image);
    e.frame()->UpdateFrame();
    for (const std::string& path : {png, damaged}) {
        e.prompter.files = {{path, 0}};
        e.prompter.expected = {"'" + path + "' cannot be used as a picture. A cover sheet holds BMP, PCX and TIFF pictures; "
                                            "this file is of another kind or damaged."};
        e.frame()->Action(6001)->trigger();
        EXPECT_TRUE(e.prompter.expected.empty()) << path;
        EXPECT_EQ(image->GetFrameLine(), "Bitmap,100,1000,100,100,");
    }
}

TEST(CoverEditorUi, NewTextsTakeAnInstalledFace)
{
    Editor e;
    CtqHeaderDoc& doc = e.app->Document();
    e.view()->Logic().ClearSelection();
    e.frame()->OnCommand(32797);
    gdi::LOGFONTA font;
    ASSERT_TRUE(doc.m_objects.GetAt(doc.m_objects.GetSize() - 1)->GetLogFont(font));
    // The default face where it is installed, else the DejaVu face every installation has.
    const bool installed = QFontDatabase::hasFamily(QStringLiteral("Times New Roman"));
    EXPECT_STREQ(font.lfFaceName, installed ? "Times New Roman" : "DejaVu Serif");
}

TEST(CoverEditorUi, AtItsFirstSizeTheFrameShowsTheWholeToolbar)
{
    ScopedStateRoot root;
    cvr_test::EditorPrompter prompter;
    CQtScreenMetrics screen;
    CtqHeaderApp app(prompter, screen);
    ASSERT_TRUE(app.InitInstance({StartRequest::Empty, {}}, nullptr));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(app.Frame()));
    CFontToolBar* bar = app.Frame()->ToolBar();
    // Every button and both combos inside the bar, no overflow arrow.
    QCoreApplication::processEvents();
    EXPECT_GE(bar->width(), bar->sizeHint().width());
    auto* overflow = bar->findChild<QWidget*>(QStringLiteral("qt_toolbar_ext_button"));
    EXPECT_TRUE(overflow == nullptr || !overflow->isVisible());
    EXPECT_TRUE(bar->SizeCombo()->isVisible());
    EXPECT_TRUE(bar->widgetForAction(bar->actions().back())->isVisible());
    app.Frame()->close();
}
