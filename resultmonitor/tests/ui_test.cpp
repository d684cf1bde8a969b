// The monitor's windows offscreen: the pop-up where each corner puts it, its slide ticked by the
// test and by its own timers, a click and the mouse over it; the settings sheet's pages, what Apply
// and OK store and its help; the frame's menu while the sheet is open; and screenshots of the
// pop-ups and both pages.
#include "common/prompter.h"
#include "common/registry_helper.h"
#include "common/resource_locale.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/tests/support/test_support.h"
#include "resultmonitor/app/result_frame.h"
#include "resultmonitor/app/settings_sheet.h"
#include "resultmonitor/result_texts.h"
#include "uiwidgets/control_name.h"
#include "uiwidgets/tests/support/layout_order.h"
#include "uiwidgets/view_helpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

struct NoPrompts : IPrompter {
    int MessageBox(const std::string& text, const std::string&, unsigned) override
    {
        ADD_FAILURE() << "unexpected message box: " << text;
        return IDOK;
    }
};

struct FakeListener : IJobResultListener {
    int Start(const std::string&, int& nPort, JobResultCallback, void*) override
    {
        nPort = 40123;
        return 0;
    }
    void Stop() override {}
};

struct RecordingSound : ISoundSink {
    void PlayWave(uint32_t nWaveId) override { waves.push_back(nWaveId); }
    std::vector<uint32_t> waves;
};

