// The real sheet offscreen as a keyboard and a mouse meet it: where the focus starts and where Tab
// takes it on every page, Return and Delete on the destination page, Next with an entry still
// typed, the two page displays (the whole page on entry, scrolling at 100 %), and one sheet size
// for every page.
#include "common/registry_helper.h"
#include "sendwizard/app/main_sheet.h"
#include "sendwizard/app/page_display.h"
#include "sendwizard/app/pages.h"
#include "sendwizard/tests/wizard_test_support.h"
#include "sendwizard/wizard_strings.h"
#include "uiwidgets/tests/support/layout_order.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QTreeWidget>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

namespace {

using wizard_test::ScriptedPrompter;

template <typename W = QWidget>
W* Control(QWidget& root, int nId)
{
    auto* control = root.findChild<W*>(QStringLiteral("id%1").arg(nId));
    EXPECT_TRUE(control) << nId;
    return control;
}

// The job, a cover folder with one cover, and a sheet that goes through every page.
class SheetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string covers = job.root.path() + "/covers/";
        qelta::test::writeTextFile(covers + "Sales.TQC",
                                   "[TQLCVR]\r\nFrames=1\r\nLang=0\r\n"
                                   "Frame.1=NAME,100,100,1200,160,DejaVu Sans,120,700,0,0,0,0,\r\n");
        CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix).WriteString(kProductSubkey, "CvrFile", covers);
        ASSERT_TRUE(logic.SetCommandLineValues(job.work, "A4", "MMR", "Fax", "Report", prompter));
        logic.m_strPortName = "socket://127.0.0.1";
    }
    void TearDown() override { logic.DropDocuments(); }

    // The sheet on its first page with the skip box clear, so Next visits every page.
    std::unique_ptr<CPSMainui> Show(int nModelType)
    {
        logic.m_nModelType = nModelType;
        auto wizard = std::make_unique<CPSMainui>(logic, prompter, HelpOpener{}, nullptr, &progress);
        wizard->show();
        QApplication::setActiveWindow(wizard.get());
        QCoreApplication::processEvents();
        return wizard;
    }

    wizard_test::JobEnvironment job;
    ScriptedPrompter prompter;
    wizard_test::RecordingProgress progress;
    CPSMainuiLogic logic;
};

// The pages in the sheet's order.
constexpr int kPageOrder[] = {IDD_SELECT_DESTINATION, IDD_SELECT_COVER, IDD_SET_PARAMS, IDD_PREVIEW, IDD_READY_TO_SEND};

// Goes to page id: a destination typed on the first page, the skip box cleared.
void GoTo(CPSMainui& wizard, int id)
{
    const auto index = [](int page) { return std::find(std::begin(kPageOrder), std::end(kPageOrder), page) - kPageOrder; };
    if (index(id) < index(wizard.currentId()) && id != IDD_READY_TO_SEND) {
        wizard.setStartId(IDD_SELECT_DESTINATION);
        wizard.restart();
    }
    if (wizard.currentId() == IDD_SELECT_DESTINATION) {
        if (Control<QTreeWidget>(wizard, 1018)->topLevelItemCount() == 0)
            Control<QLineEdit>(wizard, 1008)->setText("0123");
        Control<QCheckBox>(wizard, 1117)->setChecked(false);
    }
    if (id == IDD_READY_TO_SEND) { // in the sheet's order, though no button leads there
        wizard.setStartId(IDD_READY_TO_SEND);
        wizard.restart();
    }
    for (int step = 0; step < 5 && wizard.currentId() != id; ++step)
        wizard.next();
    QCoreApplication::processEvents();
}

TEST_F(SheetTest, TabFollowsTheLayoutOnEveryPageAndTypingStartsInTheNumber)
{
    for (int model : {0, 3}) {
        SCOPED_TRACE(model);
        const auto wizard = Show(model);
        EXPECT_EQ(wizard->focusWidget(), Control(*wizard, 1008)) << "typed digits go into FAX Number";
        QTest::keyClicks(wizard->focusWidget(), "0123");
        EXPECT_EQ(Control<QLineEdit>(*wizard, 1008)->text(), "0123");
        for (int page : kPageOrder) {
            SCOPED_TRACE(page);
            GoTo(*wizard, page);
            ASSERT_EQ(wizard->currentId(), page);
            if (page == IDD_SELECT_COVER)
                Control<QAbstractButton>(*wizard->currentPage(), 1034)->click(); // every control shown
            EXPECT_TRUE(qelta::test::TabOrderFollowsLayout(wizard->currentPage()));
        }
    }
}

