// The viewer program offscreen: the frame over the command line, the views, the keys, the menus.
#include "viewer/app/main_frame.h"
#include "viewer/app/page_view.h"
#include "viewer/tests/viewer_test_support.h"

#include "common/program_start.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/tests/support/layout_order.h"

#include <QLabel>
#include <QMenuBar>
#include <QScrollBar>
#include <QSplitter>
#include <QPrinter>
#include <QTest>
#include <QTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QToolBar>
#include <algorithm>
#include <vector>

#include <fstream>

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
    QStringList names;
    for (QAction* top : frame->menuBar()->actions()) {
        names << top->text();
        for (QAction* item : top->menu()->actions()) {
            names << (item->isSeparator() ? QStringLiteral("-") : item->text().section('\t', 0, 0));
            if (item->menu())
                for (QAction* sub : item->menu()->actions())
                    names << ">" + sub->text().section('\t', 0, 0);
        }
    }
    EXPECT_EQ(names.join('|').toStdString(),
              "&File|P&roperties...|-|Quitting the Qelta Viewer|&View|Size ad&justment|&Zoom|>En&large|"
              ">Restore &default|>R&educe|&Rotate|>Rotate 90 to &left|>Rotate 90 to &right|>Rotate &180|&Image|"
              ">White/black &invert|>&Grayscale display|-|Display entire p&age|Reduced disp&lay|"
              "&Page and reduced display|-|&Toolbar|&Status bar|&Page|&Next page|P&revious page|&First page|"
              "&Last page|Pa&ge jump...|&Tool|&Settings...|&Help|Table of &contents|-|Version inform&ation...");
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
}

TEST_F(PageViewerTest, ClosingStoresTheWindowAndTheViewSettings)
{
    {
        auto frame = StartPageViewer({}, prompter, settings, 1920); // at the first run's 400 x 300
        ASSERT_TRUE(frame);
        frame->showMaximized();
        frame->close();
    }
    EXPECT_EQ(settings.windowZoom, 1);
    EXPECT_EQ(std::tie(settings.windowLeft, settings.windowTop, settings.windowRight, settings.windowBottom),
              std::make_tuple(0, 0, 400, 300));
    EXPECT_EQ(std::tie(settings.viewScale, settings.viewJustify), std::make_tuple(4, 1));
    WriteViewerSettingsAtExit(settings);
    EXPECT_EQ(ReadViewerSettings(1920).windowZoom, 1);
    EXPECT_TRUE(ReadBarState().has_value());
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

} // namespace
} // namespace viewer_test
