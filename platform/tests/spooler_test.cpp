#include "platform/spooler.h"
#include "platform/tests/support/test_support.h"
#include "platform/tests/support/recording_spooler.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace platform;
using Step = RecordingSpooler::Step;
using Calls = std::vector<std::string>;

namespace {

bool writeAll(PrinterHandle& printer, std::string_view bytes)
{
    size_t written = 0;
    if (!printer.write(bytes.data(), bytes.size(), written))
        return false;
    return written == bytes.size();
}

// Prints pages as a printing path does, stopping at the first refused call.
bool printDocument(PrinterHandle& printer, const std::vector<std::string>& pages)
{
    if (!printer.startDocument("Fax 0001", "RAW"))
        return false;
    for (const auto& page : pages)
        if (!printer.startPage() || !writeAll(printer, page) || !printer.endPage())
            return false;
    return printer.endDocument();
}

std::shared_ptr<RecordingSpooler> spoolerWithPrinter()
{
    auto spooler = std::make_shared<RecordingSpooler>();
    spooler->addPrinter("Qelta Fax", "qeltafax:/modem0");
    return spooler;
}

} // namespace

TEST(RecordingSpooler, RecordsMultiPageRawDocument)
{
    auto spooler = spoolerWithPrinter();
    const char raw[] = "\x1b%-12345X@PJL\r\n\0\xff tail";
    const std::string binaryPage(raw, sizeof raw - 1);
    {
        auto printer = spooler->openPrinter("Qelta Fax");
        ASSERT_TRUE(printer);
        EXPECT_TRUE(printDocument(*printer, {"page one", binaryPage, ""}));
    }
    const auto documents = spooler->documents();
    ASSERT_EQ(documents.size(), 1u);
    EXPECT_EQ(documents[0].printer, "Qelta Fax");
    EXPECT_EQ(documents[0].name, "Fax 0001");
    EXPECT_EQ(documents[0].dataType, "RAW");
    EXPECT_EQ(documents[0].pages, (std::vector<std::string>{"page one", binaryPage, ""}));
    EXPECT_TRUE(documents[0].ended);
    EXPECT_FALSE(documents[0].cancelled);
    EXPECT_EQ(spooler->calls(), (Calls{"open Qelta Fax", "startDocument Fax 0001 RAW", "startPage", "write 8",
                                       "endPage", "startPage", "write 22", "endPage", "startPage", "write 0",
                                       "endPage", "endDocument", "close"}));
}

TEST(RecordingSpooler, PrintersAndDeviceUris)
{
    auto spooler = spoolerWithPrinter();
    spooler->addPrinter("Plain");
    EXPECT_EQ(spooler->deviceUri("Qelta Fax"), "qeltafax:/modem0");
    EXPECT_EQ(spooler->deviceUri("Plain"), std::nullopt);
    EXPECT_EQ(spooler->deviceUri("Nobody"), std::nullopt);
    spooler->addPrinter("Plain", "socket://192.0.2.7:9100");
    EXPECT_EQ(spooler->deviceUri("Plain"), "socket://192.0.2.7:9100");

    EXPECT_FALSE(spooler->openPrinter("Nobody"));
    EXPECT_FALSE(spooler->openPrinter("qelta fax"));
    EXPECT_EQ(spooler->calls(), (Calls{"open Nobody", "open qelta fax"}));
}

