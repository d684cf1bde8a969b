// The tray program as a process: one per user, its published values while it listens and after
// each way it is stopped, a crashed run's values replaced, and a notice over the network reaching
// the sending log.
#include "platform/endpoint.h"
#include "resultmonitor/app/result_frame.h"
#include "resultmonitor/tests/monitor_process.h"

#include <gtest/gtest.h>

namespace {

using monitor_test::kCleared;
using monitor_test::MonitorProcess;
using monitor_test::ReadPublished;

TEST(MonitorProgram, ASecondStartEndsAtOnceAndTheFirstKeepsListening)
{
    qelta::test::ScopedStateRoot root;
    MonitorProcess first;
    ASSERT_TRUE(first.Started());
    const int port = first.WaitUntilListening();
    ASSERT_NE(port, 0);
    const platform::EndpointHandle handle = platform::findEndpoint(kMonitorClass, kMonitorTitle);
    EXPECT_NE(handle, 0u);

    MonitorProcess second;
    EXPECT_EQ(second.WaitForEnd(), 0);
    EXPECT_EQ(platform::findEndpoint(kMonitorClass, kMonitorTitle), handle) << "the first keeps its endpoint";
    EXPECT_EQ(ReadPublished(), (monitor_test::Published{std::to_string(port), "127.0.0.1", 1}));
    EXPECT_FALSE(first.WaitForEnd(0));
}

// Each way of stopping the monitor leaves the values cleared and the endpoint free.
TEST(MonitorProgram, ACloseRequestAndTheStopSignalsClearTheValues)
{
    const struct {
        const char* how;
        std::function<void(MonitorProcess&)> stop;
    } cases[] = {
        {"WM_CLOSE from another process",
         [](MonitorProcess&) {
             EXPECT_TRUE(platform::postMessage(platform::findEndpoint(kMonitorClass, kMonitorTitle), kWmClose, 0, 0));
         }},
        {"SIGTERM", [](MonitorProcess& m) { ::kill(m.Pid(), SIGTERM); }},
        {"SIGINT", [](MonitorProcess& m) { ::kill(m.Pid(), SIGINT); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        qelta::test::ScopedStateRoot root;
        MonitorProcess monitor;
        ASSERT_NE(monitor.WaitUntilListening(), 0);
        c.stop(monitor);
        EXPECT_EQ(monitor.WaitForEnd(), 0);
        EXPECT_EQ(ReadPublished(), kCleared);
        EXPECT_EQ(platform::findEndpoint(kMonitorClass, kMonitorTitle), 0u) << "the endpoint is released";
    }
}

TEST(MonitorProgram, AfterAKillTheNextMonitorReplacesTheDeadValues)
{
    qelta::test::ScopedStateRoot root;
    int deadPort = 0;
    {
        MonitorProcess crashed;
        deadPort = crashed.WaitUntilListening();
        ASSERT_NE(deadPort, 0);
        ::kill(crashed.Pid(), SIGKILL);
        EXPECT_EQ(crashed.WaitForEnd(), 128 + SIGKILL);
    }
    EXPECT_EQ(ReadPublished().running, 1u) << "a killed monitor cannot clear its values";

    MonitorProcess next;
    const int port = next.WaitUntilListening(deadPort);
    ASSERT_NE(port, 0);
    // The port now published is one that listens.
    EXPECT_EQ(ReadPublished(), (monitor_test::Published{std::to_string(port), "127.0.0.1", 1}));
    EXPECT_NE(platform::findEndpoint(kMonitorClass, kMonitorTitle), 0u);
    ::kill(next.Pid(), SIGTERM);
    EXPECT_EQ(next.WaitForEnd(), 0);
}

} // namespace