TEST_F(SheetTest, ReturnAddsDeleteDeletesAndNextTakesWhatIsStillTyped)
{
    const std::string refusedSub = WizardString(3102), badNumber = WizardString(3101), deleteOne = WizardString(320);
    const struct {
        const char* name;
        int model, listed;
        std::function<void(CPSMainui&)> act;
        std::vector<std::string> messages;
        std::vector<int> answers;
        size_t destinations;
        int focus;     // the control with the focus afterwards (0: not checked)
        int page;      // the page afterwards
    } cases[] = {
        {"Return in FAX Number adds", 0, 0,
         [](CPSMainui& w) {
             QTest::keyClicks(Control(w, 1008), "0123");
             QTest::keyClick(Control(w, 1008), Qt::Key_Return);
         },
         {}, {}, 1, 1008, IDD_SELECT_DESTINATION},
        {"Return in PASS-Code adds the F-code entry", 0, 0,
         [](CPSMainui& w) {
             Control<QAbstractButton>(w, 1013)->click();
             QTest::keyClicks(Control(w, 1008), "555");
             QTest::keyClicks(Control(w, 1010), "12");
             QTest::keyClicks(Control(w, 1012), "34");
             QTest::keyClick(Control(w, 1012), Qt::Key_Enter);
         },
         {}, {}, 1, 1008, IDD_SELECT_DESTINATION},
        {"a refused sub-address takes the focus to it", 0, 0,
         [](CPSMainui& w) {
             Control<QAbstractButton>(w, 1013)->click();
             QTest::keyClicks(Control(w, 1008), "555");
             QTest::keyClicks(Control(w, 1010), "1a");
             QTest::keyClick(Control(w, 1008), Qt::Key_Return);
         },
         {refusedSub}, {}, 0, 1010, IDD_SELECT_DESTINATION},
        {"Return in I-FAX Address adds", 3, 0,
         [](CPSMainui& w) {
             Control<QAbstractButton>(w, 1062)->click();
             QTest::keyClicks(Control(w, 1021), "a@b");
             QTest::keyClick(Control(w, 1021), Qt::Key_Return);
         },
         {}, {}, 1, 1021, IDD_SELECT_DESTINATION},
        {"Delete in the list deletes after the question", 0, 2,
         [](CPSMainui& w) {
             auto* list = Control<QTreeWidget>(w, 1018);
             list->topLevelItem(1)->setSelected(true);
             QTest::keyClick(list, Qt::Key_Delete);
         },
         {deleteOne}, {IDYES}, 1, 0, IDD_SELECT_DESTINATION},
        {"Delete answered No keeps the rows", 0, 2,
         [](CPSMainui& w) {
             auto* list = Control<QTreeWidget>(w, 1018);
             list->topLevelItem(0)->setSelected(true);
             QTest::keyClick(list, Qt::Key_Delete);
         },
         {deleteOne}, {IDNO}, 2, 0, IDD_SELECT_DESTINATION},
        {"a column click sorts, shows the arrow and keeps the selection", 0, 2,
         [](CPSMainui& w) {
             auto* list = Control<QTreeWidget>(w, 1018);
             list->topLevelItem(0)->setSelected(true); // "0123 450"
             list->header()->sectionClicked(0);         // the first click on FAX Number: ascending
             list->header()->sectionClicked(0);         // then descending
             EXPECT_TRUE(list->header()->isSortIndicatorShown());
             EXPECT_EQ(list->header()->sortIndicatorOrder(), Qt::DescendingOrder);
             EXPECT_EQ(list->topLevelItem(0)->text(0), "0123 451");
             ASSERT_EQ(list->selectedItems().size(), 1);
             EXPECT_EQ(list->selectedItems()[0]->text(0), "0123 450");
         },
         {}, {}, 2, 0, IDD_SELECT_DESTINATION},
        {"Next adds a typed number to the listed ones", 0, 2,
         [](CPSMainui& w) {
             QTest::keyClicks(Control(w, 1008), "999");
             w.next();
         },
         {}, {}, 3, 0, IDD_PREVIEW},
        {"Next with a refused number keeps the page", 0, 2,
         [](CPSMainui& w) {
             QTest::keyClicks(Control(w, 1008), "9x9");
             w.next();
         },
         {badNumber}, {}, 2, 1008, IDD_SELECT_DESTINATION},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        logic.m_Destinations.clear();
        for (int i = 0; i < c.listed; ++i)
            logic.AddDestination({"0123 45" + std::to_string(i), "", kDestinationFax, 0, "", "", 0});
        const auto wizard = Show(c.model);
        prompter.expected = c.messages;
        prompter.answers = c.answers;
        c.act(*wizard);
        QCoreApplication::processEvents();
        EXPECT_TRUE(prompter.expected.empty());
        EXPECT_EQ(logic.m_Destinations.size(), c.destinations);
        EXPECT_EQ(wizard->currentId(), c.page);
        if (c.page == IDD_SELECT_DESTINATION) {
            EXPECT_EQ(Control<QTreeWidget>(*wizard, 1018)->topLevelItemCount(), static_cast<int>(c.destinations));
        }
        if (c.focus) {
            EXPECT_EQ(wizard->focusWidget(), Control(*wizard, c.focus));
        }
        prompter.expected.clear();
        prompter.answers.clear();
    }
}

// Where a display stands: the zoom, and how far its scroll bars reach.
struct View {
    double zoom;
    int hMax, vMax;
};
View ViewOf(const CIkDisp& display)
{
    return {display.GetZoom(), display.horizontalScrollBar()->maximum(), display.verticalScrollBar()->maximum()};
}