TEST(RecordingSpooler, CallsOutOfOrderAreRefusedAndLeaveTheDocumentIntact)
{
    auto spooler = spoolerWithPrinter();
    auto printer = spooler->openPrinter("Qelta Fax");
    ASSERT_TRUE(printer);
    size_t written = 99;
    EXPECT_FALSE(printer->startPage());
    EXPECT_FALSE(printer->write("x", 1, written));
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(printer->endPage());
    EXPECT_FALSE(printer->endDocument());
    EXPECT_TRUE(spooler->documents().empty());

    ASSERT_TRUE(printer->startDocument("Fax", "RAW"));
    EXPECT_FALSE(printer->startDocument("Again", "RAW"));
    EXPECT_FALSE(printer->write("x", 1, written));
    EXPECT_FALSE(printer->endPage());
    ASSERT_TRUE(printer->startPage());
    EXPECT_FALSE(printer->startPage());
    EXPECT_FALSE(printer->endDocument());
    EXPECT_FALSE(printer->write(nullptr, 4, written));
    EXPECT_TRUE(writeAll(*printer, "abc"));
    EXPECT_TRUE(printer->endPage());
    EXPECT_TRUE(printer->endDocument());

    // A handle prints one document only.
    EXPECT_FALSE(printer->startDocument("Second", "RAW"));
    EXPECT_FALSE(printer->startPage());
    printer.reset();

    const auto documents = spooler->documents();
    ASSERT_EQ(documents.size(), 1u);
    EXPECT_EQ(documents[0].pages, (std::vector<std::string>{"abc"}));
    EXPECT_TRUE(documents[0].ended);
    EXPECT_FALSE(documents[0].cancelled);
    EXPECT_EQ(spooler->calls(),
              (Calls{"open Qelta Fax", "startPage", "write 0", "endPage", "endDocument", "startDocument Fax RAW",
                     "startDocument Again RAW", "write 0", "endPage", "startPage", "startPage", "endDocument",
                     "write 0", "write 3", "endPage", "endDocument", "startDocument Second RAW", "startPage",
                     "close"}));
}

TEST(RecordingSpooler, EachStepCanBeMadeToFail)
{
    struct Case {
        Step step;
        std::string failingCall;
    };
    const std::vector<Case> cases{{Step::StartDocument, "startDocument Fax 0001 RAW"},
                                  {Step::StartPage, "startPage"},
                                  {Step::Write, "write 0"},
                                  {Step::EndPage, "endPage"},
                                  {Step::EndDocument, "endDocument"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failingCall);
        auto spooler = spoolerWithPrinter();
        spooler->failAt(c.step);
        {
            auto printer = spooler->openPrinter("Qelta Fax");
            ASSERT_TRUE(printer);
            EXPECT_FALSE(printDocument(*printer, {"one", "two"}));
        }
        const auto calls = spooler->calls();
        ASSERT_GE(calls.size(), 3u);
        EXPECT_EQ(calls[calls.size() - 2], c.step == Step::StartDocument ? c.failingCall : "cancel");
        EXPECT_EQ(calls.back(), "close");
        const auto documents = spooler->documents();
        if (c.step == Step::StartDocument) {
            EXPECT_TRUE(documents.empty());
            continue;
        }
        ASSERT_EQ(documents.size(), 1u);
        EXPECT_FALSE(documents[0].ended);
        EXPECT_TRUE(documents[0].cancelled);
        EXPECT_EQ(calls[calls.size() - 3], c.failingCall);

        // The failure was used up: the next document goes through.
        auto printer = spooler->openPrinter("Qelta Fax");
        ASSERT_TRUE(printer);
        EXPECT_TRUE(printDocument(*printer, {"one", "two"}));
    }
}

