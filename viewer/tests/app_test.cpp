// The viewer program offscreen: the frame over the command line, the views, the keys, the menus.
#include "viewer/app/main_frame.h"
#include "viewer/app/page_view.h"
#include "viewer/tests/viewer_test_support.h"

#include "common/program_start.h"
#include "platform/process.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/tests/support/layout_order.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QPrinter>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QToolBar>
#include <algorithm>
#include <numeric>
#include <optional>
#include <vector>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include <sys/wait.h>

namespace viewer_test {
namespace {

// Answers the next modal dialog once it is shown.
void AnswerNextDialog(std::function<void(QWidget*)> answer)
{
    QTimer::singleShot(0, [answer = std::move(answer)]() mutable {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) {
            AnswerNextDialog(std::move(answer));
            return;
        }
        answer(dialog);
    });
}

class PageViewerTest : public imaging_test::TempFolder {
protected:
    std::unique_ptr<CMainFrame> Start(const std::vector<std::string>& args)
    {
        auto frame = StartPageViewer(args, prompter, settings, 1920);
        if (frame) {
            frame->resize(900, 600);
            EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        }
        return frame;
    }
    static QImage Grab(QWidget* view) { return view->grab().toImage(); }
    static QString Pane(CMainFrame& frame, int i) { return frame.StatusPane(i)->text(); }

    qelta::test::ScopedStateRoot root;
    ScriptedPrompter prompter;
    LibraryMessages messages;
    CViewerSettings settings;
};

TEST_F(PageViewerTest, WizardVectorShowsThePagesUnderTheTitleAndKeysChangeThem)
{
    const std::string fax = writeTiff(path("fax three.tif"), 3, COMPRESSION_CCITTFAX4, 1728, 1100);
    const std::string before = bytesOf(fax);
    auto frame = Start(ViewerArguments("Fax to Kim", fax, false));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->windowTitle(), "Fax to Kim");
    EXPECT_EQ(Pane(*frame, 1), "1/3");
    EXPECT_EQ(Pane(*frame, 2), "Width: 1728 Height: 1100");
    EXPECT_EQ(Pane(*frame, 3), "Size adjustment");

    frame->PageView()->setFocus();
    const QImage first = Grab(frame->PageView()->viewport());
    struct Step {
        QKeySequence keys;
        QString page, zoom;
    } steps[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_F), "2/3", ""},
        {QKeySequence(Qt::CTRL | Qt::Key_B), "1/3", ""},
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), "1/3", "50%"}, // from fit at about 0.4
        {QKeySequence(Qt::CTRL | Qt::Key_PageUp), "1/3", "25%"},
        {QKeySequence(Qt::Key_Home), "1/3", ""},
    };
    for (const Step& step : steps) {
        QTest::keySequence(frame.get(), step.keys);
        EXPECT_EQ(Pane(*frame, 1), step.page) << step.keys.toString().toStdString();
        if (!step.zoom.isEmpty()) {
            EXPECT_EQ(Pane(*frame, 5), step.zoom) << step.keys.toString().toStdString();
        }
    }
    EXPECT_EQ(Pane(*frame, 3), "Size adjustment");
    QTest::keySequence(frame.get(), QKeySequence(Qt::CTRL | Qt::Key_R));
    EXPECT_NE(Grab(frame->PageView()->viewport()), first);
    QTest::keySequence(frame.get(), QKeySequence(Qt::CTRL | Qt::Key_R));
    QTest::keySequence(frame.get(), QKeySequence(Qt::CTRL | Qt::Key_K));
    EXPECT_EQ(Pane(*frame, 4), "");

    // A thumbnail click shows its page.
    const CThumbLayout& grid = frame->ThumbView()->Layout();
    const auto [x, y] = grid.CellCorner(2);
    QTest::mouseClick(frame->ThumbView()->viewport(), Qt::LeftButton, {}, QPoint(x + 2, y + 2));
    EXPECT_EQ(Pane(*frame, 1), "3/3");
    EXPECT_EQ(Pane(*frame, 6), "Reduced view");
    // Tab goes to the page view.
    QTest::keyClick(frame->ThumbView(), Qt::Key_Tab);
    EXPECT_TRUE(frame->PageView()->hasFocus());
    EXPECT_EQ(Pane(*frame, 6), "Page viewer");
    // Tab reaches only the two panes, the thumbnails on the left first.
    EXPECT_EQ(qelta::test::TabChain(frame.get()),
              (std::vector<QWidget*>{frame->ThumbView(), frame->PageView()}));
    EXPECT_TRUE(qelta::test::TabOrderFollowsLayout(frame.get()));
    frame.reset();
    EXPECT_EQ(bytesOf(fax), before);
}

TEST_F(PageViewerTest, TheCaptionNamesTheOpenFile)
{
    const std::string fax = writeTiff(path("Report 7.tif"), 2, COMPRESSION_CCITTFAX4, 1728, 1100);
    EXPECT_EQ(Start({fax})->windowTitle().toStdString(), "Report 7.tif - Qelta Viewer");
    EXPECT_EQ(Start({})->windowTitle().toStdString(), "Qelta Viewer");
    // A title given at start stands until another file is opened.
    auto frame = Start(ViewerArguments("Fax to Kim", fax, false));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->windowTitle().toStdString(), "Fax to Kim");
    ASSERT_TRUE(frame->Document().OnOpenDocument(writeTiff(path("other.tif"), 1)));
    EXPECT_EQ(frame->windowTitle().toStdString(), "other.tif - Qelta Viewer");
}

TEST_F(PageViewerTest, StatusPanesShareANarrowFrameWithoutOverlapping)
{
    const std::string fax = writeTiff(path("fax.tif"), 2, COMPRESSION_CCITTFAX4, 1728, 2338);
    auto frame = StartPageViewer({fax}, prompter, settings, 1920); // at the first run's 400 x 300
    ASSERT_TRUE(frame);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
    for (const int width : {400, 640, 1200}) {
        frame->resize(width, 300);
        QTest::qWait(20);
        const QRect bar = frame->statusBar()->rect();
        for (int i = 0; i < 7; ++i) {
            const QRect pane = frame->StatusPane(i)->geometry();
            EXPECT_TRUE(bar.contains(pane)) << "pane " << i << " at " << width;
            for (int j = i + 1; j < 7; ++j)
                EXPECT_FALSE(pane.intersects(frame->StatusPane(j)->geometry()))
                    << "panes " << i << " and " << j << " at " << width;
        }
    }
    // With room every pane shows its whole text.
    EXPECT_GE(frame->StatusPane(2)->width(), frame->StatusPane(2)->fontMetrics().horizontalAdvance(Pane(*frame, 2)));
}