void Wheel(CIkDisp& display)
{
    const QPointF at(20, 20);
    QWheelEvent wheel(at, display.viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(display.viewport(), &wheel);
}

TEST_F(SheetTest, BothDisplaysShowTheWholePageFirstAndScrollAtAHundredPercent)
{
    const struct {
        int page, display, percent;
        std::function<void(QWidget&)> hundred; // takes the display to 100 %
    } cases[] = {
        {IDD_SELECT_COVER, 1093, 1050,
         [](QWidget& page) { Control<QSlider>(page, 1049)->setValue(100); }},
        {IDD_PREVIEW, 1039, 1050, [](QWidget& page) { Control<QAbstractButton>(page, 1048)->click(); }},
    };
    const auto wizard = Show(0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        GoTo(*wizard, c.page);
        QWidget& page = *wizard->currentPage();
        auto* display = Control<CIkDisp>(page, c.display);
        if (c.page == IDD_SELECT_COVER)
            Control<QAbstractButton>(page, 1034)->click();
        QCoreApplication::processEvents();
        ASSERT_FALSE(display->Image().isNull());
        const View whole = ViewOf(*display);
        EXPECT_LT(whole.zoom, 1.0);
        EXPECT_EQ(whole.hMax, 0) << "the whole page is in view";
        EXPECT_EQ(whole.vMax, 0);
        const QString shown = QString::number(std::lround(whole.zoom * 100)) + " %";
        EXPECT_EQ(Control<QWidget>(page, c.percent)->property("text").toString(), shown) << "the zoom the page is shown at";
        if (c.page == IDD_PREVIEW) {
            // Fit to Area fills the view and scrolls along the page: not the same as Scale.
            Control<QAbstractButton>(page, 1047)->click();
            const View filled = ViewOf(*display);
            EXPECT_GT(filled.zoom, whole.zoom);
            EXPECT_GT(filled.vMax, 0);
            EXPECT_EQ(filled.hMax, 0);
        }

        c.hundred(page);
        QCoreApplication::processEvents();
        const View actual = ViewOf(*display);
        EXPECT_DOUBLE_EQ(actual.zoom, 1.0);
        ASSERT_GT(actual.hMax, 0) << "the page is wider than the view";
        ASSERT_GT(actual.vMax, 0);
        EXPECT_EQ(display->ScrollPosition(), QPoint(0, 0));
        Wheel(*display);
        EXPECT_GT(display->ScrollPosition().y(), 0) << "the wheel scrolls";
        const QPoint before = display->ScrollPosition();
        QTest::mousePress(display->viewport(), Qt::LeftButton, {}, QPoint(60, 60));
        QTest::mouseMove(display->viewport(), QPoint(30, 40));
        QTest::mouseRelease(display->viewport(), Qt::LeftButton, {}, QPoint(30, 40));
        EXPECT_EQ(display->ScrollPosition(), before + QPoint(30, 20)) << "dragging moves the page";
    }
}

TEST_F(SheetTest, OneSheetSizeForEveryPageAndNoFieldBelowItsText)
{
    logic.AddDestination({"0123 456", "Ann Example", kDestinationFax, 0, "", "", 0});
    const auto wizard = Show(3);
    const QSize first = wizard->size();
    std::map<int, QSize> sizes;
    for (int page : kPageOrder) {
        GoTo(*wizard, page);
        sizes[page] = wizard->size();
        EXPECT_EQ(sizes[page], first) << page;
    }
    // At the smallest size the sheet allows, on every page: the side picture reaches the buttons'
    // row, no entry field shrinks below its text, and no text is cut.
    wizard->resize(wizard->minimumSizeHint());
    for (int page : kPageOrder) {
        SCOPED_TRACE(page);
        GoTo(*wizard, page);
        QWidget* current = wizard->currentPage();
        QWidget* side = wizard->findChild<QWidget*>("watermark");
        ASSERT_TRUE(side);
        // The picture reaches from the header down to the page's bottom.
        const QRect picture(side->mapTo(wizard.get(), QPoint(0, 0)), side->size());
        const QRect shown(current->mapTo(wizard.get(), QPoint(0, 0)), current->size());
        EXPECT_GE(picture.bottom(), shown.bottom()) << "no gap under the side picture";
        for (QLineEdit* edit : current->findChildren<QLineEdit*>()) {
            if (!edit->isVisibleTo(current) || qobject_cast<QAbstractSpinBox*>(edit->parentWidget()))
                continue;
            EXPECT_GE(edit->width(), edit->fontMetrics().horizontalAdvance(QStringLiteral("0000000"))) << qelta::test::Describe(edit);
        }
        for (QAbstractButton* button : current->findChildren<QAbstractButton*>()) {
            if (button->isVisibleTo(current) && !button->text().isEmpty()) {
                EXPECT_GE(button->width(), button->minimumSizeHint().width()) << qelta::test::Describe(button);
            }
        }
        for (QLabel* label : current->findChildren<QLabel*>()) {
            if (label->isVisibleTo(current) && !label->wordWrap() && label->pixmap().isNull()) {
                EXPECT_GE(label->width(), label->minimumSizeHint().width()) << label->text().toStdString();
            }
        }
    }
}

} // namespace
