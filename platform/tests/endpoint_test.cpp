// Named endpoints found and posted to across processes.
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/tests/support/test_support.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <set>
#include <thread>

using namespace platform;
using qelta::test::helperProgram;
using qelta::test::readTextFile;
using qelta::test::ScopedStateRoot;

namespace {

// Waits (boundedly) until a helper has written its file.
std::string waitForFile(const std::string& path)
{
    for (int i = 0; i < 500 && !pathExists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return readTextFile(path);
}

} // namespace

TEST(Endpoint, RegisteredMessagesComeFromTheirNames)
{
    const uint32_t m = registerMessage("QELTA-LogEvent");
    EXPECT_GE(m, 0xC000u);
    EXPECT_LE(m, 0xFFFFu);
    EXPECT_EQ(registerMessage("qelta-logevent"), m);
    EXPECT_NE(registerMessage("QELTA-Other"), m);
}

TEST(Endpoint, FindPostReceiveAndGoAway)
{
    ScopedStateRoot root;
    EXPECT_EQ(findEndpoint("QELTA-UI2APP_CLASS", "QELTA-UI2APP_MAIN"), 0u);
    std::string error;
    auto endpoint = Endpoint::create("QELTA-UI2APP_CLASS", "QELTA-UI2APP_MAIN", &error);
    ASSERT_TRUE(endpoint) << error;
    const EndpointHandle h = endpoint->handle();
    EXPECT_NE(h, 0u);
    EXPECT_EQ(findEndpoint("qelta-ui2app_class", "QELTA-UI2APP_MAIN"), h) << "class names ignore case";
    EXPECT_EQ(findEndpoint("QELTA-UI2APP_CLASS", "other title"), 0u);
    EXPECT_TRUE(endpointExists(h));

    // One live endpoint per class and title.
    EXPECT_FALSE(Endpoint::create("QELTA-UI2APP_CLASS", "QELTA-UI2APP_MAIN", &error));
    EXPECT_FALSE(error.empty());

    PostedMessage m;
    EXPECT_FALSE(endpoint->receive(m)) << "nothing posted yet";
    ASSERT_TRUE(postMessage(h, 1124, 2, 1815));
    ASSERT_TRUE(postMessage(h, 1124, 1, -7));
    ASSERT_TRUE(endpoint->receive(m, 1000));
    EXPECT_EQ(m.message, 1124u);
    EXPECT_EQ(m.wParam, 2u);
    EXPECT_EQ(m.lParam, 1815);
    ASSERT_TRUE(endpoint->receive(m, 1000));
    EXPECT_EQ(m.lParam, -7) << "posts arrive in order";

    endpoint.reset();
    EXPECT_EQ(findEndpoint("QELTA-UI2APP_CLASS", "QELTA-UI2APP_MAIN"), 0u);
    EXPECT_FALSE(endpointExists(h));
    EXPECT_FALSE(postMessage(h, 1, 2, 3)) << "a gone endpoint takes no posts";
    EXPECT_TRUE(Endpoint::create("QELTA-UI2APP_CLASS", "QELTA-UI2APP_MAIN")) << "the name is free again";
}

TEST(Endpoint, HandlesAreUniqueWhileRegistered)
{
    ScopedStateRoot root;
    std::vector<std::unique_ptr<Endpoint>> all;
    std::set<EndpointHandle> handles;
    for (int i = 0; i < 200; ++i) {
        all.push_back(Endpoint::create("C", "title " + std::to_string(i)));
        ASSERT_TRUE(all.back());
        handles.insert(all.back()->handle());
    }
    EXPECT_EQ(handles.size(), 200u);
    EXPECT_FALSE(postMessage(0, 1, 1, 1));
}

TEST(Endpoint, PostsReachAnotherProcess)
{
    ScopedStateRoot root;
    const std::string file = root.path() + "/served";
    auto p = startProgram(helperProgram("platform_test_worker"), {"endpoint-serve", "QELTA-RTNAPP_CLASS", "QELTA-RTNAPP_MAIN", file});
    ASSERT_TRUE(p);
    const std::string handleText = waitForFile(file);
    ASSERT_FALSE(handleText.empty());
    const EndpointHandle h = findEndpoint("QELTA-RTNAPP_CLASS", "QELTA-RTNAPP_MAIN");
    EXPECT_EQ(std::to_string(h), handleText);
    EXPECT_FALSE(Endpoint::create("QELTA-RTNAPP_CLASS", "QELTA-RTNAPP_MAIN")) << "held by the other process";
    ASSERT_TRUE(postMessage(h, 49152, 4, 31));
    EXPECT_EQ(waitProgram(*p), 0);
    EXPECT_EQ(readTextFile(file + ".post"), "49152 4 31");
}

TEST(Endpoint, AKilledOwnerLeavesNoEndpointBehind)
{
    ScopedStateRoot root;
    const std::string file = root.path() + "/held";
    auto p = startProgram(helperProgram("platform_test_worker"), {"endpoint-hold", "QELTA-PhoneBookDialogs", "", file});
    ASSERT_TRUE(p);
    const EndpointHandle h = static_cast<EndpointHandle>(std::stoul(waitForFile(file)));
    EXPECT_EQ(findEndpoint("QELTA-PhoneBookDialogs", ""), h);
    ::kill(p->pid, SIGKILL);
    waitProgram(*p);
    EXPECT_EQ(findEndpoint("QELTA-PhoneBookDialogs", ""), 0u);
    EXPECT_FALSE(endpointExists(h));
    EXPECT_FALSE(postMessage(h, 1, 1, 1));
    EXPECT_TRUE(Endpoint::create("QELTA-PhoneBookDialogs", "")) << "a dead owner's name can be taken";
}