template <typename Done>
bool WaitFor(Done done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

QRect AsQRect(const CPopupRect& r) { return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

std::string Text(const char* s) { return s; }

TEST(PopupWindow, IsAFramelessTopmostToolWindowThatTakesNoFocus)
{
    CResultPopup popup(1033);
    EXPECT_EQ(popup.windowTitle(), "QELTA-RTNAPP_POPUP");
    const Qt::WindowFlags flags = popup.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::Tool) && flags.testFlag(Qt::FramelessWindowHint)
                && flags.testFlag(Qt::WindowStaysOnTopHint) && flags.testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(popup.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(popup.font().pointSize(), 8);
    EXPECT_EQ(popup.font().family(), QApplication::font().family());
    EXPECT_EQ(CResultPopup(1041).font().pointSize(), 9) << "a point larger for Japanese";
}

TEST(PopupWindow, EachCornerPlacesItInThePrimaryScreensAvailableArea)
{
    CResultPopup popup(1033);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(AsQRect(popup.AvailableArea()), area);
    const struct {
        int position;
        QPoint topLeft;
    } cases[] = {
        {0, {area.left() + 16, area.top() + 16}},
        {1, {area.right() + 1 - 476, area.top() + 16}},
        {2, {area.left() + 16, area.bottom() + 1 - 136}},
        {3, {area.right() + 1 - 476, area.bottom() + 1 - 136}},
        {7, {area.right() + 1 - 476, area.bottom() + 1 - 136}}, // outside 0-3: as 3
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.position);
        popup.ShowPopup(c.position, IDI_RESULT_FAILED, "FAX Transmit : BUSY", 0, 5000);
        EXPECT_TRUE(popup.isVisible());
        EXPECT_EQ(popup.geometry(), QRect(c.topLeft, QSize(460, 120)));
        EXPECT_FALSE(popup.IsTimerRunning(kSlideTimerId) || popup.IsTimerRunning(kDisplayTimerId))
            << "without animation it stays until clicked";
    }
}

TEST(PopupWindow, SlidesInStaysAndSlidesOutTickByTickAndOnItsOwnTimers)
{
    CResultPopup popup(1033);
    const QRect final = AsQRect(PopupFinalRect(2, popup.AvailableArea()));
    popup.ShowPopup(2, IDI_RESULT_FINISHED, "done", 1, 60000);
    EXPECT_EQ(popup.pos(), final.topLeft() + QPoint(0, 120)) << "a bottom corner starts below its place";
    EXPECT_TRUE(popup.IsTimerRunning(kSlideTimerId));
    for (int i = 0; i < kSlideSteps; ++i)
        popup.Tick(kSlideTimerId);
    EXPECT_EQ(popup.pos(), final.topLeft());
    popup.Tick(kSlideTimerId);
    EXPECT_FALSE(popup.IsTimerRunning(kSlideTimerId));
    EXPECT_TRUE(popup.IsTimerRunning(kDisplayTimerId));
    popup.Tick(kDisplayTimerId);
    for (int i = 0; i < 10; ++i)
        popup.Tick(kSlideTimerId);
    EXPECT_EQ(popup.pos(), final.topLeft() + QPoint(0, 30));
    EXPECT_TRUE(popup.isVisible());
    popup.Tick(kSlideTimerId);
    EXPECT_FALSE(popup.isVisible()) << "gone after ten ticks out";

    // The same on the window's own timers: 40 ticks of 15 ms in, 50 ms shown, 10 ticks out.
    popup.ShowPopup(0, IDI_RESULT_FINISHED, "done", 1, 50);
    EXPECT_TRUE(WaitFor([&] { return !popup.isVisible(); }, 10000));
    EXPECT_FALSE(popup.IsTimerRunning(kSlideTimerId) || popup.IsTimerRunning(kDisplayTimerId));
}

TEST(PopupWindow, AClickClosesItAndTheMouseOverItSlidesItOut)
{
    CResultPopup popup(1033);
    for (const Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
        popup.ShowPopup(3, IDI_RESULT_FAILED, "failed", 1, 60000);
        popup.Tick(kSlideTimerId);
        QTest::mouseClick(&popup, button, {}, QPoint(100, 50));
        EXPECT_FALSE(popup.isVisible()) << "a click on the sliding pop-up closes it at once";
        EXPECT_FALSE(popup.IsTimerRunning(kSlideTimerId));
    }

    popup.ShowPopup(3, IDI_RESULT_FAILED, "failed", 1, 60000);
    QTest::mouseMove(&popup, QPoint(100, 50));
    EXPECT_EQ(popup.Logic().IsSliding(), true) << "still sliding in: the mouse changes nothing";
    for (int i = 0; i <= kSlideSteps; ++i)
        popup.Tick(kSlideTimerId);
    ASSERT_TRUE(popup.IsTimerRunning(kDisplayTimerId));
    const QPoint shown = popup.pos();
    QTest::mouseMove(&popup, QPoint(120, 60));
    EXPECT_FALSE(popup.IsTimerRunning(kDisplayTimerId));
    EXPECT_TRUE(popup.IsTimerRunning(kSlideTimerId)) << "the mouse over it ends the display time";
    popup.Tick(kSlideTimerId);
    EXPECT_EQ(popup.pos(), shown + QPoint(0, 3)) << "a bottom corner slides out toward its edge";
}

class SettingsSheetTest : public ::testing::Test {
protected:
    qelta::test::ScopedStateRoot root;
    CRegistryMonitorSettings settings;
    NoPrompts prompter;
};

TEST_F(SettingsSheetTest, TheViewPageShowsItsCornerAndTheSliderRunsFromOneToTenSeconds)
{
    settings.WriteDword(kSettingViewPosition, 1);
    settings.WriteDword(kSettingDisplayTime, 3000);
    CSettingsSheet sheet(settings, prompter);
    sheet.show();
    EXPECT_EQ(sheet.windowTitle(), "Property");
    ASSERT_EQ(sheet.Tabs()->count(), 2);
    EXPECT_EQ(sheet.Tabs()->tabText(0), "View Window Setting");
    EXPECT_EQ(sheet.Tabs()->tabText(1), "Message Type Setting");
    EXPECT_EQ(sheet.Tabs()->widget(0)->objectName(), "id106");
    EXPECT_EQ(sheet.Tabs()->widget(1)->objectName(), "id107");

    auto picture = [&](int id) { return sheet.findChild<QLabel*>(ControlName(id))->pixmap().toImage(); };
    auto icon = [](uint32_t id) { return LoadResourcePicture(QELTA_RESOURCE_ICON, id).toImage(); };
    const struct {
        int control;
        uint32_t plain, selected;
    } corners[] = {{1005, 137, 142}, {1006, 138, 144}, {1007, 139, 141}, {1008, 140, 143}};
    for (const int selected : {1, 0, 2, 3}) { // the stored corner first
        if (selected != 1)
            sheet.findChild<QRadioButton*>(ControlName(1000 + selected))->click();
        EXPECT_TRUE(sheet.findChild<QRadioButton*>(ControlName(1000 + selected))->isChecked());
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(testing::Message() << "selected " << selected << ", picture " << corners[i].control);
            ASSERT_FALSE(icon(corners[i].plain).isNull());
            EXPECT_EQ(picture(corners[i].control), icon(i == selected ? corners[i].selected : corners[i].plain));
        }
    }

    auto* slider = sheet.findChild<QSlider*>("id1011");
    auto* edit = sheet.findChild<QLineEdit*>("id1012");
    EXPECT_EQ(slider->minimum(), 10);
    EXPECT_EQ(slider->maximum(), 100);
    EXPECT_EQ(slider->tickInterval(), 10);
    EXPECT_EQ(slider->value(), 30);
    EXPECT_EQ(edit->text(), "3000");
    EXPECT_TRUE(edit->isReadOnly());
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Home);
    EXPECT_EQ(edit->text(), "1000");
    QTest::keyClick(slider, Qt::Key_End);
    EXPECT_EQ(edit->text(), "10000");
    EXPECT_TRUE(qelta::test::TabOrderFollowsLayout(sheet.Tabs()->widget(0)));
}

