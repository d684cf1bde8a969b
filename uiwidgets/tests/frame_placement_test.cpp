#include "uiwidgets/frame_placement.h"
#include "uiwidgets/view_helpers.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

TEST(FramePlacement, TheWholeFrameStaysOnTheAreaAndAFittingSizeStays)
{
    const QRect area(0, 30, 1280, 994); // a panel above
    const QMargins frame(4, 24, 4, 4);
    const struct {
        const char* name;
        QRect client, expected;
    } cases[] = {
        {"at the corner: the title bar comes down below the panel", {0, 0, 639, 399}, {4, 54, 639, 399}},
        {"inside: stays", {100, 200, 400, 300}, {100, 200, 400, 300}},
        {"past the right and bottom: pulled back whole", {1000, 900, 400, 300}, {876, 720, 400, 300}},
        {"far off to the left and above", {-5000, -5000, 400, 300}, {4, 54, 400, 300}},
        {"larger than the area: shrunk to it", {0, 0, 3000, 2000}, {4, 54, 1272, 966}},
        {"exactly the area's room", {4, 54, 1272, 966}, {4, 54, 1272, 966}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitFrameToArea(c.client, frame, area), c.expected) << c.name;
    EXPECT_EQ(FitFrameToArea({0, 0, 10, 10}, frame, {}), QRect(0, 0, 10, 10)) << "no area known: as asked";
}

// A frame asked for at the screen's corner shows whole, decorations included, with its size.
TEST(FramePlacement, AFramePlacedAtTheCornerShowsWhole)
{
    QMainWindow window;
    PlaceFrameOnScreen(&window, {0, 0, 639, 399});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    const QRect area = window.screen()->availableGeometry();
    EXPECT_TRUE(area.contains(window.frameGeometry())) << "frame within the available area";
    EXPECT_GT(window.frameGeometry().top(), window.geometry().top() - 40);
    EXPECT_EQ(window.size(), QSize(639, 399));
}

// Columns and dialogs fit their texts: a list with room to spare widens the column whose values its
// width cuts, and a dialog is wide enough for the title bar to show its whole title.
TEST(FitToTexts, ColumnsTakeTheRoomTheyNeedAndTitlesShowWhole)
{
    QTreeWidget list;
    list.setHeaderLabels({QStringLiteral("Name"), QStringLiteral("FAX Number")});
    FitColumnsToView(&list, {100, 40});
    list.resize(400, 200);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    list.addTopLevelItem(new QTreeWidgetItem({QStringLiteral("Anna Berg"), QStringLiteral("0301234567890123")}));
    QCoreApplication::processEvents();
    EXPECT_EQ(list.columnWidth(0), 100) << "a column its values fit keeps its width";
    EXPECT_GE(list.columnWidth(1), list.sizeHintForIndex(list.model()->index(0, 1)).width()) << "the number is not cut";
    EXPECT_LE(list.columnWidth(0) + list.columnWidth(1), list.viewport()->width());

    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("About Qelta Driver for the fax suite..."));
    KeepTitleWhole(&dialog);
    QFont bold = QApplication::font();
    bold.setBold(true);
    EXPECT_GT(dialog.minimumWidth(), QFontMetrics(bold).horizontalAdvance(dialog.windowTitle()) + 60);
}
