// Job results from the record on the wire to the sending log, the sound and the pop-up, and the
// monitor's start, stop and hand-over from the listener's thread, over fakes of its surroundings
// and the real registry in a private state root.
#include "common/registry_helper.h"
#include "common/spool_time.h"
#include "platform/bstr.h"
#include "platform/library.h"
#include "platform/ole_date.h"
#include "platform/tests/support/test_support.h"
#include "resultmonitor/job_result_notice.h"
#include "resultmonitor/monitor_controller.h"
#include "resultmonitor/result_texts.h"
#include "sendlog/IQeltaLogTool.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

using qelta::test::ScopedStateRoot;

namespace {

using Record = std::array<unsigned char, kJobResultNoticeBytes>;

void putText(Record& r, size_t nOffset, const std::string& s)
{
    std::memcpy(r.data() + nOffset, s.data(), s.size());
}

Record makeRecord(uint32_t nKind, uint16_t wCode, const std::string& strJob = "Report", const std::string& strTime = "20260305093000",
                  const std::string& strPrinter = "Qelta Fax", const std::string& strNumber = "0123-456")
{
    Record r{};
    r.fill(0);
    r[4] = nKind & 0xFF, r[5] = (nKind >> 8) & 0xFF, r[6] = (nKind >> 16) & 0xFF, r[7] = nKind >> 24;
    r[80] = wCode & 0xFF, r[81] = wCode >> 8;
    putText(r, 185, strJob);
    putText(r, 402, strTime);
    putText(r, 472, strPrinter);
    putText(r, 505, strNumber);
    return r;
}

struct FakeListener : IJobResultListener {
    int Start(const std::string& strAddress, int& nPort, JobResultCallback pfn, void* pContext) override
    {
        strStartAddress = strAddress;
        nStartPort = nPort;
        if (nResult != 0)
            return nResult;
        nPort = nPort == 0 ? 40123 : nPort;
        callback = pfn;
        context = pContext;
        return 0;
    }
    void Stop() override
    {
        ++nStops;
        callback = nullptr;
    }
    // Delivers records as the listener does: on a thread of its own.
    void Deliver(int nPort, const std::vector<Record>& records)
    {
        EXPECT_EQ(DeliverCounting(nPort, records), records.size());
    }
    // As Deliver; how many the callback took.
    size_t DeliverCounting(int nPort, const std::vector<Record>& records)
    {
        size_t nTaken = 0;
        std::thread([&] {
            for (const Record& r : records)
                nTaken += callback(0, nPort, r.data(), context) == 1 ? 1 : 0;
        }).join();
        return nTaken;
    }

    int nResult = 0;
    std::string strStartAddress;
    int nStartPort = -1;
    int nStops = 0;
    JobResultCallback callback = nullptr;
    void* context = nullptr;
};

// What the sending log holds and was asked; it outlives the log objects made over it.
struct LogCalls {
    std::map<std::string, int32_t> entries{{"Report-20260305093000", 17}};
    std::vector<std::string> finds;
    std::vector<std::pair<int32_t, int32_t>> changes;
};

struct FakeLog : IResultLog {
    explicit FakeLog(LogCalls& calls) : log(calls) {}
    HRESULT FindLogID(const std::string& strCookie, int32_t* pLogID) override
    {
        log.finds.push_back(strCookie);
        const auto it = log.entries.find(strCookie);
        if (it == log.entries.end())
            return S_FALSE;
        *pLogID = it->second;
        return S_OK;
    }
    HRESULT ChangeLogStatus(int32_t lLogID, int32_t lNewStatus) override
    {
        log.changes.emplace_back(lLogID, lNewStatus);
        return S_OK;
    }
    LogCalls& log;
};

struct Shown {
    int nPosition;
    uint32_t nIcon;
    std::string strText;
    int bAnimate;
    uint32_t dwTime;
};

struct FakePopup : IPopupSink {
    void ShowPopup(int nPosition, uint32_t nIconId, const std::string& strText, int bAnimate, uint32_t dwTime) override
    {
        shown.push_back({nPosition, nIconId, strText, bAnimate, dwTime});
    }
    std::vector<Shown> shown;
};

struct FakeSound : ISoundSink {
    void PlayWave(uint32_t nWaveId) override { waves.push_back(nWaveId); }
    std::vector<uint32_t> waves;
};

struct QueuePoster : IUiPoster {
    void Post(std::function<void()> fnTask) override
    {
        const std::lock_guard lock(mutex);
        tasks.push_back(std::move(fnTask));
    }
    size_t RunAll()
    {
        std::vector<std::function<void()>> run;
        {
            const std::lock_guard lock(mutex);
            run.swap(tasks);
        }
        for (auto& task : run)
            task();
        return run.size();
    }
    std::mutex mutex;
    std::vector<std::function<void()>> tasks;
};

void writeSetting(const char* pszName, uint32_t dwValue)
{
    ASSERT_EQ(CRegistryHelper(HKEY_CURRENT_USER, "SOFTWARE\\Kovra\\").WriteDword("TQLSTL2", pszName, dwValue), 1);
}

std::string rtnString(const char* pszName)
{
    return CRegistryHelper(HKEY_CURRENT_USER, "SOFTWARE\\Kovra\\").ReadString("RTN", pszName, "<missing>");
}

uint32_t rtnRunning()
{
    return CRegistryHelper(HKEY_CURRENT_USER, "SOFTWARE\\Kovra\\").ReadDword("RTN", "FAXRunning", 99);
}

class MonitorTest : public ::testing::Test {
protected:
    CResultMonitorParts Parts()
    {
        CResultMonitorParts parts;
        parts.pListener = &listener;
        parts.pPopup = &popup;
        parts.pSound = &sound;
        parts.pSettings = &settings;
        parts.pPoster = &poster;
        parts.fnCreateLog = [this]() -> std::unique_ptr<IResultLog> {
            if (!bHasLog)
                return nullptr;
            return std::make_unique<FakeLog>(log);
        };
        parts.fnOwnAddress = [] { return std::string("127.0.0.1"); };
        return parts;
    }

