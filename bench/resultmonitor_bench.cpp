// The result monitor under a burst of 500 job-result notices against a sending log of 10,000
// entries, sound silent: the notices go over TCP to the monitor's real listener (noticelib), are
// handed to the UI thread and handled there (log entry found and its status changed, the pop-up
// shown offscreen). The reference is the same FindLogID and ChangeLogStatus calls on the same log
// object alone. Printed: the per-notice cost of both and their ratio, and the longest gap of the
// UI thread's event loop during the burst (a 1 ms timer's late ticks). Goal: no gap over 100 ms.
// The monitor keeps each notice it takes until it is handled and holds at most 64 waiting: the
// sender sends a refused notice again, as a device would.
//
// Then what the host's other sockets add: a notice from this host is taken only once its sender's
// socket was found to be this user's. The monitor's listener takes notices sent one after another
// with 20,000 other sockets open on the host (10,000 connected pairs over loopback, held by child
// processes of 4,000 sockets each, whose descriptor limits are raised for them) against none, in
// alternating rounds. Printed: the cost of a notice with and without them and their ratio (goal:
// at most 1.2), and the cost of one owner lookup each way (the kernel's socket diagnostics, the
// host's tables).
#include "bench/register_servers.h"
#include "bench/sample_log.h"
#include "bench/state_root.h"
#include "platform/com.h"
#include "platform/files.h"
#include "platform/system_info.h"
#include "platform/tcp.h"
#include "platform/tests/support/loopback.h"
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
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
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

constexpr int kOtherPairs = 10000;
constexpr int kPairsPerProcess = 2000;
constexpr int kSerialNotices = 300;
constexpr int kLookups = 200;
constexpr int kSocketRounds = 5;