TEST_F(PageViewerTest, TheFirstRunShowsTheStatusPanesWholeAndAStoredPlacementStays)
{
    const std::string fax = writeTiff(path("fax.tif"), 2, COMPRESSION_CCITTFAX4, 1728, 2338);
    struct Case {
        const char* what;
        int left, top, right, bottom;
        bool whole;
        int width; // 0: as wide as the panes need
    } const cases[] = {
        {"first run", 0, 0, 400, 300, true, 0},
        {"a narrow window the user left", 0, 0, 420, 300, false, 420},
        {"a window the user moved", 30, 20, 430, 320, false, 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        settings.windowLeft = c.left;
        settings.windowTop = c.top;
        settings.windowRight = c.right;
        settings.windowBottom = c.bottom;
        auto frame = StartPageViewer({fax}, prompter, settings, 1920);
        ASSERT_TRUE(frame);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        QTest::qWait(20);
        if (c.width) {
            EXPECT_EQ(frame->width(), c.width);
            continue;
        }
        EXPECT_GT(frame->width(), 400);
        EXPECT_EQ(frame->height(), 300);
        for (int i = 0; i < 7; ++i) {
            QLabel* pane = frame->StatusPane(i);
            EXPECT_GE(pane->width(), pane->fontMetrics().horizontalAdvance(pane->text())) << "pane " << i;
            if (i > 0) {
                EXPECT_GE(pane->width(), pane->sizeHint().width()) << "pane " << i;
            }
        }
    }
}

TEST_F(PageViewerTest, PrintsEveryPageToPdfOnBothPaperSizes)
{
    const std::string fax = writeTiff(path("fax.tif"), 3, COMPRESSION_CCITTFAX4, 1728, 1100);
    auto frame = Start({fax});
    ASSERT_TRUE(frame);
    for (const QPageSize::PageSizeId size : {QPageSize::A4, QPageSize::Letter}) {
        const QString pdf = QString::fromStdString(path("out.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(size));
        frame->PageView()->Print(printer);
        const std::string text = bytesOf(pdf.toStdString());
        size_t pages = 0;
        for (size_t at = text.find("/Type /Page\n"); at != std::string::npos; at = text.find("/Type /Page\n", at + 1))
            ++pages;
        EXPECT_EQ(pages, 3u) << size;
    }
}

TEST_F(PageViewerTest, PageJumpAndOpenReachTheirDialogs)
{
    const std::string fax = writeTiff(path("fax.tif"), 3, COMPRESSION_CCITTFAX4, 1728, 1100);
    auto frame = Start({fax});
    ASSERT_TRUE(frame);
    QString chosen;
    AnswerNextDialog([&](QWidget* dialog) {
        emit dialog->findChild<CSpinButtons*>(ControlName(IDC_JUMP_SPIN))->Delta(1);
        emit dialog->findChild<CSpinButtons*>(ControlName(IDC_JUMP_SPIN))->Delta(1);
        chosen = dialog->findChild<QLineEdit*>(ControlName(IDC_JUMP_PAGE))->text();
        static_cast<QDialog*>(dialog)->accept();
    });
    frame->OnCommand(ID_PAGE_JUMP);
    EXPECT_EQ(Pane(*frame, 1), chosen + "/3");

    // Open: a file that cannot be read leaves the document shown and the file as it was.
    const std::string broken = path("broken.tif");
    std::ofstream(broken, std::ios::binary) << std::string("II*\0garbage", 11);
    const std::string before = bytesOf(broken);
    QString title;
    AnswerNextDialog([&](QWidget* dialog) {
        title = dialog->windowTitle();
        auto* files = static_cast<QFileDialog*>(dialog);
        files->selectFile(QString::fromStdString(broken));
        static_cast<QDialog*>(files)->accept();
    });
    frame->OnCommand(ID_FILE_OPEN);
    EXPECT_EQ(title, "Open files");
    EXPECT_FALSE(LibraryMessages::codes().empty());
    EXPECT_EQ(frame->Document().PageCount(), 3);
    EXPECT_EQ(frame->Document().PathName(), fax);
    EXPECT_EQ(bytesOf(broken), before);
}

TEST_F(PageViewerTest, ToolbarPropertiesAndSettings)
{
    const std::string fax = writeTiff(path("g3.tif"), 3, COMPRESSION_CCITTFAX3, 1728, 1100);
    auto frame = Start({fax});
    ASSERT_TRUE(frame);
    // A toolbar button: rotate right turns the page, the size pane stays the page's own.
    auto* bar = frame->findChild<QToolBar*>(QStringLiteral("toolbar128"));
    ASSERT_TRUE(bar);
    const QImage before = Grab(frame->PageView()->viewport());
    QTest::mouseClick(bar->widgetForAction(frame->Action(ID_VIEW_ROTATE_RIGHT)), Qt::LeftButton);
    EXPECT_EQ(frame->PageView()->PageState().GetRotation(), 3);
    EXPECT_NE(Grab(frame->PageView()->viewport()), before);

    QString compression;
    AnswerNextDialog([&](QWidget* dialog) {
        compression = dialog->findChild<QLineEdit*>(ControlName(IDC_INFO_COMPRESSION))->text();
        static_cast<QDialog*>(dialog)->accept();
    });
    frame->OnCommand(ID_FILE_PROPERTIES);
    EXPECT_FALSE(compression.isEmpty());

    // Settings: one column more in the fitted reduced view.
    const int columns = frame->ThumbView()->Layout().Columns();
    AnswerNextDialog([&](QWidget* dialog) {
        emit dialog->findChild<CSpinButtons*>(ControlName(IDC_SETTINGS_SPIN))->Delta(-1);
        static_cast<QDialog*>(dialog)->accept();
    });
    frame->OnCommand(ID_TOOL_SETTINGS);
    EXPECT_NE(frame->ThumbView()->Layout().Columns(), columns);
}

TEST_F(PageViewerTest, MenusHoldTheListedItems)
{
    auto frame = Start({});
    ASSERT_TRUE(frame);
    // The items of a menu, a popup's followed by its own items marked ">".
    const auto itemsOf = [](QMenu* menu, QStringList& names) {
        for (QAction* item : menu->actions()) {
            names << (item->isSeparator() ? QStringLiteral("-") : item->text().section('\t', 0, 0));
            if (item->menu())
                for (QAction* sub : item->menu()->actions())
                    names << ">" + sub->text().section('\t', 0, 0);
        }
    };
    QStringList names;
    for (QAction* top : frame->menuBar()->actions()) {
        names << top->text();
        itemsOf(top->menu(), names);
    }
    EXPECT_EQ(names.join('|').toStdString(),
              "&File|P&roperties...|-|Quitting the Qelta Viewer|&View|Size ad&justment|&Zoom|>En&large|"
              ">Restore &default|>R&educe|&Rotate|>Rotate 90 to &left|>Rotate 90 to &right|>Rotate &180|&Image|"
              ">White/black &invert|>&Grayscale display|-|Display entire p&age|Reduced disp&lay|"
              "&Page and reduced display|-|&Toolbar|&Status bar|&Page|&Next page|P&revious page|&First page|"
              "&Last page|Pa&ge jump...|&Tool|&Settings...|&Help|Table of &contents|-|Version inform&ation...");
    // The page view's menu shares the View menu's popups; the toolbar's Hand is in no menu.
    const std::unique_ptr<QMenu> viewMenu(PageViewMenu(nullptr, true));
    QStringList viewNames;
    itemsOf(viewMenu.get(), viewNames);
    EXPECT_EQ(viewNames.join('|').toStdString(),
              "&Zoom|>En&large|>Restore &default|>R&educe|&Rotate|>Rotate 90 to &left|>Rotate 90 to &right|"
              ">Rotate &180|&Image|>White/black &invert|>&Grayscale display|-|&Properties...");
    EXPECT_EQ(frame->Action(ID_TOOL_HAND)->text().toStdString(), "Hand");
    // Without pages every page command is greyed.
    EXPECT_FALSE(frame->Action(ID_VIEW_ENLARGE)->isEnabled());
    EXPECT_FALSE(frame->Action(ID_PAGE_NEXT)->isEnabled());
    EXPECT_FALSE(frame->Action(ID_TOOL_HAND)->isEnabled());
    // Toolbar 128's pictures serve the menus too.
    EXPECT_FALSE(frame->Action(ID_VIEW_ENLARGE)->icon().isNull());
    // The delayed menus never open while editing is off.
    EXPECT_EQ(frame->OnTimer(1, 1), 0);
    EXPECT_EQ(frame->OnTimer(2, 2), 0);
    // Display modes set the thumbnail column.
    frame->OnCommand(ID_VIEW_ENTIRE_PAGE);
    EXPECT_EQ(frame->Splitter()->sizes().value(0), 0);
}

TEST_F(PageViewerTest, AFileThatCannotBeReadEndsTheStartAndIsLeftAsItWas)
{
    const std::string broken = path("broken.tif");
    std::ofstream(broken, std::ios::binary) << std::string("II*\0garbage", 11);
    const std::string before = bytesOf(broken);
    EXPECT_FALSE(StartPageViewer({broken}, prompter, settings, 1920));
    EXPECT_FALSE(LibraryMessages::codes().empty());
    EXPECT_EQ(bytesOf(broken), before);
    // A missing file named by its absolute path is said so, never taken for a switch.
    LibraryMessages::codes().clear();
    EXPECT_FALSE(StartPageViewer({path("missing.tif")}, prompter, settings, 1920));
    EXPECT_FALSE(LibraryMessages::codes().empty());
}

TEST_F(PageViewerTest, TheProgramsMessageOfAFileThatCannotBeReadNamesTheFile)
{
    // The whole program, with its own message box for the library's messages: the library's text
    // stands, and the file it is about follows it.
    const std::string broken = path("broken.tif");
    std::ofstream(broken, std::ios::binary) << std::string("II*\0garbage", 11);
    const std::string folder = path("a folder.tif");
    std::filesystem::create_directory(folder);
    struct Case {
        std::string file;
        std::string text; // the library's, first
    } const cases[] = {
        {path("missing.tif"), "The file cannot be opened."},
        {folder, "The file cannot be opened."},
        {broken, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<std::string> texts;
        struct Recorder : IPrompter {
            std::vector<std::string>& texts;
            explicit Recorder(std::vector<std::string>& t) : texts(t) {}
            int MessageBox(const std::string& text, const std::string&, unsigned flags) override
            {
                texts.push_back(text);
                EXPECT_EQ(flags, static_cast<unsigned>(MB_ICONWARNING)) << "a warning with OK, whatever the code";
                return IDOK;
            }
        } recorder(texts);
        EXPECT_EQ(RunPageViewer({c.file}, recorder), 1);
        ASSERT_EQ(texts.size(), 1u);
        const std::string& text = texts.front();
        EXPECT_TRUE(text.starts_with(c.text)) << text;
        EXPECT_TRUE(text.ends_with("\n\n" + c.file)) << text;
        EXPECT_GT(text.size(), c.file.size() + 2) << "the library's text stands: " << text;
    }
}

TEST_F(PageViewerTest, ALinkFileConvertsBehindTheProgressDialog)
{
    const std::string fax = writeTiff(path("five.tif"), 5);
    std::string text;
    for (int i = 0; i < 20; ++i)
        text += fax + "\r\n";
    qelta::test::writeTextFile(path("list.lnk"), text);
    const auto frame = Start({path("list.lnk")});
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->Document().PageCount(), 100);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the dialog closed with the conversion";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor is gone";
    EXPECT_EQ(Pane(*frame, 0).toStdString(), "Press F1 to display Help.");
}

TEST_F(PageViewerTest, ClosingStoresTheWindowAndTheViewSettings)
{
    {
        auto frame = StartPageViewer({}, prompter, settings, 1920); // at the first run's 400 x 300
        ASSERT_TRUE(frame);
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        QCoreApplication::processEvents();
        const QRect area = frame->screen()->availableGeometry();
        EXPECT_TRUE(area.contains(frame->frameGeometry())) << "shown whole";
        EXPECT_GE(frame->geometry().top() - area.top(), 20) << "room for a title bar above the client";
        EXPECT_EQ(frame->height(), 300);
        EXPECT_GE(frame->width(), 400) << "as wide as its status panes, at least";
        frame->showMaximized();
        frame->close();
    }
    EXPECT_EQ(settings.windowZoom, 1);
    EXPECT_EQ(std::tie(settings.windowLeft, settings.windowTop, settings.windowRight, settings.windowBottom),
              std::make_tuple(0, 0, 400, 300)) << "closed maximised: the stored place stays";
    EXPECT_EQ(std::tie(settings.viewScale, settings.viewJustify), std::make_tuple(4, 1));
    WriteViewerSettingsAtExit(settings);
    EXPECT_EQ(ReadViewerSettings(1920).windowZoom, 1);
    EXPECT_TRUE(ReadBarState().has_value());
}

// A TIFF of all-black pages: wherever a view draws the page, it is black.
std::string blackTiff(const std::string& path, int pages, uint32_t width, uint32_t height)
{
    imaging_test::Bits black(width, height);
    std::fill(black.black.begin(), black.black.end(), uint8_t{1});
    imaging_test::PageFormat format;
    format.compression = COMPRESSION_CCITTFAX4;
    imaging_test::writeBilevel(path, std::vector<imaging_test::Bits>(static_cast<size_t>(pages), black), format);
    return path;
}

// The pixels of a rectangle of a picture that are not black.
int notBlack(const QImage& picture, const QRect& area)
{
    int count = 0;
    const QRect inside = area.intersected(picture.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            count += (picture.pixel(x, y) & 0xFFFFFF) != 0;
    return count;
}

// A page of 4 x 5 inches at its resolutions with a black square of half an inch, a quarter of an
// inch from its top left corner (or, with bottomRow, its last row black instead).
std::string squarePage(const std::string& path, int xDpi, int yDpi, bool bottomRow = false)
{
    imaging_test::Bits bits(static_cast<uint32_t>(4 * xDpi), static_cast<uint32_t>(5 * yDpi));
    if (bottomRow) {
        for (uint32_t x = 0; x < bits.width; ++x)
            bits.set(x, bits.height - 1);
    } else {
        for (int y = yDpi / 4; y < yDpi / 4 + yDpi / 2; ++y)
            for (int x = xDpi / 4; x < xDpi / 4 + xDpi / 2; ++x)
                bits.set(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    }
    imaging_test::PageFormat format;
    format.compression = COMPRESSION_CCITTFAX4;
    format.xDpi = static_cast<float>(xDpi);
    format.yDpi = static_cast<float>(yDpi);
    imaging_test::writeBilevel(path, {bits}, format);
    return path;
}

// The smallest rectangle holding a picture's dark pixels within an area.
QRect darkBounds(const QImage& picture, const QRect& area)
{
    QRect bounds;
    const QRect inside = area.intersected(picture.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            if (qGray(picture.pixel(x, y)) < 128)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

TEST_F(PageViewerTest, PagesAreDrawnInTheirTrueProportionsAtEveryZoomAndTurn)
{
    const struct {
        int xDpi, yDpi;
    } pages[] = {{204, 98}, {204, 196}, {200, 200}, {300, 300}};
    const struct {
        const char* name;
        std::vector<int> commands; // from fit, unturned
    } views[] = {
        {"fit", {}},
        {"fit, turned left", {ID_VIEW_ROTATE_LEFT}},
        {"fit, turned 180", {ID_VIEW_ROTATE_180}},
        {"fit, turned right", {ID_VIEW_ROTATE_RIGHT}},
        {"100 %", {ID_VIEW_FIT}},
        {"50 %, turned left", {ID_VIEW_FIT, ID_VIEW_REDUCE, ID_VIEW_ROTATE_LEFT}},
        {"25 %, turned 180", {ID_VIEW_FIT, ID_VIEW_REDUCE, ID_VIEW_REDUCE, ID_VIEW_ROTATE_180}},
        {"200 %, turned right", {ID_VIEW_FIT, ID_VIEW_ENLARGE, ID_VIEW_ROTATE_RIGHT}},
    };
    for (const auto& page : pages) {
        const std::string file =
            squarePage(path("square" + std::to_string(page.yDpi) + ".tif"), page.xDpi, page.yDpi);
        for (const auto& v : views) {
            settings.viewJustify = 1;
            settings.viewScale = 4;
            auto frame = Start({file});
            ASSERT_TRUE(frame);
            frame->resize(1400, 1100);
            QTest::qWait(20);
            CTqlVwTLPageView& view = *frame->PageView();
            for (const int command : v.commands)
                view.OnCommand(command);
            const std::string name = std::to_string(page.xDpi) + " x " + std::to_string(page.yDpi) + ", " + v.name;
            // The page's pixel size stays in the status bar.
            EXPECT_EQ(Pane(*frame, 2).toStdString(),
                      SizePaneText(4 * page.xDpi, 5 * page.yDpi)) << name;
            // The whole page in its proportions: 4 x 5 inches, or 5 x 4 turned.
            const bool turned = view.PageState().GetRotation() % 2 == 1;
            const double across = turned ? 5 : 4, down = turned ? 4 : 5;
            EXPECT_NEAR(view.Logic().DisplayHeight(), view.Logic().DisplayWidth() * down / across, 1.0) << name;
            // The square is square; the view stands at the page's own corner, near it.
            const QImage shown = Grab(view.viewport());
            const QRect square = darkBounds(shown, shown.rect());
            ASSERT_FALSE(square.isEmpty()) << name;
            EXPECT_NEAR(square.width(), square.height(), 1) << name << ": " << square.width() << " x "
                                                             << square.height();
            // At 100 % a square page's pixel stays a screen pixel across; a stretched page's too.
            if (std::string(v.name) == "100 %") {
                EXPECT_NEAR(square.width(), page.xDpi / 2, 1) << name;
            }
            // The thumbnail shows it square too.
            CTqlVwTLView& thumbs = *frame->ThumbView();
            const QImage cells = Grab(thumbs.viewport());
            const auto [cx, cy] = thumbs.Layout().CellCorner(0);
            const QRect cell(cx, cy, thumbs.Layout().CellWidth(), thumbs.Layout().CellHeight());
            const QRect thumbSquare = darkBounds(cells, cell.adjusted(1, 1, -1, -1));
            ASSERT_FALSE(thumbSquare.isEmpty()) << name;
            EXPECT_NEAR(thumbSquare.width(), thumbSquare.height(), 1) << name;
            EXPECT_NEAR(cell.height(), cell.width() * 5.0 / 4, 1) << name;
        }
    }
}

TEST_F(PageViewerTest, AStretchedPageScrolledToTheBottomShowsItsLastRow)
{
    auto frame = Start({squarePage(path("bottom.tif"), 204, 98, true)});
    ASSERT_TRUE(frame);
    CTqlVwTLPageView& view = *frame->PageView();
    for (const int command : {0, int{ID_VIEW_FIT}, int{ID_VIEW_ENLARGE}}) { // fit, 100 %, 200 %
        if (command)
            view.OnCommand(command);
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
        const QImage shown = Grab(view.viewport());
        const int bottom = view.Logic().DisplayHeight() - view.verticalScrollBar()->value() - 1;
        ASSERT_GE(bottom, 0);
        ASSERT_LT(bottom, shown.height());
        const QRect row(0, bottom, std::min(shown.width(), view.Logic().DisplayWidth()), 1);
        EXPECT_EQ(notBlack(shown, row), 0) << command << ": row " << bottom;
        // One row of the page is two rows of the screen at 100 %: the row above is black too.
        if (command) {
            EXPECT_EQ(notBlack(shown, row.translated(0, -1)), 0) << command;
        }
    }
}

TEST_F(PageViewerTest, ScrolledZoomedAndTurnedPagesAreDrawnWhereverTheViewShowsThem)
{
    // An A4 page bigger than the view at every one of these settings: the view shows nothing else.
    auto frame = Start({blackTiff(path("black.tif"), 1, 1728, 2339)});
    ASSERT_TRUE(frame);
    CTqlVwTLPageView& view = *frame->PageView();
    QScrollBar& across = *view.horizontalScrollBar();
    QScrollBar& down = *view.verticalScrollBar();
    struct Case {
        const char* name;
        std::vector<int> commands;
        std::optional<QPoint> scroll; // none: the bottom-right corner
    } cases[] = {
        {"fit, at the top", {}, QPoint(0, 0)},
        {"fit, at the bottom", {}, std::nullopt},
        {"100 %", {ID_VIEW_FIT}, QPoint(300, 500)},
        {"100 %, at the bottom right", {}, std::nullopt},
        {"200 %", {ID_VIEW_ENLARGE}, QPoint(1000, 2000)},
        {"200 %, turned left", {ID_VIEW_ROTATE_LEFT}, QPoint(99, 30)},
        {"100 %, turned left", {ID_VIEW_REDUCE}, QPoint(0, 0)},
        {"100 %, turned left, at the bottom", {}, std::nullopt},
        {"fit, turned 180", {ID_VIEW_ROTATE_RIGHT, ID_VIEW_FIT, ID_VIEW_ROTATE_180}, QPoint(0, 0)},
        {"fit, turned 180, at the bottom", {}, std::nullopt},
    };
    for (const Case& c : cases) {
        for (const int command : c.commands)
            view.OnCommand(command);
        across.setValue(c.scroll ? c.scroll->x() : across.maximum());
        down.setValue(c.scroll ? c.scroll->y() : down.maximum());
        const QImage shown = Grab(view.viewport());
        EXPECT_EQ(notBlack(shown, shown.rect()), 0)
            << c.name << " at " << across.value() << "," << down.value() << " of " << across.maximum() << ","
            << down.maximum() << ", " << Pane(*frame, 5).toStdString() << " turned "
            << view.PageState().GetRotation();
    }
}

// Counts the resizes a widget gets.
class ResizeCounter : public QObject {
public:
    explicit ResizeCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Resize;
        return false;
    }
    int count = 0;
};

TEST_F(PageViewerTest, FittedViewsSettleWhenTheirContentIsWithinAScrollBarOfTheirHeight)
{
    auto frame = Start({blackTiff(path("a4.tif"), 1, 1728, 2339)});
    ASSERT_TRUE(frame);
    CTqlVwTLPageView& page = *frame->PageView();
    CTqlVwTLView& thumbs = *frame->ThumbView();
    struct Case {
        const char* name;
        int mode;
        QAbstractScrollArea* view;
        std::function<int(int)> heightAt; // the content's height at a width
    } cases[] = {
        {"page view", ID_VIEW_PAGE_AND_REDUCED, &page, [](int width) { return static_cast<int>(2339.0 * width / 1728); }},
        {"reduced view", ID_VIEW_REDUCED, &thumbs,
         [&](int width) {
             CThumbLayout grid;
             grid.Layout(width, 1, 1728, 2339, true, settings.cmplRow);
             return grid.ScrollSize().second;
         }},
    };
    for (const Case& c : cases) {
        frame->OnCommand(c.mode);
        QAbstractScrollArea& view = *c.view;
        const int bar = view.verticalScrollBar()->sizeHint().width();
        ASSERT_GT(bar, 2);
        // The frame's height set so that the content at the view's whole width is a little taller
        // than the view, and with the scroll bar's width taken off a little shorter.
        for (const int over : {1, bar / 2, bar - 1}) {
            const QSize whole = view.contentsRect().size();
            frame->resize(frame->width(), frame->height() + c.heightAt(whole.width()) - over - whole.height());
            QTest::qWait(50);
            ASSERT_EQ(view.contentsRect().width(), whole.width());
            ResizeCounter resizes(view.viewport());
            QTest::qWait(300);
            EXPECT_LE(resizes.count, 1) << c.name << ", " << over << " rows over";
        }
    }
    // The fitted page fills the width the bar leaves and is drawn whole.
    frame->OnCommand(ID_VIEW_PAGE_AND_REDUCED);
    QTest::qWait(50);
    const QImage shown = Grab(page.viewport());
    const QRect drawn(0, 0, page.Logic().DisplayWidth(), page.Logic().DisplayHeight());
    EXPECT_EQ(page.viewport()->width(), drawn.width());
    EXPECT_EQ(notBlack(shown, drawn), 0);
}

TEST_F(PageViewerTest, ExtremePagesAreStretchedOnlyWhereShown)
{
    // Narrow pages that fit would enlarge far past the view; the display image stays the page's size.
    struct Case {
        uint32_t width, height;
        int command; // 0: none
    } cases[] = {{16, 8192, 0}, {1, 65535, 0}, {65535, 1, ID_VIEW_ROTATE_LEFT}, {65535, 1, 0}};
    for (const Case& c : cases) {
        auto frame = Start({blackTiff(path("extreme.tif"), 1, c.width, c.height)});
        ASSERT_TRUE(frame);
        CTqlVwTLPageView& view = *frame->PageView();
        if (c.command)
            view.OnCommand(c.command);
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(view.DisplayImage());
            const CDisplayImage& image = *view.DisplayImage();
            ASSERT_LE(int64_t{image.Width()} * image.Height(), int64_t{c.width} * c.height)
                << c.width << " x " << c.height << (c.command ? ", turned" : "");
            // At fit the page takes the view's width and is black wherever it shows.
            const QImage shown = Grab(view.viewport());
            const QRect page = QRect(0, 0, view.Logic().DisplayWidth(), view.Logic().DisplayHeight())
                                   .translated(0, -view.verticalScrollBar()->value());
            EXPECT_EQ(page.width(), view.viewport()->width());
            EXPECT_EQ(notBlack(shown, page), 0) << c.width << " x " << c.height << (c.command ? ", turned" : "");
            view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 2 + 1);
        }
    }
}

TEST_F(PageViewerTest, TheReducedViewStartsFittedWhenTheSettingsSaySo)
{
    const std::string fax = writeTiff(path("fax.tif"), 5, COMPRESSION_CCITTFAX4, 1728, 1100);
    for (const int justify : {1, 0}) {
        settings.cmplJustify = justify;
        settings.cmplRow = 3;
        auto frame = Start({fax});
        ASSERT_TRUE(frame);
        CTqlVwTLView& thumbs = *frame->ThumbView();
        const CThumbLayout& grid = thumbs.Layout();
        EXPECT_EQ(thumbs.State().GetFit() != 0, justify == 1);
        if (justify) {
            EXPECT_EQ(grid.Columns(), 3);
            EXPECT_EQ(grid.CellWidth(), (thumbs.viewport()->width() - 4 * grid.Gap()) / 3);
        } else {
            EXPECT_EQ(grid.CellWidth(), 1728 / 16);
        }
    }
}

TEST_F(PageViewerTest, ThumbnailsFollowTheTurnsOfTheirPages)
{
    // Portrait pages, black in their top left quarter only: after each turn of the page view the
    // thumbnails take the turned shape, and the black quarter lies where the turn took it.
    imaging_test::Bits bits(400, 800);
    for (uint32_t y = 0; y < 400; ++y)
        for (uint32_t x = 0; x < 200; ++x)
            bits.black[size_t{y} * 400 + x] = 1;
    imaging_test::PageFormat format;
    format.compression = COMPRESSION_CCITTFAX4;
    imaging_test::writeBilevel(path("quarter.tif"), {bits, bits, bits}, format);
    auto frame = Start({path("quarter.tif")});
    ASSERT_TRUE(frame);
    CTqlVwTLView& thumbs = *frame->ThumbView();
    enum Quarter { TopLeft, TopRight, BottomLeft, BottomRight };
    // The quarter of page i's thumbnail that is darkest.
    const auto darkest = [&](int page) {
        const QImage shown = Grab(thumbs.viewport());
        const CThumbLayout& grid = thumbs.Layout();
        const auto [x, y] = grid.CellCorner(page);
        const int w = grid.CellWidth(), h = grid.CellHeight();
        const QPoint at(x - thumbs.horizontalScrollBar()->value(), y - thumbs.verticalScrollBar()->value());
        int best = -1, most = -1;
        for (int q = 0; q < 4; ++q) {
            const QRect area(at + QPoint(q % 2 ? w / 2 : 0, q / 2 ? h / 2 : 0), QSize(w / 2, h / 2));
            const int dark = area.width() * area.height() - notBlack(shown, area.adjusted(2, 2, -2, -2));
            if (dark > most) {
                most = dark;
                best = q;
            }
        }
        return best;
    };
    struct Step {
        int command; // 0: as opened
        int turns;
        Quarter dark;
    } const steps[] = {
        {0, 0, TopLeft},
        {ID_VIEW_ROTATE_LEFT, 1, BottomLeft},
        {ID_VIEW_ROTATE_LEFT, 2, BottomRight},
        {ID_VIEW_ROTATE_RIGHT, 1, BottomLeft},
        {ID_VIEW_ROTATE_180, 3, TopRight},
        {ID_VIEW_RESTORE, 0, TopLeft},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "command " << step.command << ", turns " << step.turns);
        if (step.command)
            frame->OnCommand(step.command);
        ASSERT_EQ(frame->PageView()->PageState().GetRotation(), step.turns);
        EXPECT_EQ(thumbs.Turns(), step.turns);
        const CThumbLayout& grid = thumbs.Layout();
        const bool across = step.turns % 2 == 1;
        EXPECT_EQ(grid.CellWidth() > grid.CellHeight(), across) << grid.CellWidth() << " x " << grid.CellHeight();
        for (int page = 0; page < 2; ++page)
            EXPECT_EQ(darkest(page), step.dark) << "page " << page;
    }
    // A document opened later shows its thumbnails in the turn the page view keeps.
    frame->OnCommand(ID_VIEW_ROTATE_RIGHT);
    ASSERT_TRUE(frame->Document().OnOpenDocument(path("quarter.tif")));
    EXPECT_EQ(thumbs.Turns(), frame->PageView()->PageState().GetRotation());
    EXPECT_EQ(darkest(0), TopRight);
}

TEST_F(PageViewerTest, ThumbnailsFarDownALongFileAreDrawn)
{
    auto frame = Start({blackTiff(path("hundred.tif"), 100, 432, 584)});
    ASSERT_TRUE(frame);
    CTqlVwTLView& thumbs = *frame->ThumbView();
    const CThumbLayout& grid = thumbs.Layout();
    ASSERT_TRUE(grid.DrawsImage());
    for (const int page : {5, 6, 50, 99}) {
        thumbs.GoToPage(page);
        const QPoint scroll(thumbs.horizontalScrollBar()->value(), thumbs.verticalScrollBar()->value());
        const QImage shown = Grab(thumbs.viewport());
        const auto [x, y] = grid.CellCorner(page);
        const QRect cell = QRect(x, y, grid.CellWidth(), grid.CellHeight()).translated(-scroll);
        ASSERT_TRUE(shown.rect().contains(cell.center())) << page + 1;
        EXPECT_EQ(notBlack(shown, cell), 0) << "page " << page + 1;
    }
}

// The program never allows editing; these tests set the display state's flag themselves.
class AnnotationViewTest : public PageViewerTest {
protected:
    std::unique_ptr<CMainFrame> StartEditing()
    {
        auto frame = Start({writeTiff(path("fax.tif"), 2, COMPRESSION_CCITTFAX4, 1728, 1100)});
        if (frame)
            frame->PageView()->PageState().SetEditingAllowed(1);
        return frame;
    }
    static void AddItem(CTqlVwTLPageView& view, int kind, gdi::RECT rect)
    {
        auto item = std::make_unique<CAnnotationItem>();
        item->kind = kind;
        item->rect = rect;
        item->pageWidth = 1728;
        item->pageHeight = 1100;
        view.Layer().Append(std::move(item));
    }
};

// The name of the next menu that pops up, which is then closed.
void CatchNextPopup(QString& name)
{
    QTimer::singleShot(0, [&name] {
        QWidget* popup = QApplication::activePopupWidget();
        if (!popup) {
            CatchNextPopup(name);
            return;
        }
        name = popup->objectName();
        popup->close();
    });
}

TEST_F(AnnotationViewTest, TheTextToolWritesInPlaceAndEscapeDropsWhatWasTyped)
{
    auto frame = StartEditing();
    ASSERT_TRUE(frame);
    CTqlVwTLPageView& view = *frame->PageView();
    CAnnotationEdit& edit = view.Edit();
    EXPECT_EQ(edit.objectName(), "id59397");
    EXPECT_EQ(edit.parentWidget(), view.viewport());
    EXPECT_FALSE(edit.IsVisible());
    frame->OnCommand(32808); // the text tool
    const auto drawBand = [&] {
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, QPoint(50, 60));
        QTest::mouseMove(view.viewport(), QPoint(250, 160));
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, QPoint(250, 160));
    };

    drawBand();
    ASSERT_TRUE(edit.IsVisible());
    EXPECT_EQ(edit.geometry(), QRect(50, 60, 200, 100));
    EXPECT_TRUE(edit.hasFocus());
    EXPECT_FALSE(edit.CanUndo());
    QTest::keyClicks(&edit, "Kim");
    QTest::keyClick(&edit, Qt::Key_Return);
    QTest::keyClicks(&edit, "Room 4");
    EXPECT_EQ(edit.Text(), "Kim\nRoom 4");
    EXPECT_TRUE(edit.CanUndo());
    EXPECT_FALSE(edit.HasSelection());
    edit.selectAll();
    EXPECT_TRUE(edit.HasSelection());
    QTest::keyClick(&edit, Qt::Key_Escape);
    EXPECT_FALSE(edit.IsVisible());
    EXPECT_TRUE(view.hasFocus());
    frame->Document().EndAnnotationEdit();
    EXPECT_TRUE(view.Layer().Items().empty());
    EXPECT_FALSE(frame->Document().IsModified());

    // Without Escape the edit's end keeps the text as a new annotation.
    drawBand();
    ASSERT_TRUE(edit.IsVisible());
    EXPECT_EQ(edit.Text(), "");
    QTest::keyClicks(&edit, "Lee");
    frame->Document().EndAnnotationEdit();
    EXPECT_FALSE(edit.IsVisible());
    ASSERT_EQ(view.Layer().Items().size(), 1u);
    EXPECT_EQ(view.Layer().Items()[0]->kind, kAnnotText);
    EXPECT_EQ(view.Layer().Items()[0]->text, "Lee");
    EXPECT_TRUE(frame->Document().IsModified());
}

TEST_F(AnnotationViewTest, MousePositionsOnAStretchedPageMapToThePagesOwnPixels)
{
    // A 204 x 98 dpi page is shown twice as tall as its pixels: a band drawn on the screen is
    // stored in the page's pixels (in the turn it was drawn in).
    const double stretch = 204.0 / 98;
    const struct {
        const char* name;
        std::vector<int> commands; // from 100 %
        double across, down;       // the page's pixels per screen pixel
    } cases[] = {
        {"100 %", {}, 1, 1 / stretch},
        {"100 %, turned left", {ID_VIEW_ROTATE_LEFT}, 1 / stretch, 1},
        {"50 %, turned 180", {ID_VIEW_REDUCE, ID_VIEW_ROTATE_180}, 2, 2 / stretch},
    };
    for (const auto& c : cases) {
        settings.viewJustify = 0;
        settings.viewScale = 4;
        auto frame = Start({squarePage(path("fine.tif"), 204, 98)});
        ASSERT_TRUE(frame);
        CTqlVwTLPageView& view = *frame->PageView();
        view.PageState().SetEditingAllowed(1);
        for (const int command : c.commands)
            view.OnCommand(command);
        view.horizontalScrollBar()->setValue(0);
        view.verticalScrollBar()->setValue(0);
        frame->OnCommand(32804); // a rectangle
        const QPoint from(40, 50), to(240, 250);
        QTest::mousePress(view.viewport(), Qt::LeftButton, {}, from);
        QTest::mouseMove(view.viewport(), to);
        QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, to);
        ASSERT_EQ(view.Layer().Items().size(), 1u) << c.name;
        const gdi::RECT r = view.Layer().Items()[0]->rect;
        EXPECT_NEAR(r.left, from.x() * c.across, 1) << c.name;
        EXPECT_NEAR(r.top, from.y() * c.down, 1) << c.name;
        EXPECT_NEAR(r.right, to.x() * c.across, 1) << c.name;
        EXPECT_NEAR(r.bottom, to.y() * c.down, 1) << c.name;
        frame->Document().SetModifiedFlag(false);
    }
}