TEST(RecordingSpooler, FailuresCountOccurrencesFromNow)
{
    auto spooler = spoolerWithPrinter();
    spooler->failAt(Step::Open, 2);
    EXPECT_TRUE(spooler->openPrinter("Qelta Fax"));
    EXPECT_FALSE(spooler->openPrinter("Qelta Fax"));
    EXPECT_TRUE(spooler->openPrinter("Qelta Fax"));

    auto printer = spooler->openPrinter("Qelta Fax");
    ASSERT_TRUE(printer);
    ASSERT_TRUE(printer->startDocument("Fax", "RAW"));
    ASSERT_TRUE(printer->startPage());
    size_t written = 0;
    spooler->failAt(Step::Write, 2);
    spooler->failAt(Step::Write, 3);
    EXPECT_TRUE(printer->write("aa", 2, written));
    EXPECT_FALSE(printer->write("bb", 2, written));
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(printer->write("cc", 2, written));
    EXPECT_TRUE(printer->write("dd", 2, written));
    // A call refused for its order does not use up a pending failure.
    spooler->failAt(Step::EndDocument);
    EXPECT_FALSE(printer->endDocument());
    EXPECT_TRUE(printer->endPage());
    EXPECT_FALSE(printer->endDocument());
    EXPECT_TRUE(printer->endDocument());
    EXPECT_EQ(spooler->documents().at(0).pages, (std::vector<std::string>{"aadd"}));

    spooler->failAt(Step::StartPage, 0); // nothing to count
    EXPECT_TRUE(printDocument(*spooler->openPrinter("Qelta Fax"), {"x"}));
}

TEST(RecordingSpooler, ShortWritesTakeAtMostTheLimit)
{
    auto spooler = spoolerWithPrinter();
    spooler->limitWrites(3);
    auto printer = spooler->openPrinter("Qelta Fax");
    ASSERT_TRUE(printer);
    ASSERT_TRUE(printer->startDocument("Fax", "raw"));
    ASSERT_TRUE(printer->startPage());
    const std::string bytes = "0123456";
    size_t done = 0;
    while (done < bytes.size()) {
        size_t written = 0;
        ASSERT_TRUE(printer->write(bytes.data() + done, bytes.size() - done, written));
        ASSERT_GT(written, 0u);
        done += written;
    }
    size_t written = 7;
    EXPECT_TRUE(printer->write(bytes.data(), 0, written));
    EXPECT_EQ(written, 0u);
    spooler->limitWrites(0);
    EXPECT_TRUE(writeAll(*printer, "unlimited"));
    EXPECT_TRUE(printer->endPage());
    EXPECT_TRUE(printer->endDocument());
    printer.reset();
    EXPECT_EQ(spooler->documents().at(0).pages, (std::vector<std::string>{"0123456unlimited"}));
    EXPECT_EQ(spooler->documents().at(0).dataType, "raw");
    EXPECT_EQ(spooler->calls(), (Calls{"open Qelta Fax", "startDocument Fax raw", "startPage", "write 3", "write 3",
                                       "write 1", "write 0", "write 9", "endPage", "endDocument", "close"}));
}

TEST(RecordingSpooler, ClosingCancelsOnlyAnUnfinishedDocument)
{
    auto spooler = spoolerWithPrinter();
    {
        auto printer = spooler->openPrinter("Qelta Fax");
        ASSERT_TRUE(printer->startDocument("In page", "RAW"));
        ASSERT_TRUE(printer->startPage());
        ASSERT_TRUE(writeAll(*printer, "half"));
    }
    {
        auto printer = spooler->openPrinter("Qelta Fax");
        ASSERT_TRUE(printer->startDocument("Between pages", "RAW"));
    }
    {
        auto printer = spooler->openPrinter("Qelta Fax");
        ASSERT_TRUE(printer->startDocument("Cancelled", "RAW"));
        printer->cancelDocument();
        EXPECT_FALSE(printer->startPage());
        EXPECT_FALSE(printer->endDocument());
    }
    {
        auto printer = spooler->openPrinter("Qelta Fax");
        ASSERT_TRUE(printDocument(*printer, {"done"}));
        printer->cancelDocument(); // too late: the document is complete
    }
    spooler->openPrinter("Qelta Fax"); // nothing started: nothing to cancel

    const auto documents = spooler->documents();
    ASSERT_EQ(documents.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(documents[i].cancelled) << documents[i].name;
        EXPECT_FALSE(documents[i].ended) << documents[i].name;
    }
    EXPECT_EQ(documents[0].pages, (std::vector<std::string>{"half"}));
    EXPECT_TRUE(documents[3].ended);
    EXPECT_FALSE(documents[3].cancelled);

    const auto calls = spooler->calls();
    const Calls expectedTail{"open Qelta Fax", "startDocument Fax 0001 RAW", "startPage", "write 4", "endPage",
                             "endDocument", "cancel", "close", "open Qelta Fax", "close"};
    ASSERT_GE(calls.size(), expectedTail.size());
    EXPECT_EQ(Calls(calls.end() - static_cast<long>(expectedTail.size()), calls.end()), expectedTail);
    EXPECT_EQ(Calls(calls.begin(), calls.begin() + 10),
              (Calls{"open Qelta Fax", "startDocument In page RAW", "startPage", "write 4", "cancel", "close",
                     "open Qelta Fax", "startDocument Between pages RAW", "cancel", "close"}));
}