TEST_F(SettingsSheetTest, ApplyStoresBothPagesWithAMissingCancelSettingAsItWasShown)
{
    CSettingsSheet sheet(settings, prompter);
    sheet.show();
    EXPECT_FALSE(sheet.ApplyButton()->isEnabled());

    sheet.findChild<QRadioButton*>("id1000")->click();
    sheet.findChild<QCheckBox*>("id1015")->click();
    sheet.Tabs()->setCurrentIndex(1);
    EXPECT_TRUE(sheet.findChild<QCheckBox*>("id1017")->isChecked()) << "a missing value is ticked on the page";
    EXPECT_EQ(settings.ReadDword(kSettingCancelResult, 0), 0u) << "while the handling shows no cancelled job";
    sheet.findChild<QCheckBox*>("id1016")->click();
    EXPECT_TRUE(qelta::test::TabOrderFollowsLayout(sheet.Tabs()->widget(1)));
    ASSERT_TRUE(sheet.ApplyButton()->isEnabled());
    QTest::mouseClick(sheet.ApplyButton(), Qt::LeftButton);
    EXPECT_FALSE(sheet.ApplyButton()->isEnabled());
    const struct {
        const char* name;
        uint32_t value;
    } stored[] = {{kSettingViewPosition, 0}, {kSettingEnableAnimation, 1}, {kSettingDisplayTime, 5000},
                  {kSettingSound, 0},        {kSettingSuccessResult, 1},   {kSettingErrorResult, 0},
                  {kSettingCancelResult, 1}, {kSettingNoAlertReservation, 1}};
    for (const auto& s : stored)
        EXPECT_EQ(settings.ReadDword(s.name, 77), s.value) << s.name;

    // Cancel stores nothing.
    CSettingsSheet cancelled(settings, prompter);
    cancelled.findChild<QCheckBox*>("id1018")->click();
    cancelled.reject();
    EXPECT_EQ(settings.ReadDword(kSettingSuccessResult, 77), 1u);
}