TEST_F(AnnotationViewTest, TheTiltDialogIsOneAtATimeOverThePageViewWithoutACloseBox)
{
    auto frame = StartEditing();
    ASSERT_TRUE(frame);
    CTqlVwTLPageView& view = *frame->PageView();
    CQtTiltDialogHost& host = view.TiltDialogHost();
    frame->OnCommand(ID_TOOL_TILT);
    EXPECT_EQ(view.PageState().GetTool(), kToolTilt);
    const QPointer<QDialog> dialog = host.Dialog();
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    EXPECT_EQ(dialog->parentWidget(), &view);
    EXPECT_FALSE(dialog->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    frame->OnCommand(ID_TOOL_TILT);
    host.OpenTiltDialog(view.Layer().Tilt());
    EXPECT_EQ(host.Dialog(), dialog.data());
    EXPECT_EQ(view.findChildren<CTiltCorrectionDlg*>().size(), 1);

    // Another tool closes it.
    frame->OnCommand(ID_TOOL_SELECT);
    EXPECT_FALSE(host.Dialog());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(dialog);
    // Escape in a new one ends the tilt tool.
    frame->OnCommand(ID_TOOL_TILT);
    ASSERT_TRUE(host.Dialog());
    QTest::keyClick(host.Dialog(), Qt::Key_Escape);
    EXPECT_NE(view.PageState().GetTool(), kToolTilt);
    EXPECT_FALSE(host.Dialog());
}

// Annotation fonts hold heights in screen pixels (the font dialog's negative character height);
// the font dialog of the viewer speaks in 200-dpi page pixels.
TEST(ScreenFontChooser, ConvertsHeightsBetweenTheScreenAndThePage)
{
    struct PageFonts : IFontChooser {
        bool Choose(gdi::LOGFONTA& font, uint32_t& colour) override
        {
            given = font.lfHeight;
            font.lfHeight = answer;
            colour = 0x0000FF;
            return ok;
        }
        int given = 0, answer = 0;
        bool ok = true;
    };
    const struct {
        int dpi, screen, pageGiven, pageAnswer, screenBack;
    } cases[] = {
        {96, -16, 33, 25, -12}, {96, 16, 33, 50, -24}, {120, -20, 33, 100, -60}, {96, 0, 0, 42, -20},
    };
    for (const auto& c : cases) {
        PageFonts page;
        page.answer = c.pageAnswer;
        CScreenFontChooser chooser(page, [&] { return c.dpi; });
        gdi::LOGFONTA font;
        font.lfHeight = c.screen;
        uint32_t colour = 0;
        ASSERT_TRUE(chooser.Choose(font, colour));
        EXPECT_EQ(page.given, c.pageGiven) << c.dpi << " " << c.screen;
        EXPECT_EQ(font.lfHeight, c.screenBack) << c.dpi << " " << c.screen;
        EXPECT_EQ(colour, 0x0000FFu);
    }
    // Cancel keeps the font and colour.
    PageFonts cancelled;
    cancelled.ok = false;
    CScreenFontChooser chooser(cancelled, [] { return 96; });
    gdi::LOGFONTA font;
    font.lfHeight = -16;
    uint32_t colour = 5;
    EXPECT_FALSE(chooser.Choose(font, colour));
    EXPECT_EQ(std::make_pair(font.lfHeight, colour), std::make_pair(-16, 5u));
}

TEST(AnnotationClipboard, CarriesTheBlockUnderItsTypeBesideThePicture)
{
    CQtAnnotationClipboard clipboard;
    ASSERT_TRUE(clipboard.Open());
    std::vector<uint8_t> block(kAnnotationBlockHeader + 5);
    std::iota(block.begin(), block.end(), uint8_t{0}); // zero bytes inside: the block is binary
    QImage picture(9, 5, QImage::Format_Mono);
    picture.fill(1);
    clipboard.SetAnnotation(block, picture);

    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    EXPECT_EQ(data->data(kAnnotationMimeType),
              QByteArray(reinterpret_cast<const char*>(block.data()), static_cast<qsizetype>(block.size())));
    EXPECT_TRUE(data->hasImage());
    EXPECT_EQ(qvariant_cast<QImage>(data->imageData()).size(), QSize(9, 5));
    EXPECT_EQ(clipboard.Annotation(), block);
    EXPECT_FALSE(clipboard.HasText());

    QGuiApplication::clipboard()->setText(QStringLiteral("plain"));
    EXPECT_TRUE(clipboard.HasText());
    EXPECT_FALSE(clipboard.Annotation().has_value());
}

TEST_F(AnnotationViewTest, AnnotationMenusSendTheirCommandsAndTheKeyboardOpensTheViewMenu)
{
    const std::vector<int> selected{ID_EDIT_CUT, ID_EDIT_COPY, 0, 59400, 59401, 0, 59402};
    const std::vector<int> remembered{164, 165, 0, 166, 167, 0, 168};
    const auto withEdit = [](int edit, std::vector<int> ids) {
        ids.insert(ids.begin(), edit);
        return ids;
    };
    const struct {
        int kind;
        bool selectTool;
        const char* menu;
        std::vector<int> ids;
    } cases[] = {
        {kAnnotFreehand, true, "menu156", selected},   {kAnnotMarker, true, "menu156", selected},
        {kAnnotLine, true, "menu156", selected},       {kAnnotRectangle, true, "menu156", selected},
        {kAnnotPaintRectangle, true, "menu156", selected},
        {kAnnotText, true, "menu157", withEdit(59399, selected)},
        {kAnnotPatchMemo, true, "menu157", withEdit(59399, selected)},
        {kAnnotTextFile, true, "menu156", selected},   {kAnnotStamp, true, "menu156", selected},
        {kAnnotLine, false, "menu159", remembered},    {kAnnotStamp, false, "menu159", remembered},
        {kAnnotText, false, "menu160", withEdit(163, remembered)},
        {kAnnotPatchMemo, false, "menu160", withEdit(163, remembered)},
    };
    for (const auto& c : cases) {
        const std::unique_ptr<QMenu> menu(AnnotationMenu(nullptr, c.kind, c.selectTool));
        EXPECT_EQ(menu->objectName().toStdString(), c.menu) << c.kind;
        std::vector<int> ids;
        for (QAction* action : menu->actions()) {
            ids.push_back(action->isSeparator() ? 0 : action->data().toInt());
            EXPECT_NE(action->isSeparator(), !action->text().isEmpty()) << c.menu << " " << ids.back();
        }
        EXPECT_EQ(ids, c.ids) << c.kind << " " << c.selectTool;
    }
    const std::unique_ptr<QMenu> memo(AnnotationMenu(nullptr, kAnnotPatchMemo, true));
    QStringList texts;
    for (QAction* action : memo->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(texts.join('|'), "&Edit|Cu&t|&Copy|-|Bring to &front|Send to &back|-|&Property...");

    // With the mouse on an annotation its menu opens: the select tool keeps it selected, another
    // tool remembers it and selects it only while the menu is open. From the keyboard, and off the
    // annotations, the view's own menu opens.
    auto frame = StartEditing();
    ASSERT_TRUE(frame);
    CTqlVwTLPageView& view = *frame->PageView();
    AddItem(view, kAnnotStamp, {0, 400, 1728, 600});
    AddItem(view, kAnnotPaintRectangle, {0, 0, 800, 200});
    const int onRectangle = static_cast<int>(100 * view.ZoomScale());
    const int onStamp = static_cast<int>(500 * view.ZoomScale());
    const int offAll = static_cast<int>(300 * view.ZoomScale());
    const struct {
        QContextMenuEvent::Reason reason;
        int tool, y;
        const char* menu;
        int selected, remembered;
    } clicks[] = {
        {QContextMenuEvent::Mouse, kToolSelect, onRectangle, "menu156", 1, -1},
        {QContextMenuEvent::Mouse, kToolSelect, onStamp, "menu156", 0, -1},
        {QContextMenuEvent::Mouse, kAnnotMarker, onStamp, "menu159", -1, 0},
        {QContextMenuEvent::Mouse, kAnnotMarker, offAll, "menu132", -1, -1},
        {QContextMenuEvent::Keyboard, kToolSelect, onRectangle, "menu132", -1, -1},
    };
    for (const auto& c : clicks) {
        view.Layer().Select(-1);
        view.PageState().SetRemembered(-1);
        view.PageState().SetTool(c.tool);
        QString shown;
        CatchNextPopup(shown);
        const QPoint at(20, c.y);
        QContextMenuEvent event(c.reason, at, view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(c.reason == QContextMenuEvent::Mouse ? view.viewport() : static_cast<QWidget*>(&view),
                                &event);
        EXPECT_EQ(shown.toStdString(), c.menu) << c.tool << " " << c.y;
        EXPECT_EQ(view.PageState().GetSelected(), c.selected) << c.tool << " " << c.y;
        EXPECT_EQ(view.PageState().GetRemembered(), c.remembered) << c.tool << " " << c.y;
    }
}

TEST_F(AnnotationViewTest, ToolDefaultsOpenTheToolsDialogUnderItsCaptionAndOnlyOkKeepsThem)
{
    auto frame = StartEditing();
    ASSERT_TRUE(frame);
    const struct {
        int tool;
        const char* caption;
    } cases[] = {
        {32803, "Freehand Properties"},   {32804, "Marker Properties"},
        {32805, "Line Properties"},       {32806, "Rectangle Properties"},
        {32807, "Paint Rectangle Properties"}, {32808, "Text Properties"},
        {32809, "Patch Memo Properties"}, {32810, "Copy text from file Properties"},
        {32811, "Stamp Properties"},
    };
    const CAnnotationDefaults& defaults = frame->AppValues().annotationDefaults;
    for (const auto& c : cases) {
        frame->OnCommand(c.tool);
        QString title;
        AnswerNextDialog([&](QWidget* dialog) {
            title = dialog->windowTitle();
            static_cast<QDialog*>(dialog)->reject();
        });
        frame->OnCommand(59398);
        EXPECT_EQ(title.toStdString(), c.caption) << c.tool;
    }
    EXPECT_EQ(std::tie(defaults.freehandWidth, defaults.lineWidth, defaults.rectangleWidth, defaults.stampCount),
              std::make_tuple(0, 0, 0, 0));
    EXPECT_EQ(defaults.textFont, gdi::LOGFONTA{});

    // OK: the rectangle's width one up from the least.
    frame->OnCommand(32806);
    AnswerNextDialog([&](QWidget* dialog) {
        emit dialog->findChild<CSpinButtons*>(ControlName(IDC_LINE_SPIN))->Delta(-1);
        static_cast<QDialog*>(dialog)->accept();
    });
    frame->OnCommand(59398);
    EXPECT_EQ(defaults.rectangleWidth, 2);
    EXPECT_EQ(defaults.lineWidth, 0);
}

TEST_F(AnnotationViewTest, PrintingBurnsAnnotationsIntoACopyAndLeavesThePageAsItWas)
{
    auto frame = StartEditing();
    ASSERT_TRUE(frame);
    CTqlVwTLPageView& view = *frame->PageView();
    AddItem(view, kAnnotPaintRectangle, {100, 100, 900, 600});
    const QImage page = frame->Document().Pages()[0]->Bitmap().copy();
    QImage burnt = page.copy();
    BurnInAnnotations(burnt, view.Layer().Items(), 0, view.ScreenDpi());

    // A printable area of half the page's size at 100 dpi.
    const auto printed = [](const std::function<void(QPainter&)>& print) {
        QImage sheet(864, 600, QImage::Format_RGB32);
        sheet.fill(Qt::white);
        QPainter painter(&sheet);
        print(painter);
        painter.end();
        return sheet;
    };
    const gdi::RECT target = FitToPrinter(864, 600, 1728, 1100, {0, 0, 1728, 1100});
    const auto sheetOf = [&](const QImage& bitmap) {
        return printed([&](QPainter& p) {
            BandedPrint(p, target.left, target.top, target.right - target.left, target.bottom - target.top, bitmap,
                        100);
        });
    };
    const QImage withAnnotations = sheetOf(burnt), without = sheetOf(page);
    ASSERT_NE(withAnnotations, without);
    const struct {
        int editing, hidden;
        bool burns;
    } cases[] = {{1, 0, true}, {1, 1, false}, {0, 0, false}};
    for (const auto& c : cases) {
        view.PageState().SetEditingAllowed(c.editing);
        view.PageState().SetHideAnnotations(c.hidden);
        const QImage sheet = printed([&](QPainter& p) { view.PrintPage(p, 0, 864, 600, 100); });
        EXPECT_TRUE(sheet == (c.burns ? withAnnotations : without)) << c.editing << c.hidden;
        EXPECT_EQ(frame->Document().Pages()[0]->Bitmap(), page) << c.editing << c.hidden;
    }
}

// The annotation tools' cursors are pictures of the program's resources, each its own, with the hot
// spot at the pencil's point or the cross; the hand, move and size cursors are Qt's shapes.
TEST(PageViewCursors, ToolPicturesComeFromTheResourcesAndTheRestAreQtShapes)
{
    const struct {
        int id;
        Qt::CursorShape shape;
        QPoint hot;
    } cases[] = {
        {140, Qt::OpenHandCursor, {}},  {169, Qt::SizeAllCursor, {}},   {170, Qt::SizeVerCursor, {}},
        {171, Qt::SizeBDiagCursor, {}}, {172, Qt::SizeFDiagCursor, {}}, {173, Qt::SizeHorCursor, {}},
        {141, Qt::BitmapCursor, {1, 1}}, {142, Qt::BitmapCursor, {8, 8}}, {143, Qt::BitmapCursor, {8, 8}},
        {144, Qt::BitmapCursor, {8, 8}}, {145, Qt::BitmapCursor, {8, 8}}, {146, Qt::BitmapCursor, {8, 8}},
        {147, Qt::BitmapCursor, {8, 8}}, {148, Qt::BitmapCursor, {8, 8}}, {149, Qt::BitmapCursor, {8, 8}},
        {174, Qt::BitmapCursor, {8, 8}}, {175, Qt::BitmapCursor, {8, 8}}, {176, Qt::BitmapCursor, {8, 8}},
        {150, Qt::ArrowCursor, {}},     {0, Qt::ArrowCursor, {}},
    };
    std::vector<QImage> pictures;
    for (const auto& c : cases) {
        const QCursor cursor = viewer::ViewCursor(c.id);
        EXPECT_EQ(cursor.shape(), c.shape) << c.id;
        if (c.shape != Qt::BitmapCursor)
            continue;
        EXPECT_EQ(cursor.hotSpot(), c.hot) << c.id;
        const QImage picture = cursor.pixmap().toImage();
        EXPECT_EQ(picture.size(), QSize(32, 32)) << c.id;
        EXPECT_TRUE(picture.hasAlphaChannel()) << c.id;
        EXPECT_EQ(std::count(pictures.begin(), pictures.end(), picture), 0) << c.id << " repeats another picture";
        pictures.push_back(picture);
    }
}

// ---- the program as a process ----

namespace fs = std::filesystem;

// The private folders of viewers in folder, "qelta-viewer-<pid>-XXXXXX".
std::vector<std::string> PrivateFolders(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind("qelta-viewer-", 0) == 0)
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A viewer process showing a file, its temporary files under a folder of the test's own.
class ViewerProcess {
public:
    ViewerProcess(const std::string& temporaries, const std::string& file)
    {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("TMPDIR", temporaries.c_str(), 1);
        m_started = platform::startProgram(qelta::test::helperProgram("pageviewer"), {file});
        ::unsetenv("TMPDIR");
        const std::string mine = "qelta-viewer-" + std::to_string(Pid()) + "-";
        WaitFor([&] {
            for (const std::string& name : PrivateFolders(temporaries))
                if (name.rfind(mine, 0) == 0)
                    m_folder = fs::path(temporaries) / name;
            return !m_folder.empty();
        });
    }
    ~ViewerProcess()
    {
        if (m_started && !m_ended) {
            ::kill(m_started->pid, SIGKILL);
            platform::waitProgram(*m_started);
        }
    }
    int Pid() const { return m_started ? m_started->pid : -1; }
    const fs::path& Folder() const { return m_folder; }
    /// The exit code once it ended (at most 10 s), nothing while it still runs.
    std::optional<int> WaitForEnd()
    {
        std::optional<int> code;
        WaitFor([&] {
            int status = 0;
            if (::waitpid(m_started->pid, &status, WNOHANG) != m_started->pid)
                return false;
            code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        });
        m_ended = code.has_value();
        return code;
    }

private:
    static void WaitFor(const std::function<bool()>& done)
    {
        for (int i = 0; i < 1000 && !done(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::optional<platform::StartedProgram> m_started;
    fs::path m_folder;
    bool m_ended = false;
};

TEST_F(PageViewerTest, TheStopSignalsTakeThePrivateFolderAndTheNextStartSweepsAKilledOnes)
{
    const std::string temporaries = path("tmp");
    fs::create_directory(temporaries);
    const std::string file = writeTiff(path("shown.tif"), 2);
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        ViewerProcess viewer(temporaries, file);
        ASSERT_FALSE(viewer.Folder().empty());
        ::kill(viewer.Pid(), signal);
        EXPECT_EQ(viewer.WaitForEnd(), 0);
        EXPECT_FALSE(fs::exists(viewer.Folder()));
    }
    {
        // Stopped while the start shows the library's message about a file it cannot read.
        const std::string broken = path("broken.tif");
        qelta::test::writeTextFile(broken, std::string("II*\0garbage", 11));
        ViewerProcess viewer(temporaries, broken);
        ASSERT_FALSE(viewer.Folder().empty());
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the box is up
        ::kill(viewer.Pid(), SIGTERM);
        EXPECT_EQ(viewer.WaitForEnd(), 0);
        EXPECT_FALSE(fs::exists(viewer.Folder()));
    }
    // A killed viewer leaves its folder; a killed save its file beside the document.
    ViewerProcess killed(temporaries, file);
    ASSERT_FALSE(killed.Folder().empty());
    ::kill(killed.Pid(), SIGKILL);
    EXPECT_EQ(killed.WaitForEnd(), 128 + SIGKILL);
    ASSERT_TRUE(fs::exists(killed.Folder()));
    const std::string halfSaved = path(".shown.tif.tmp-Ab12Cd");
    qelta::test::writeTextFile(halfSaved, "half a page");
    const std::string unrelated = path(".other.tif.tmp-Ab12Cd");
    qelta::test::writeTextFile(unrelated, "another file's");

    ViewerProcess next(temporaries, file);
    ASSERT_FALSE(next.Folder().empty());
    EXPECT_EQ(PrivateFolders(temporaries), std::vector<std::string>{next.Folder().filename().string()});
    EXPECT_FALSE(fs::exists(halfSaved));
    EXPECT_TRUE(fs::exists(unrelated));
    EXPECT_EQ(bytesOf(file).size(), fs::file_size(file)) << "the document itself is left alone";
    ::kill(next.Pid(), SIGTERM);
    EXPECT_EQ(next.WaitForEnd(), 0);
    EXPECT_TRUE(PrivateFolders(temporaries).empty());
}

} // namespace
} // namespace viewer_test