TEST(RecordingSpooler, HandlesOnSeveralThreads)
{
    auto spooler = spoolerWithPrinter();
    constexpr int kThreads = 4;
    constexpr int kDocuments = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&spooler, t] {
            for (int d = 0; d < kDocuments; ++d) {
                auto printer = spooler->openPrinter("Qelta Fax");
                const std::string page = "thread " + std::to_string(t);
                if (!printer || !printDocument(*printer, {page, page}))
                    ADD_FAILURE() << "thread " << t << " document " << d;
            }
        });
    for (auto& thread : threads)
        thread.join();
    const auto documents = spooler->documents();
    ASSERT_EQ(documents.size(), static_cast<size_t>(kThreads * kDocuments));
    for (const auto& document : documents) {
        ASSERT_EQ(document.pages.size(), 2u);
        EXPECT_EQ(document.pages[0], document.pages[1]);
        EXPECT_TRUE(document.ended);
    }
    EXPECT_EQ(spooler->calls().size(), static_cast<size_t>(kThreads * kDocuments * 10));
}

TEST(Spooler, InstallingAndRestoring)
{
    auto fake = spoolerWithPrinter();
    const auto original = setSpooler(fake);
    ASSERT_TRUE(original);
    EXPECT_NE(original, fake);
    EXPECT_EQ(currentSpooler(), fake);
    EXPECT_TRUE(currentSpooler()->openPrinter("Qelta Fax"));

    EXPECT_EQ(setSpooler(original), fake);
    EXPECT_EQ(currentSpooler(), original);

    // Installing nothing goes back to a CUPS spooler.
    setSpooler(fake);
    EXPECT_EQ(setSpooler(nullptr), fake);
    const auto restored = currentSpooler();
    ASSERT_TRUE(restored);
    EXPECT_EQ(dynamic_cast<RecordingSpooler*>(restored.get()), nullptr);
    EXPECT_EQ(currentSpooler(), restored);
    setSpooler(original);
}