TEST_F(SettingsSheetTest, OkAndApplyStoreOnlyThePagesThatWereShown)
{
    const struct {
        const char* how;
        bool showMessagePage;
        QDialogButtonBox::StandardButton button;
    } cases[] = {
        {"OK, Message Type never shown", false, QDialogButtonBox::Ok},
        {"Apply, Message Type never shown", false, QDialogButtonBox::Apply},
        {"OK after Message Type was shown", true, QDialogButtonBox::Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        qelta::test::ScopedStateRoot fresh;
        CSettingsSheet sheet(settings, prompter);
        sheet.show();
        sheet.findChild<QRadioButton*>("id1000")->click(); // only the corner changes
        if (c.showMessagePage) {
            sheet.Tabs()->setCurrentIndex(1);
            sheet.Tabs()->setCurrentIndex(0);
        }
        sheet.findChild<QDialogButtonBox*>()->button(c.button)->click();
        EXPECT_EQ(settings.ReadDword(kSettingViewPosition, 77), 0u);
        EXPECT_EQ(settings.ReadDword(kSettingDisplayTime, 77), 5000u);
        // A page never opened stores nothing: a missing "Show Cancel Result" stays missing, so
        // cancelled jobs still do not pop up.
        for (const char* name : {kSettingCancelResult, kSettingSuccessResult, kSettingErrorResult, kSettingNoAlertReservation})
            EXPECT_EQ(settings.ReadDword(name, 77), c.showMessagePage ? 1u : 77u) << name;
    }
}

TEST_F(SettingsSheetTest, F1OpensTheMonitorsSectionOfTheShippedHelp)
{
    std::vector<std::string> opened;
    CSettingsSheet sheet(settings, prompter, [&](const std::string& address) {
        opened.push_back(address);
        return true;
    });
    sheet.show();
    QTest::keyClick(sheet.findChild<QCheckBox*>("id1015"), Qt::Key_F1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_TRUE(opened[0].ends_with("Sendwizard2.html#131216")) << opened[0];
    EXPECT_EQ(qelta::test::missingHelpAnchor(opened[0]), "");
}

class FrameTest : public ::testing::Test {
protected:
    qelta::test::ScopedStateRoot root;
    CRegistryMonitorSettings settings;
    FakeListener listener;
    RecordingSound sound;
    NoPrompts prompter;
    CResultMonitorParts Parts()
    {
        CResultMonitorParts parts;
        parts.pListener = &listener;
        parts.pSettings = &settings;
        parts.pSound = &sound;
        parts.fnCreateLog = [] { return std::unique_ptr<IResultLog>(); };
        parts.fnOwnAddress = [] { return Text("127.0.0.1"); };
        return parts;
    }
};

TEST_F(FrameTest, TheMenuShowsStatusAndItsSettingsCommandsWaitWhileTheSheetIsOpen)
{
    CResultFrame frame(nullptr, Parts(), 1033, prompter);
    frame.Start();
    EXPECT_FALSE(frame.HasTrayIcon()) << "offscreen there is no tray; the rest works";
    const struct {
        uint32_t id;
        const char* text;
    } items[] = {{32773, "&Show Status"}, {32772, "&Property"}, {32771, "&Exit"}};
    for (const auto& item : items) {
        ASSERT_TRUE(frame.Action(item.id)) << item.id;
        EXPECT_EQ(frame.Action(item.id)->text(), item.text);
    }
    EXPECT_EQ(frame.Menu()->defaultAction(), frame.Action(32773));

    frame.Action(32773)->trigger();
    EXPECT_TRUE(frame.Popup().isVisible());
    EXPECT_EQ(frame.Popup().Logic().GetText(), "[ip = 127.0.0.1]  [port = 40123]");
    EXPECT_EQ(sound.waves, std::vector<uint32_t>{143});

    frame.Action(32772)->trigger();
    ASSERT_TRUE(frame.SettingsSheet());
    emit frame.Menu()->aboutToShow();
    EXPECT_FALSE(frame.Action(32772)->isEnabled());
    EXPECT_FALSE(frame.Action(32771)->isEnabled());
    EXPECT_TRUE(frame.Action(32773)->isEnabled());
    frame.Action(32771)->trigger();
    EXPECT_FALSE(frame.IsClosed()) << "Exit waits for the sheet";

    // The sheet's choice is what the next pop-up uses once it closes.
    frame.SettingsSheet()->findChild<QRadioButton*>("id1000")->click();
    frame.SettingsSheet()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    EXPECT_TRUE(frame.Action(32772)->isEnabled());
    EXPECT_EQ(frame.Monitor().GetViewSettings().nPosition, 0);

    frame.Action(32771)->trigger();
    EXPECT_TRUE(frame.IsClosed());
    EXPECT_FALSE(frame.Monitor().IsListening());
    const CRegistryHelper rtn(HKEY_CURRENT_USER, kProductKeyPrefix);
    EXPECT_EQ(rtn.ReadDword(kRtnSubkey, kRtnRunning, 99), 0u);
}

TEST_F(FrameTest, WithoutANotificationAreaItSaysSoWorksOnAndShowsItsIconOnceOneAppears)
{
    bool bAvailable = false;
    CResultFrame frame(nullptr, Parts(), 1033, prompter);
    frame.SetTrayProbe([&] { return bAvailable; });
    testing::internal::CaptureStderr();
    frame.Start();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("no notification area"), std::string::npos) << said;
    EXPECT_FALSE(frame.HasTrayIcon());
    EXPECT_TRUE(frame.Monitor().IsListening());
    bAvailable = true;
    EXPECT_TRUE(WaitFor([&] { return frame.HasTrayIcon(); }, 3 * CResultFrame::kTrayProbeMs));
}

TEST(UiPoster, RunsTasksFromAnotherThreadInOrderAndDropsThoseLeftWhenItGoes)
{
    std::vector<int> ran;
    std::weak_ptr<int> record;
    {
        CQtUiPoster poster;
        std::thread([&] {
            for (int i = 0; i < 5; ++i)
                poster.Post([&ran, i] { ran.push_back(i); });
        }).join();
        EXPECT_TRUE(WaitFor([&] { return ran.size() == 5; }, 5000));
        EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
        auto held = std::make_shared<int>(7);
        record = held;
        poster.Post([held, &ran] { ran.push_back(*held); });
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(record.expired()) << "a task left when the poster goes is freed";
    EXPECT_EQ(ran.size(), 5u) << "and not run";
}

// Pictures of the pop-ups and both pages for the screenshot folder.
TEST(Screenshots, ThePopupsAndBothSettingsPages)
{
    qelta::test::ScopedStateRoot root;
    const std::string folder = QELTA_SCREENSHOT_DIR;
    ASSERT_TRUE(platform::createDirectories(folder));
    auto save = [&](QWidget& widget, const std::string& name) {
        QCoreApplication::processEvents();
        const std::string file = folder + "/resultmonitor-" + name + ".png";
        platform::removeFile(file);
        EXPECT_TRUE(widget.grab().save(QString::fromStdString(file))) << file;
    };
    CResultPopup popup(1033);
    popup.ShowPopup(3, IDI_RESULT_FINISHED, "[ip = 192.0.2.7]  [port = 40123]", 0, 5000);
    save(popup, "status-popup");
    popup.ShowPopup(3, IDI_RESULT_FAILED,
                    "FAX Transmit : NO RESPONSE\n\nPrinter:    \tQelta Fax\nJob Name:   \tQuarterly report & plan\n"
                    "FAX Number: \t0123-456",
                    0, 5000);
    save(popup, "failed-popup");
    CRegistryMonitorSettings settings;
    NoPrompts prompter;
    CSettingsSheet sheet(settings, prompter);
    sheet.show();
    save(sheet, "view-window-setting");
    sheet.Tabs()->setCurrentIndex(1);
    save(sheet, "message-type-setting");
}

} // namespace