    // One notice through the whole path: the listener's thread, the poster, the handling.
    void Handle(uint16_t wCode, uint32_t nKind = 2)
    {
        CResultMonitor monitor(Parts());
        monitor.Start();
        listener.Deliver(monitor.GetPort(), {makeRecord(nKind, wCode)});
        EXPECT_EQ(poster.RunAll(), 1u);
    }

    ScopedStateRoot root;
    FakeListener listener;
    FakePopup popup;
    FakeSound sound;
    CRegistryMonitorSettings settings;
    QueuePoster poster;
    bool bHasLog = true;
    LogCalls log;
};

// ---- the result codes ----

struct CodeCase {
    uint16_t wCode;
    int nKind;
    const char* pszText;
    uint32_t nIcon, nWave;
    int32_t lStatus;
    const char* pszSetting;
    // Shown with the setting missing, 0 and 1.
    bool bShownMissing, bShownOff, bShownOn;
};

const CodeCase kCodes[] = {
    {0x1130, 0, "The job was finished with no error.", 134, 141, 2, "RtnSuccessResult", true, false, true},
    {0x1230, 0, "The job was finished with no error.", 134, 141, 2, "RtnSuccessResult", true, false, true},
    {0x1030, 1, "The job was reserved with no error.", 133, 139, 1, "RtnNoAlertFAXRtn1", false, true, false},
    {0x1122, 3, "FAX Transmit : CANCEL", 135, 143, 3, "RtnCancelResult", false, false, true},
    {0x10C8, 2, "Memory Reservation : PARTLY SUCCEED", 136, 142, 4, "RtnErrorResult", true, false, true},
    {0x005B, 2, "FAX Result : ", 136, 142, 4, "RtnErrorResult", true, false, true},
    {0x1100, 2, "FAX Transmit : FAIL", 136, 142, 4, "RtnErrorResult", true, false, true},
    {0x1120, 2, "FAX Transmit : FAIL", 136, 142, 4, "RtnErrorResult", true, false, true},
    {0x1121, 2, "FAX Transmit : BUSY", 136, 142, 4, "RtnErrorResult", true, false, true},
    {0x1149, 2, "FAX Transmit : ACCOUNT LIMIT ERROR", 136, 142, 4, "RtnErrorResult", true, false, true},
    {0x115A, 2, "FAX Transmit : FAIL", 136, 142, 4, "RtnErrorResult", true, false, true},
    {0x115B, 2, "FAX Transmit : ", 136, 142, 4, "RtnErrorResult", true, false, true},
    {0x1233, 2, "FAX Result : PASS# NG", 136, 142, 4, "RtnErrorResult", true, false, true},
    {0x1222, 3, "FAX Result : CANCEL", 135, 143, 3, "RtnCancelResult", false, false, true},
};

TEST_F(MonitorTest, EachResultCodeGivesItsKindTextIconSoundAndStatusAndIsShownAsItsSettingSays)
{
    for (const CodeCase& c : kCodes)
        for (const std::optional<uint32_t> setting : {std::optional<uint32_t>(), std::optional<uint32_t>(0u),
                                                      std::optional<uint32_t>(1u)}) {
            SCOPED_TRACE(testing::Message() << std::hex << "code 0x" << c.wCode << std::dec << " setting "
                                            << (setting ? std::to_string(*setting) : "missing"));
            ScopedStateRoot fresh;
            if (setting)
                writeSetting(c.pszSetting, *setting);
            popup.shown.clear();
            sound.waves.clear();
            log.changes.clear();
            EXPECT_EQ(GetResultKind(c.wCode), c.nKind);
            EXPECT_EQ(GetResultText(c.wCode), c.pszText);
            Handle(c.wCode);
            EXPECT_EQ(log.changes, (std::vector<std::pair<int32_t, int32_t>>{{17, c.lStatus}}));
            EXPECT_EQ(sound.waves, std::vector<uint32_t>{c.nWave});
            const bool bExpected = !setting ? c.bShownMissing : *setting ? c.bShownOn : c.bShownOff;
            ASSERT_EQ(popup.shown.size(), bExpected ? 1u : 0u);
            if (bExpected) {
                EXPECT_EQ(popup.shown[0].nIcon, c.nIcon);
                EXPECT_EQ(popup.shown[0].strText.substr(0, popup.shown[0].strText.find("\n\n")), c.pszText);
            }
        }
}

TEST_F(MonitorTest, EveryResultByteOfEveryPhaseReadsItsTextFromTheStringsFile)
{
    // The result texts of bytes 32 to 90, in order.
    const char* const kTexts[] = {"FAIL", "BUSY", "CANCEL", "P.FAIL", "FAIL", "FAIL", "MEM.FULL", "FAIL", "FAIL",
        "LENGTH OVER", "LENGTH OVER", "FAIL", "ORIGINAL ERROR", "FAIL", "NO RESPONSE", "TX DECODE ERROR", "OK",
        "NO RX POLL", "RX POLL FAIL", "PASS# NG", "FAIL", "FAIL", "FAIL", "FAIL", "NO REL RX", "FAIL", "FAIL",
        "RX NO F-CODE POLL", "NO F-CODE POLL", "RX POLL# NG", "F POLL PASS# NG", "NO F FUNC", "NO F-CODE", "FAIL",
        "FAIL", "F PASS# NG", "BOX NO.NG", "MEMORY OVER", "JOB MEMORY OVER", "QELTA SENDING DATA ERROR",
        "ACCOUNT NUMBER ERROR", "ACCOUNT LIMIT ERROR", "FOLDER PASSWORD ERROR", "DEVICE BUSY. PLEASE TRY AGAIN LATER.",
        "FAIL", "FAIL", "FAIL", "FAIL", "NETWORK ERR", "NG REPORT", "NO REPORT", "NG LIMIT", "REJECTED", "FAIL",
        "RECEIVED", "FAIL", "FAIL", "FAIL", "FAIL"};
    static_assert(std::size(kTexts) == 59);
    const std::pair<uint8_t, std::string> kPhases[] = {
        {0x10, "Memory Reservation : "}, {0x11, "FAX Transmit : "}, {0x00, "FAX Result : "}, {0xFF, "FAX Result : "}};
    for (const auto& [byPhase, strPrefix] : kPhases)
        for (int nByte = 0; nByte < 256; ++nByte) {
            if (nByte == 0x30 || nByte == 0x22)
                continue; // whole texts, and the cancelled text checked above
            const std::string strResult = nByte <= 31 ? "FAIL" : nByte <= 90 ? kTexts[nByte - 32] : nByte == 0xC8 ? "PARTLY SUCCEED" : "";
            EXPECT_EQ(GetResultText(static_cast<uint16_t>(byPhase << 8 | nByte)), strPrefix + strResult)
                << "phase " << int(byPhase) << " byte " << nByte;
        }
}

TEST_F(MonitorTest, TheMessageKeepsItsBlanksAndTabsAndTheSoundAndLogFollowTheirSettings)
{
    writeSetting("RtnSound", 0);
    writeSetting("RtnViewPosition", 1);
    writeSetting("RtnEnableAnimation", 0);
    writeSetting("RtnDisplayTime", 2500);
    Handle(0x1121);
    ASSERT_EQ(popup.shown.size(), 1u);
    EXPECT_EQ(popup.shown[0].strText,
              "FAX Transmit : BUSY\n\nPrinter:    \tQelta Fax\nJob Name:   \tReport\nFAX Number: \t0123-456");
    EXPECT_EQ(popup.shown[0].nPosition, 1);
    EXPECT_EQ(popup.shown[0].bAnimate, 0);
    EXPECT_EQ(popup.shown[0].dwTime, 2500u);
    EXPECT_TRUE(sound.waves.empty());
    EXPECT_EQ(log.finds, std::vector<std::string>{"Report-20260305093000"});
}

TEST(NoticeRecordTest, FieldsFillingTheirRoomEndThereAndNumbersAreLittleEndian)
{
    const std::string strJob(217, 'j'), strTime(70, 't'), strPrinter(33, 'p'), strNumber(95, 'n');
    Record r = makeRecord(0x02, 0x1149, strJob, strTime, strPrinter, strNumber);
    const CJobResultNotice notice(r.data());
    EXPECT_EQ(notice.GetJobName(), strJob);
    EXPECT_EQ(notice.GetJobTime(), strTime);
    EXPECT_EQ(notice.GetPrinterName(), strPrinter);
    EXPECT_EQ(notice.GetFaxNumber(), strNumber);
    EXPECT_EQ(BuildLogCookie(notice), strJob + "-" + strTime);
    EXPECT_EQ(BuildResultMessage(notice), "FAX Transmit : ACCOUNT LIMIT ERROR\n\nPrinter:    \t" + strPrinter +
                                              "\nJob Name:   \t" + strJob + "\nFAX Number: \t" + strNumber);
    EXPECT_EQ(notice.GetNoticeKind(), 2u);
    EXPECT_EQ(notice.GetResultCode(), 0x1149);
    r[4] = 0, r[7] = 2; // 2 in the high byte is a kind of 0x02000000
    EXPECT_EQ(CJobResultNotice(r.data()).GetNoticeKind(), 0x02000000u);
}

// ---- the hand-over and the sending log ----

TEST_F(MonitorTest, OnlyKindsOneAndTwoOnTheListenedPortReachTheUiThread)
{
    CResultMonitor monitor(Parts());
    monitor.Start();
    const int nPort = monitor.GetPort();
    Record big = makeRecord(2, 0x1130);
    big[7] = 1; // kind 0x01000002
    listener.Deliver(nPort, {makeRecord(0, 0x1130), makeRecord(3, 0x1130), big, makeRecord(1, 0x1130)});
    listener.Deliver(nPort + 1, {makeRecord(2, 0x1130)});
    EXPECT_EQ(listener.callback(0, nPort, nullptr, listener.context), 1);
    EXPECT_EQ(poster.RunAll(), 1u);
    EXPECT_EQ(popup.shown.size(), 1u);
    EXPECT_EQ(log.changes.size(), 1u);
}

TEST_F(MonitorTest, AJobMissingFromTheLogOrNoLogAtAllStillGetsItsPopupAndSound)
{
    log.entries.clear();
    Handle(0x1130);
    EXPECT_EQ(log.finds.size(), 1u);
    EXPECT_TRUE(log.changes.empty());
    EXPECT_EQ(popup.shown.size(), 1u);
    EXPECT_EQ(sound.waves, std::vector<uint32_t>{141});

    bHasLog = false;
    log.entries = {{"Report-20260305093000", 17}};
    Handle(0x1122);
    EXPECT_EQ(log.finds.size(), 1u);
    EXPECT_EQ(sound.waves, (std::vector<uint32_t>{141, 143}));
}

TEST_F(MonitorTest, ARecordPostedAfterTheMonitorIsGoneIsFreedUnhandled)
{
    {
        CResultMonitor monitor(Parts());
        monitor.Start();
        listener.Deliver(monitor.GetPort(), {makeRecord(2, 0x1100), makeRecord(1, 0x1130)});
    }
    EXPECT_EQ(poster.RunAll(), 2u);
    EXPECT_TRUE(popup.shown.empty());
    EXPECT_TRUE(sound.waves.empty());
}

TEST_F(MonitorTest, AFinishedNoticeSetsItsEntryInTheRealSendingLog)
{
    using namespace platform::com;
    initializeThread();
    const auto library = platform::Library::load("sendlog.dll");
    ASSERT_TRUE(library) << platform::Library::lastError();
    ASSERT_EQ(library->function<DllRegisterServerFn>("DllRegisterServer")(), S_OK);
    Ptr<IQeltaLogTool> tool;
    ASSERT_EQ(createInstance(kQeltaLogToolProgId, CLSCTX_INPROC_SERVER, tool), S_OK);
    platform::LocalTime when;
    when.year = 2026, when.month = 3, when.day = 5, when.dayOfWeek = 4, when.hour = 9, when.minute = 30;
    int32_t lOther = 0, lJob = 0;
    ASSERT_EQ(tool->CreateLogData(Bstr("/no/a.tif").get(), Bstr("Other").get(), platform::dateFromLocalTime(when), &lOther), S_OK);
    ASSERT_EQ(tool->CreateLogData(Bstr("/no/b.tif").get(), Bstr("Quarterly report").get(), platform::dateFromLocalTime(when), &lJob), S_OK);

    {
        CResultMonitorParts parts = Parts();
        parts.fnCreateLog = CreateSendingLog;
        CResultMonitor monitor(std::move(parts));
        monitor.Start();
        ASSERT_TRUE(monitor.HasLog());
        listener.Deliver(monitor.GetPort(), {makeRecord(2, 0x1130, "Quarterly report", FormatSpoolTimeText(when))});
        EXPECT_EQ(poster.RunAll(), 1u);
    }
    const auto status = [&](int32_t lId) {
        BSTR image = nullptr, document = nullptr, date = nullptr;
        int32_t lStatus = -1;
        EXPECT_EQ(tool->GetLogData(lId, &image, &document, &date, &lStatus), S_OK);
        Bstr::adopt(image), Bstr::adopt(document), Bstr::adopt(date);
        return lStatus;
    };
    EXPECT_EQ(status(lJob), 2);
    EXPECT_NE(status(lOther), 2);
    tool = nullptr;
    uninitializeThread();
}

// ---- start, stop and the published values ----

TEST_F(MonitorTest, StartClearsWhatACrashedRunLeftAndPublishesOnlyASuccessfulListener)
{
    const CRegistryHelper rtn(HKEY_CURRENT_USER, "SOFTWARE\\Kovra\\");
    rtn.WriteString("RTN", "FAXServerPort", "5555");
    rtn.WriteString("RTN", "FAXIPAddress", "192.0.2.9");
    rtn.WriteDword("RTN", "FAXRunning", 1);
    listener.nResult = -1;
    {
        CResultMonitor monitor(Parts());
        monitor.Start();
        EXPECT_FALSE(monitor.IsListening());
        EXPECT_EQ(rtnString("FAXServerPort"), "");
        EXPECT_EQ(rtnString("FAXIPAddress"), "");
        EXPECT_EQ(rtnRunning(), 0u);
        EXPECT_TRUE(monitor.HasLog()) << "the log object is made whether or not the listener started";
        EXPECT_EQ(monitor.StatusText(), "[ip = ]  [port = 0]");
    }
    EXPECT_EQ(listener.nStops, 0) << "a listener that never started is not stopped";

    listener.nResult = 0;
    CResultMonitor monitor(Parts());
    monitor.Start();
    EXPECT_EQ(listener.strStartAddress, "127.0.0.1");
    EXPECT_EQ(listener.nStartPort, 0);
    EXPECT_EQ(rtnString("FAXServerPort"), "40123");
    EXPECT_EQ(rtnString("FAXIPAddress"), "127.0.0.1");
    EXPECT_EQ(rtnRunning(), 1u);

    monitor.StopListener();
    EXPECT_EQ(listener.nStops, 1);
    EXPECT_EQ(rtnString("FAXServerPort"), "");
    EXPECT_EQ(rtnString("FAXIPAddress"), "");
    EXPECT_EQ(rtnRunning(), 0u);
    EXPECT_EQ(monitor.GetPort(), 0);
    monitor.StopListener();
    EXPECT_EQ(listener.nStops, 1);
}

TEST_F(MonitorTest, TheStatusPopupShowsAddressAndPortWithItsSoundAndRereadsTheViewSettings)
{
    CResultMonitor monitor(Parts());
    monitor.Start();
    writeSetting("RtnViewPosition", 7);
    writeSetting("RtnDisplayTime", 1000);
    monitor.ShowStatus();
    writeSetting("RtnSound", 0);
    writeSetting("RtnViewPosition", 0);
    monitor.ShowStatus();
    ASSERT_EQ(popup.shown.size(), 2u);
    EXPECT_EQ(popup.shown[0].strText, "[ip = 127.0.0.1]  [port = 40123]");
    EXPECT_EQ(popup.shown[0].nIcon, 134u);
    EXPECT_EQ(popup.shown[0].nPosition, 3) << "a corner outside 0-3 is placed bottom right";
    EXPECT_EQ(popup.shown[0].dwTime, 1000u);
    EXPECT_EQ(popup.shown[1].nPosition, 0);
    EXPECT_EQ(sound.waves, std::vector<uint32_t>{143});
    monitor.SetSettingsOpen(true);
    EXPECT_FALSE(monitor.IsCommandEnabled(ID_PROPERTY));
    EXPECT_FALSE(monitor.IsCommandEnabled(ID_APP_EXIT_MONITOR));
    EXPECT_TRUE(monitor.IsCommandEnabled(ID_SHOW_STATUS));
}

TEST_F(MonitorTest, AHandWrittenDisplayTimeIsBroughtIntoWhatThePageCanSet)
{
    CResultMonitor monitor(Parts());
    monitor.Start();
    const std::pair<uint32_t, uint32_t> cases[] = {{0, 1000},         {999, 1000},         {2500, 2500},
                                                   {10001, 10000},    {0x7FFFFFFF, 10000}, {0x80000000u, 10000},
                                                   {0xFFFFFFFFu, 10000}};
    for (const auto& [stored, used] : cases) {
        SCOPED_TRACE(stored);
        writeSetting("RtnDisplayTime", stored);
        monitor.ShowStatus();
        ASSERT_FALSE(popup.shown.empty());
        EXPECT_EQ(popup.shown.back().dwTime, used);
    }
}

TEST_F(MonitorTest, WaitingNoticesAreBoundedKeptUntilHandledAndWrittenByAStop)
{
    const std::vector<Record> flood(kMaxWaitingNotices + 40, makeRecord(2, 0x1130));
    {
        CResultMonitor monitor(Parts());
        monitor.Start();
        EXPECT_EQ(listener.DeliverCounting(monitor.GetPort(), flood), kMaxWaitingNotices) << "the rest are refused";
        EXPECT_EQ(monitor.WaitingCount(), kMaxWaitingNotices);
        // Gone (as a killed monitor) before the UI thread handled any.
    }
    EXPECT_EQ(poster.RunAll(), kMaxWaitingNotices);
    EXPECT_TRUE(popup.shown.empty());
    {
        CResultMonitor next(Parts());
        next.Start();
        EXPECT_EQ(next.WaitingCount(), kMaxWaitingNotices) << "the next start finds what was taken";
        EXPECT_EQ(poster.RunAll(), kMaxWaitingNotices);
        EXPECT_EQ(popup.shown.size(), kMaxWaitingNotices);
        EXPECT_EQ(log.changes.size(), kMaxWaitingNotices);
        EXPECT_EQ(listener.DeliverCounting(next.GetPort(), {makeRecord(2, 0x1122)}), 1u) << "room again";

        // A stop writes what waits into the log, with neither pop-up nor sound.
        next.Stop();
        EXPECT_EQ(next.WaitingCount(), 0u);
        EXPECT_EQ(log.changes.back(), (std::pair<int32_t, int32_t>{17, 3}));
        EXPECT_EQ(popup.shown.size(), kMaxWaitingNotices);
        EXPECT_EQ(sound.waves.size(), kMaxWaitingNotices);
    }
    poster.RunAll();
    CResultMonitor last(Parts());
    last.Start();
    EXPECT_EQ(last.WaitingCount(), 0u) << "nothing handled is kept";

    // Where nothing can be kept, nothing is taken.
    CResultMonitorParts nowhere = Parts();
    nowhere.strPendingFolder = root.path() + "/not-a-folder";
    qelta::test::writeTextFile(nowhere.strPendingFolder, "a file");
    last.StopListener();
    CResultMonitor unkept(std::move(nowhere));
    unkept.Start();
    EXPECT_EQ(listener.DeliverCounting(unkept.GetPort(), {makeRecord(2, 0x1130)}), 0u);
}

} // namespace