// The one lookup of a printer's name, step by step: the recorded queue while it prints with the
// recorded driver, the queue name, a description only of a suite queue, the name as it stands;
// a recorded name only ever means a queue of its recorded driver.
TEST(Spooler, APrinterNameMeansTheQueueTheLookupFindsFirst)
{
    const std::vector<Destination> queues{{"Qelta_Fax", "Office Laser", "", "Qelta Fax"},
                                          {"Front_Desk", "Office Laser", "", "Qelta Fax"},
                                          {"Lobby", "Office Laser", "", "Reception Fax"},
                                          {"Annex", "Qelta Driver", "", "Reception Fax"},
                                          {"Qelta_Fax_(1)", "Qelta Driver", "", "Qelta Fax (1)"},
                                          {"Fax:1", "Qelta Driver", "", ""},
                                          {"old_fax", "Office Laser", "", "Old Fax"},
                                          {"spare_fax", "Qelta Driver", "", ""}};
    const auto suite = [](const Destination& queue) { return printsWithDriver(queue, "Qelta Driver"); };
    const std::vector<PrinterRecord> records{{"Qelta_Fax_(1)", "Qelta Fax", "Qelta Driver"},
                                             {"Front_Desk", "Desk Fax", "Qelta Driver"},
                                             {"Gone", "Old Fax", "Qelta Driver"},
                                             {"Gone_Too", "Spare Fax", "Qelta Driver"}};
    const PrinterLookup recorded{records, suite, {}}, onlySuite{records, suite, suite}, plain{};
    struct Case {
        std::string name;
        const PrinterLookup* lookup;
        std::string queue; // "" when none
    };
    const std::vector<Case> cases{
        {"Qelta Fax", &recorded, "Qelta_Fax_(1)"},  // the record before the queue of its queue name
        {"QELTA FAX", &recorded, "Qelta_Fax_(1)"},  // in any case
        {"Qelta Fax", &plain, "Qelta_Fax"},         // without records: the queue name
        {"Desk Fax", &recorded, ""},                // the recorded queue prints with another driver now
        {"Old Fax", &recorded, ""},                 // the recorded queue is gone: another driver's never answers
        {"Old Fax", &plain, "old_fax"},             // which it does for a name without a record
        {"Spare Fax", &recorded, "spare_fax"},      // a queue of the recorded driver does
        {"Reception Fax", &recorded, "Annex"},      // a description names only a suite queue
        {"Reception Fax", &plain, "Lobby"},         // without a suite: the first described so
        {"Fax:1", &recorded, "Fax:1"},              // the name as it stands, last
        {"Qelta Fax", &onlySuite, "Qelta_Fax_(1)"}, {"Front_Desk", &onlySuite, ""}, {"", &plain, ""}};
    for (const auto& c : cases) {
        const Destination* found = findPrinterQueue(queues, c.name, *c.lookup);
        EXPECT_EQ(found ? found->name : "", c.queue) << c.name;
    }
}

namespace {

// Runs f on a new thread: CUPS reads its server setting once per thread.
template <typename F>
void onFreshThread(F f)
{
    std::thread(f).join();
}

} // namespace

TEST(CupsSpooler, UnknownPrinterOnTheConfiguredServer)
{
    auto spooler = makeCupsSpooler();
    onFreshThread([&] {
        EXPECT_FALSE(spooler->openPrinter("qelta-no-such-printer-4711"));
        EXPECT_FALSE(spooler->openPrinter(""));
        EXPECT_EQ(spooler->deviceUri("qelta-no-such-printer-4711"), std::nullopt);
    });
}

TEST(CupsSpooler, UnknownPrinterWhenNoServerAnswers)
{
    char folder[] = "/tmp/qelta-cups-XXXXXX";
    ASSERT_TRUE(::mkdtemp(folder));
    const std::string socket = std::string(folder) + "/cups.sock"; // never created
    const char* previous = std::getenv("CUPS_SERVER");
    const std::optional<std::string> saved = previous ? std::optional<std::string>(previous) : std::nullopt;
    // A loopback port that nobody listens on any more: the reason names the server with its port.
    int port = 0;
    ::close(qelta::test::listenOnLoopback(1, port));
    const std::string address = "127.0.0.1:" + std::to_string(port);

    for (const std::string& server : {socket, address}) {
        ::setenv("CUPS_SERVER", server.c_str(), 1);
        auto spooler = makeCupsSpooler();
        onFreshThread([&] {
            std::string error;
            EXPECT_FALSE(spooler->openPrinter("Qelta Fax", &error));
            EXPECT_EQ(error, "the CUPS server " + server + " cannot be reached");
            EXPECT_EQ(spooler->deviceUri("Qelta Fax"), std::nullopt);
            EXPECT_FALSE(spooler->addQueue({"Fax", "Fax", "qelta:/QELTA", ""}, &error));
            EXPECT_EQ(error, "the CUPS server " + server + " cannot be reached");
        });
    }

    saved ? ::setenv("CUPS_SERVER", saved->c_str(), 1) : ::unsetenv("CUPS_SERVER");
    ::rmdir(folder);
}