// Room for that many more descriptors, as far as the limits allow: the number that fit.
int RaiseDescriptorLimit(int wanted)
{
    constexpr rlim_t kSpare = 1024;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    const rlim_t needed = static_cast<rlim_t>(wanted) + kSpare;
    if (limit.rlim_cur < needed) {
        rlimit raised{needed, std::max(limit.rlim_max, needed)};
        if (::setrlimit(RLIMIT_NOFILE, &raised) != 0) {
            raised = {limit.rlim_max, limit.rlim_max};
            ::setrlimit(RLIMIT_NOFILE, &raised);
        }
        ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur > kSpare ? static_cast<int>(std::min<rlim_t>(wanted, limit.rlim_cur - kSpare)) : 0;
}

// Connected pairs over loopback with both ends in this process; each end a socket in the host's
// tables. Closed with a reset, so that none lingers in TIME_WAIT after the benchmark.
class ConnectedPairs {
public:
    explicit ConnectedPairs(int pairs)
    {
        int port = 0;
        const platform::FileDescriptor listening(qelta::test::listenOnLoopback(SOMAXCONN, port));
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (int i = 0; listening.valid() && i < pairs; ++i) {
            platform::FileDescriptor client(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
            if (!client.valid() || ::connect(client.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0)
                break;
            pollfd p{listening.get(), POLLIN, 0};
            platform::FileDescriptor server(::poll(&p, 1, 5000) == 1 ? ::accept4(listening.get(), nullptr, nullptr, SOCK_CLOEXEC) : -1);
            if (!server.valid())
                break;
            m_Sockets.push_back(std::move(client));
            m_Sockets.push_back(std::move(server));
        }
    }
    ~ConnectedPairs()
    {
        const linger abort{1, 0};
        for (const auto& socket : m_Sockets)
            ::setsockopt(socket.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    ConnectedPairs(const ConnectedPairs&) = delete;
    ConnectedPairs& operator=(const ConnectedPairs&) = delete;
    int sockets() const { return static_cast<int>(m_Sockets.size()); }
    // The server's end of the first pair.
    int accepted() const { return m_Sockets.size() >= 2 ? m_Sockets[1].get() : -1; }

private:
    std::vector<platform::FileDescriptor> m_Sockets;
};

// Connected pairs over loopback held by child processes, each within its own descriptor limit:
// sockets of the host that are not the benchmark's. Every child ends, resetting its connections,
// when this is destroyed.
class OtherSockets {
public:
    explicit OtherSockets(int pairs)
    {
        for (int left = pairs; left > 0; left -= kPairsPerProcess) {
            int counted[2], held[2];
            if (::pipe2(counted, O_CLOEXEC) != 0)
                break;
            if (::pipe2(held, O_CLOEXEC) != 0) {
                ::close(counted[0]), ::close(counted[1]);
                break;
            }
            const platform::FileDescriptor countRead(counted[0]), countWrite(counted[1]), holdRead(held[0]);
            platform::FileDescriptor holdWrite(held[1]);
            const pid_t child = ::fork();
            if (child == 0) {
                // Only the parent's end may hold this child: it lets go of every other child's.
                holdWrite.reset();
                for (auto& other : m_Children)
                    other.second.reset();
                {
                    const ConnectedPairs held(RaiseDescriptorLimit(2 * std::min(left, kPairsPerProcess)) / 2);
                    const int made = held.sockets();
                    if (::write(countWrite.get(), &made, sizeof made) == sizeof made) {
                        char byte = 0;
                        [[maybe_unused]] const ssize_t n = ::read(holdRead.get(), &byte, 1); // until the parent lets go
                    }
                }
                ::_exit(0);
            }
            if (child < 0)
                break;
            m_Children.emplace_back(child, std::move(holdWrite));
            int made = 0;
            if (::read(countRead.get(), &made, sizeof made) != sizeof made)
                break;
            m_Sockets += made;
        }
    }
    ~OtherSockets()
    {
        for (auto& [child, hold] : m_Children) {
            hold.reset();
            ::waitpid(child, nullptr, 0);
        }
    }
    OtherSockets(const OtherSockets&) = delete;
    OtherSockets& operator=(const OtherSockets&) = delete;
    int sockets() const { return m_Sockets; }

private:
    std::vector<std::pair<pid_t, platform::FileDescriptor>> m_Children;
    int m_Sockets = 0;
};

int TakeNotice(int, int, const void*, void*) { return 1; }

// Microseconds a notice takes, sent and taken one after another by the monitor's listener; a
// negative value when one is not taken.
double SerialNoticeCost(const std::string& record)
{
    CNoticeListener listener;
    listener.SetAddressLimit(0, 0);
    int port = 0;
    if (listener.Start("127.0.0.1", port, &TakeNotice, nullptr) != 0)
        return -1;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kSerialNotices; ++i)
        if (!SendNotice("127.0.0.1", port, record, 5000))
            return -1;
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / kSerialNotices;
}

// Microseconds one owner lookup of the peer of an accepted connection takes the given way.
double LookupCost(int accepted, platform::OwnerLookup way)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kLookups; ++i)
        if (platform::peerOwnerBy(accepted, way) != platform::PeerOwner::ThisUser)
            return -1;
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / kLookups;
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

    // What the host's other sockets add to a notice.
    const std::string record = BuildNoticeRecord(2, 0x1130, jobs[0].first, jobs[0].second, "Qelta Fax", "0123");
    std::vector<double> without, with, diagnosticsWithout, diagnosticsWith, tablesWithout, tablesWith;
    int others = 0;
    const ConnectedPairs own(1); // the connection whose peer the lookups find
    // Each measurement starts from a quiet host: the sockets a round leaves behind (TIME_WAIT) and
    // the reading of the tables slow down what follows at once.
    auto settled = [] { std::this_thread::sleep_for(std::chrono::milliseconds(500)); };
    SerialNoticeCost(record); // warms up what the first round would pay alone
    for (int round = 0; round < kSocketRounds; ++round) {
        settled();
        without.push_back(SerialNoticeCost(record));
        diagnosticsWithout.push_back(LookupCost(own.accepted(), platform::OwnerLookup::Diagnostics));
        const OtherSockets many(kOtherPairs);
        others = many.sockets();
        settled();
        with.push_back(SerialNoticeCost(record));
        diagnosticsWith.push_back(LookupCost(own.accepted(), platform::OwnerLookup::Diagnostics));
    }
    // The tables' cost, for comparison: what a notice paid before the diagnostics were asked.
    tablesWithout.push_back(LookupCost(own.accepted(), platform::OwnerLookup::Tables));
    {
        const OtherSockets many(kOtherPairs);
        tablesWith.push_back(LookupCost(own.accepted(), platform::OwnerLookup::Tables));
    }
    for (const auto* costs : {&without, &with, &diagnosticsWithout, &diagnosticsWith, &tablesWithout, &tablesWith})
        if (std::any_of(costs->begin(), costs->end(), [](double c) { return c < 0; }))
            return std::fprintf(stderr, "a notice was not taken or a lookup failed\n"), 1;
    const double n0 = Median(without), n1 = Median(with);
    std::printf("\n%d notices one after another, the host's other sockets: none against %d (median of %d rounds):\n",
                kSerialNotices, others, kSocketRounds);
    std::printf("  a notice, no other sockets             %9.1f us\n", n0);
    std::printf("  a notice, %6d other sockets         %9.1f us   ratio %.2f (goal: at most 1.2) %s\n", others, n1,
                n1 / n0, n1 / n0 <= 1.2 ? "met" : "MISSED");
    std::printf("  owner lookup by socket diagnostics     %9.1f us   %9.1f us\n", Median(diagnosticsWithout),
                Median(diagnosticsWith));
    std::printf("  owner lookup by the tables             %9.1f us   %9.1f us   (one round)\n", Median(tablesWithout),
                Median(tablesWith));
    if (others < 2 * kOtherPairs)
        std::printf("  (only %d other sockets: the system allowed no more)\n", others);
    platform::com::uninitializeThread();
    return 0;
}
