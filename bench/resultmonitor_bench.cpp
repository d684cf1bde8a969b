// The result monitor under a burst of 500 job-result notices against a sending log of 10,000
// entries, sound silent: the notices go over TCP to the monitor's real listener (noticelib), are
// handed to the UI thread and handled there (log entry found and its status changed, the pop-up
// shown offscreen). The reference is the same FindLogID and ChangeLogStatus calls on the same log
// object alone. Printed: the per-notice cost of both and their ratio, and the longest gap of the
// UI thread's event loop during the burst (a 1 ms timer's late ticks). Goal: no gap over 100 ms.
// The monitor keeps each notice it takes until it is handled and holds at most 64 waiting: the
// sender sends a refused notice again, as a device would.
#include "bench/register_servers.h"
#include "bench/sample_log.h"
#include "bench/state_root.h"
#include "platform/com.h"
#include "platform/system_info.h"
#include "resultmonitor/app/result_frame.h"
#include "resultmonitor/notice_listener.h"
#include "resultmonitor/sending_log.h"
#include "sample/notice_sender.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int kEntries = 10000;
constexpr int kNotices = 500;
constexpr int kRounds = 3;

struct SilentSound : ISoundSink {
    void PlayWave(uint32_t) override {}
};

// Counts the notices handled, as the pop-up sees them.
struct CountingPopup : IPopupSink {
    explicit CountingPopup(CResultPopup& popup) : m_Popup(popup) {}
    void ShowPopup(int p, uint32_t icon, const std::string& text, int animate, uint32_t time) override
    {
        m_Popup.ShowPopup(p, icon, text, animate, time);
        ++shown;
    }
    CResultPopup& m_Popup;
    int shown = 0;
};

// The notices' job names and times: those of entries spread over the log.
std::vector<std::pair<std::string, std::string>> Jobs()
{
    std::vector<std::pair<std::string, std::string>> jobs;
    for (int i = 0; i < kNotices; ++i) {
        const std::string cookie = CQeltaLog::MakeCookie(document(1 + i * (kEntries / kNotices)), sentAt());
        const size_t dash = cookie.find('-');
        jobs.emplace_back(cookie.substr(0, dash), cookie.substr(dash + 1));
    }
    return jobs;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    BenchStateRoot root;
    if (!root.ok() || !RegisterServers({"sendlog.dll"}))
        return 1;
    platform::com::initializeThread();
    platform::setPublishedIPv4Override(htonl(INADDR_LOOPBACK));
    useLog(kEntries);
    QApplication application(argc, argv);
    const auto jobs = Jobs();

    // The reference: the log calls alone, on the monitor's kind of log object.
    std::vector<double> alone;
    for (int round = 0; round < kRounds; ++round) {
        const auto log = CreateSendingLog();
        if (!log)
            return std::fprintf(stderr, "no sending log object\n"), 1;
        const auto start = std::chrono::steady_clock::now();
        for (const auto& [job, time] : jobs) {
            int32_t id = 0;
            if (log->FindLogID(job + "-" + time, &id) == S_OK)
                log->ChangeLogStatus(id, 2);
        }
        alone.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count()
                        / kNotices);
    }

    // The monitor.
    std::vector<double> handled, gaps;
    for (int round = 0; round < kRounds; ++round) {
        CRegistryMonitorSettings settings;
        settings.WriteDword(kSettingSound, 0);
        CNoticeListener listener;
        // Every notice from the one sender of the burst is taken: the cost measured is the handling's.
        listener.SetAddressLimit(0, 0);
        SilentSound sound;
        CResultPopup popup(1033);
        CountingPopup counting(popup);
        CQtUiPoster poster;
        CResultMonitorParts parts;
        parts.pListener = &listener;
        parts.pSettings = &settings;
        parts.pSound = &sound;
        parts.pPopup = &counting;
        parts.pPoster = &poster;
        parts.fnOwnAddress = [] { return platform::publishedIPv4Address(); };
        CResultMonitor monitor(parts);
        monitor.Start();
        if (!monitor.IsListening() || !monitor.HasLog())
            return std::fprintf(stderr, "the monitor did not start\n"), 1;
        const int port = monitor.GetPort();

        QElapsedTimer clock;
        qint64 last = 0, longest = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        int failed = 0;
        clock.start();
        ticker.start(1);
        std::thread sender([&] {
            // A notice refused while the monitor's queue is full is sent again a moment later.
            for (const auto& [job, time] : jobs) {
                int tries = 0;
                while (!SendNotice("127.0.0.1", port, BuildNoticeRecord(2, 0x1130, job, time, "Qelta Fax", "0123"))) {
                    if (++tries == 10000) {
                        ++failed;
                        break;
                    }
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            }
        });
        while (counting.shown + failed < kNotices && clock.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double total = static_cast<double>(clock.nsecsElapsed()) / 1000.0;
        ticker.stop();
        sender.join();
        if (failed || counting.shown != kNotices)
            return std::fprintf(stderr, "%d notices failed, %d handled\n", failed, counting.shown), 1;
        handled.push_back(total / kNotices);
        gaps.push_back(static_cast<double>(longest) / 1e6);
        monitor.StopListener();
    }

    const double a = Median(alone), m = Median(handled), g = Median(gaps);
    std::printf("\n%d notices against a log of %d entries (median of %d rounds):\n", kNotices, kEntries, kRounds);
    std::printf("  FindLogID + ChangeLogStatus alone   %10.1f us a notice\n", a);
    std::printf("  through the monitor (TCP, UI thread) %9.1f us a notice   ratio %.2f\n", m, m / a);
    std::printf("  longest event-loop gap               %9.1f ms   (goal: at most 100 ms) %s\n", g,
                g <= 100.0 ? "met" : "MISSED");
    platform::com::uninitializeThread();
    return 0;
}