namespace {

// A server on 127.0.0.1 that takes every connection and its request but never answers one
// (silent), or answers with a status line and then one byte every 20 ms without end (trickling).
// It stops itself when the object goes.
class StallingServer {
public:
    explicit StallingServer(bool trickle) : trickle_(trickle)
    {
        listener_ = qelta::test::listenOnLoopback(16, port_, SOCK_NONBLOCK);
        if (listener_ < 0)
            return;
        thread_ = std::thread([this] { serve(); });
    }
    ~StallingServer()
    {
        stop_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        ::close(listener_);
        for (int fd : connections_)
            ::close(fd);
    }
    int port() const { return port_; }

private:
    // Every 20 ms: takes new connections, reads what came, and (trickling) sends one more byte of a
    // header that never ends. At most a minute, whatever happens.
    void serve()
    {
        std::vector<bool> answered;
        for (int round = 0; round < 3000 && !stop_; ++round) {
            for (int fd; (fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0;) {
                connections_.push_back(fd);
                answered.push_back(false);
            }
            for (size_t i = 0; i < connections_.size(); ++i) {
                char drain[4096];
                while (::recv(connections_[i], drain, sizeof drain, 0) > 0) {
                }
                if (!trickle_)
                    continue;
                if (!answered[i])
                    ::send(connections_[i], "HTTP/1.1 200 OK\r\n", 17, MSG_NOSIGNAL);
                answered[i] = true;
                ::send(connections_[i], "x", 1, MSG_NOSIGNAL);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    bool trickle_;
    int listener_ = -1, port_ = 0;
    std::atomic<bool> stop_{false};
    std::vector<int> connections_;
    std::thread thread_;
};

} // namespace

TEST(CupsSpooler, QueueCallsEndWithinTheTimeLimitWhenTheServerStallsOrTrickles)
{
    const char* previous = std::getenv("CUPS_SERVER");
    const std::optional<std::string> saved = previous ? std::optional<std::string>(previous) : std::nullopt;
    for (const bool trickle : {false, true}) {
        StallingServer server(trickle);
        ASSERT_GT(server.port(), 0);
        ::setenv("CUPS_SERVER", ("127.0.0.1:" + std::to_string(server.port())).c_str(), 1);
        const auto limit = std::chrono::milliseconds(800);
        auto spooler = makeCupsSpooler(limit);
        onFreshThread([&] {
            using Clock = std::chrono::steady_clock;
            const auto within = [&](const char* what, auto call) {
                const auto start = Clock::now();
                call();
                EXPECT_LT(Clock::now() - start, limit + std::chrono::seconds(3)) << what << (trickle ? " trickling" : " silent");
            };
            const std::string late =
                "the CUPS server 127.0.0.1:" + std::to_string(server.port()) + " did not answer in time";
            within("add", [&] {
                std::string error;
                EXPECT_FALSE(spooler->addQueue({"Fax", "Fax", "qelta:/QELTA", ""}, &error));
                EXPECT_EQ(error, late);
            });
            within("open", [&] {
                std::string error;
                EXPECT_FALSE(spooler->openPrinter("Fax", &error));
                EXPECT_EQ(error, late);
            });
            within("remove", [&] { EXPECT_FALSE(spooler->removeQueue("Fax")); });
            within("default", [&] { EXPECT_FALSE(spooler->setDefaultDestination("Fax")); });
            within("ask default", [&] { EXPECT_EQ(spooler->defaultDestination(), std::nullopt); });
            within("model", [&] { EXPECT_EQ(spooler->makeAndModel("Fax"), std::nullopt); });
            within("list", [&] { EXPECT_EQ(spooler->listDestinations(limit), std::nullopt); });
        });
    }
    saved ? ::setenv("CUPS_SERVER", saved->c_str(), 1) : ::unsetenv("CUPS_SERVER");
}
