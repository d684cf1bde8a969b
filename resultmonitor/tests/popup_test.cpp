// The pop-up's places, slides and timers over a recording window, and the settings pages over the
// real registry in a private state root.
#include "common/registry_helper.h"
#include "platform/tests/support/test_support.h"
#include "resultmonitor/popup_logic.h"
#include "resultmonitor/result_texts.h"
#include "resultmonitor/settings_pages_logic.h"

#include <gtest/gtest.h>

#include <map>

using qelta::test::ScopedStateRoot;

namespace {

struct RecordingHost : IPopupHost {
    CPopupRect AvailableArea() const override { return area; }
    void MovePopup(int nLeft, int nTop) override
    {
        left = nLeft, top = nTop;
        exists = true;
        ++moves;
    }
    void ShowPopupWindow() override { visible = true; }
    void HidePopupWindow() override { visible = false; }
    void DestroyPopupWindow() override
    {
        exists = visible = false;
        ++destroyed;
    }
    void RepaintPopup() override {}
    void SetPopupTimer(int nId, uint32_t nMs) override { timers[nId] = nMs; }
    void KillPopupTimer(int nId) override
    {
        EXPECT_EQ(timers.erase(nId), 1u) << "timer " << nId << " stopped while not running";
    }

    CPopupRect area{0, 0, 1920, 1040};
    int left = 0, top = 0, moves = 0, destroyed = 0;
    bool exists = false, visible = false;
    std::map<int, uint32_t> timers;
};

// Ticks the slide timer while it runs; returns the ticks that moved the window.
int slide(CResultPopupLogic& popup, RecordingHost& host)
{
    int nMoves = 0;
    for (int n = 0; n < 100 && host.timers.count(kSlideTimerId); ++n) {
        const int before = host.moves;
        popup.OnTimer(kSlideTimerId);
        nMoves += host.moves - before;
    }
    return nMoves;
}

TEST(PopupTest, EachCornerHasItsPlaceInTheAvailableArea)
{
    const CPopupRect area{0, 0, 1920, 1040};
    EXPECT_EQ(PopupFinalRect(0, area), (CPopupRect{16, 16, 476, 136}));
    EXPECT_EQ(PopupFinalRect(1, area), (CPopupRect{1444, 16, 1904, 136}));
    EXPECT_EQ(PopupFinalRect(2, area), (CPopupRect{16, 904, 476, 1024}));
    EXPECT_EQ(PopupFinalRect(3, area), (CPopupRect{1444, 904, 1904, 1024}));
    EXPECT_EQ(PopupFinalRect(4, area), PopupFinalRect(3, area));
    EXPECT_EQ(PopupFinalRect(-1, area), PopupFinalRect(3, area));
    // A panel above the area moves the top corners down with it.
    EXPECT_EQ(PopupFinalRect(1, CPopupRect{0, 32, 1920, 1080}), (CPopupRect{1444, 48, 1904, 168}));
    EXPECT_EQ(PopupTextRect(460, 120), (CPopupRect{42, 8, 458, 120}));
    EXPECT_EQ(PopupFontPointSize(1041), 9);
    EXPECT_EQ(PopupFontPointSize(1033), 8);
}

TEST(PopupTest, ItSlidesInFortyStepsStaysItsTimeAndSlidesOutInTen)
{
    for (const int nPosition : {0, 1, 2, 3}) {
        SCOPED_TRACE(nPosition);
        RecordingHost host;
        CResultPopupLogic popup(host);
        const CPopupRect final = PopupFinalRect(nPosition, host.area);
        const int nAway = nPosition < 2 ? -1 : 1; // toward the screen edge
        popup.ShowPopup(nPosition, 134, "text", 1, 3000);
        EXPECT_TRUE(host.visible);
        EXPECT_EQ(host.top, final.top + nAway * 120);
        EXPECT_EQ(host.left, final.left);
        EXPECT_EQ(host.timers, (std::map<int, uint32_t>{{kSlideTimerId, 15u}}));
        EXPECT_EQ(slide(popup, host), 40);
        EXPECT_EQ(host.top, final.top);
        EXPECT_EQ(host.timers, (std::map<int, uint32_t>{{kDisplayTimerId, 3000u}}));
        popup.OnTimer(kDisplayTimerId);
        EXPECT_EQ(slide(popup, host), 10);
        EXPECT_EQ(host.top, final.top + nAway * 30);
        EXPECT_EQ(host.destroyed, 1);
        EXPECT_FALSE(popup.IsOpen());
        EXPECT_TRUE(host.timers.empty());
    }
}

TEST(PopupTest, ANewMessageDuringTheDisplayTimeIsShownItsWholeTime)
{
    RecordingHost host;
    CResultPopupLogic popup(host);
    popup.ShowPopup(3, 134, "first", 1, 5000);
    slide(popup, host);
    ASSERT_TRUE(host.timers.count(kDisplayTimerId));
    popup.ShowPopup(0, 136, "second", 1, 4000);
    EXPECT_EQ(host.timers, (std::map<int, uint32_t>{{kSlideTimerId, 15u}})) << "the first one's display time is gone";
    popup.OnTimer(kDisplayTimerId); // a tick already queued changes nothing
    EXPECT_EQ(slide(popup, host), 40);
    EXPECT_EQ(host.timers, (std::map<int, uint32_t>{{kDisplayTimerId, 4000u}}));
    EXPECT_EQ(popup.GetText(), "second");

    // Without animation: at its place at once, no timer, until the mouse comes over it.
    popup.ShowPopup(2, 133, "third", 0, 4000);
    EXPECT_TRUE(host.timers.empty());
    EXPECT_EQ(host.top, PopupFinalRect(2, host.area).top);
    popup.OnMouseMove();
    EXPECT_EQ(slide(popup, host), 10);
    EXPECT_FALSE(popup.IsOpen());
}

TEST(PopupTest, AClickClosesAtOnceAndTheMouseOverASlideChangesNothing)
{
    RecordingHost host;
    CResultPopupLogic popup(host);
    popup.ShowPopup(1, 134, "text", 1, 5000);
    for (int n = 0; n < 5; ++n)
        popup.OnTimer(kSlideTimerId);
    popup.OnMouseMove();
    EXPECT_EQ(host.timers, (std::map<int, uint32_t>{{kSlideTimerId, 15u}}));
    popup.OnClick();
    EXPECT_FALSE(popup.IsOpen());
    EXPECT_TRUE(host.timers.empty());
    EXPECT_EQ(host.destroyed, 1);

    popup.ShowPopup(1, 134, "text", 1, 5000);
    slide(popup, host);
    popup.OnMouseMove(); // during the display time: slides out
    EXPECT_EQ(host.timers, (std::map<int, uint32_t>{{kSlideTimerId, 15u}}));
    popup.OnClick();
    EXPECT_TRUE(host.timers.empty());
}

// ---- the settings pages ----

uint32_t stored(const char* pszName)
{
    return CRegistryHelper(HKEY_CURRENT_USER, "SOFTWARE\\Kovra\\").ReadDword("TQLSTL2", pszName, 99);
}

TEST(SettingsPagesTest, TheViewPageShowsTheCornerAndWritesWhatApplyHas)
{
    ScopedStateRoot root;
    CRegistryMonitorSettings settings;
    CViewSettingPageLogic page(settings);
    page.OnInitDialog();
    EXPECT_EQ(page.CheckedPositionControl(), 1003);
    EXPECT_EQ(page.SliderPosition(), 50);
    EXPECT_EQ(page.DisplayTimeText(), "5000");
    // Which picture each corner shows with each corner selected.
    const std::map<int, std::vector<uint32_t>> kPictures = {
        {1000, {142, 138, 139, 140}}, {1001, {137, 144, 139, 140}}, {1002, {137, 138, 141, 140}}, {1003, {137, 138, 139, 143}}};
    for (const auto& [nRadio, icons] : kPictures) {
        page.OnPositionClicked(nRadio);
        for (int n = 0; n < 4; ++n)
            EXPECT_EQ(page.PictureIcon(1005 + n), icons[n]) << "radio " << nRadio << " picture " << 1005 + n;
    }
    EXPECT_TRUE(page.IsChanged());

    page.OnPositionClicked(1001);
    page.OnAnimationClicked(false);
    page.OnSoundClicked(false);
    page.OnSliderMoved(10);
    EXPECT_EQ(page.DisplayTimeText(), "1000");
    page.OnApply();
    EXPECT_FALSE(page.IsChanged());
    EXPECT_EQ(stored("RtnViewPosition"), 1u);
    EXPECT_EQ(stored("RtnEnableAnimation"), 0u);
    EXPECT_EQ(stored("RtnDisplayTime"), 1000u);
    EXPECT_EQ(stored("RtnSound"), 0u);
    page.OnSliderMoved(100);
    page.OnApply();
    EXPECT_EQ(stored("RtnDisplayTime"), 10000u);
    EXPECT_EQ(ReadViewSettings(settings).dwDisplayTime, 10000u);

    CViewSettingPageLogic reread(settings);
    reread.OnInitDialog();
    EXPECT_EQ(reread.CheckedPositionControl(), 1001);
    EXPECT_EQ(reread.SliderPosition(), 100);
    EXPECT_FALSE(reread.GetAnimation());
}

TEST(SettingsPagesTest, AMissingCancelSettingIsTickedOnThePageAndAgreesWithTheHandlingOnceApplied)
{
    ScopedStateRoot root;
    CRegistryMonitorSettings settings;
    CMessageTypePageLogic page(settings);
    page.OnInitDialog();
    for (const int nBox : {1016, 1017, 1018, 1020})
        EXPECT_TRUE(page.IsChecked(nBox)) << nBox;
    const CResultKindTraits& cancelled = GetResultKindTraits(kResultCancelled);
    EXPECT_EQ(settings.ReadDword(cancelled.pszSettingName, cancelled.dwSettingDefault), 0u) << "not shown while missing";

    page.OnCheckClicked(1018, false);
    page.OnCheckClicked(1020, false);
    page.OnApply();
    EXPECT_EQ(stored("RtnCancelResult"), 1u);
    EXPECT_EQ(stored("RtnSuccessResult"), 0u);
    EXPECT_EQ(stored("RtnNoAlertFAXRtn1"), 0u);
    EXPECT_EQ(stored("RtnErrorResult"), 1u);

    CMessageTypePageLogic reread(settings);
    reread.OnInitDialog();
    EXPECT_FALSE(reread.IsChecked(1018));
    EXPECT_TRUE(reread.IsChecked(1017));
}

} // namespace
