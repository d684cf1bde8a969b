// Named endpoints found and posted to across processes.
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/tests/support/test_support.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <sys/stat.h>
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

TEST(Endpoint, RegisteredMessagesAreUniquePerNameAcrossProcesses)
{
    ScopedStateRoot root;
    // Names of every kind, with two whose hashes once gave one number; each process registers all of
    // them, in its own order.
    std::vector<std::string> names{"qelta-msg-188", "qelta-msg-294", "QELTA-LogEvent"};
    for (int i = 0; i < 24; ++i)
        names.push_back("Name-" + std::to_string(i));
    std::vector<StartedProgram> workers;
    for (int w = 0; w < 4; ++w) {
        std::vector<std::string> args{"messages", root.path() + "/out" + std::to_string(w)};
        for (size_t i = 0; i < names.size(); ++i)
            args.push_back(names[(i * (w + 1) + static_cast<size_t>(w)) % names.size()]); // w+1 and 27 share no factor
        auto p = startProgram(helperProgram("platform_test_worker"), args);
        ASSERT_TRUE(p);
        workers.push_back(*p);
    }
    for (const auto& p : workers)
        EXPECT_EQ(waitProgram(p), 0);
    std::map<std::string, uint32_t> numberOf;
    for (int w = 0; w < 4; ++w) {
        std::istringstream lines(readTextFile(root.path() + "/out" + std::to_string(w)));
        std::string name;
        uint32_t number = 0;
        while (lines >> name >> number) {
            EXPECT_GE(number, 0xC000u) << name;
            EXPECT_LE(number, 0xFFFFu) << name;
            auto [it, added] = numberOf.emplace(name, number);
            EXPECT_EQ(it->second, number) << name << " differs between processes";
        }
    }
    ASSERT_EQ(numberOf.size(), names.size());
    std::set<uint32_t> numbers;
    for (const auto& [name, number] : numberOf)
        numbers.insert(number);
    EXPECT_EQ(numbers.size(), names.size()) << "two names share a number";
    EXPECT_EQ(registerMessage("qelta-logevent"), numberOf["QELTA-LogEvent"]) << "names ignore case";
    for (const std::string& bad : {std::string(), std::string(256, 'n'), std::string("line\nbreak")})
        EXPECT_EQ(registerMessage(bad), 0u);
}

TEST(Endpoint, FolderOpenToOthersOrLinksInItAreRefused)
{
    ScopedStateRoot root;
    const std::string folder = endpointFolder();
    std::string error;
    auto first = Endpoint::create("QELTA-A", "one", &error);
    ASSERT_TRUE(first) << error;
    auto second = Endpoint::create("QELTA-A", "two", &error);
    ASSERT_TRUE(second) << error;

    // A link in place of an endpoint's socket or handle lock reaches nobody.
    const auto base = [&](EndpointHandle h) {
        char name[16];
        std::snprintf(name, sizeof name, "h-%08x", h);
        return folder + "/" + name;
    };
    ASSERT_EQ(::unlink((base(first->handle()) + ".sock").c_str()), 0);
    ASSERT_EQ(::symlink((base(second->handle()) + ".sock").c_str(), (base(first->handle()) + ".sock").c_str()), 0);
    EXPECT_FALSE(postMessage(first->handle(), 0xC000, 1, 2));
    PostedMessage m;
    EXPECT_FALSE(second->receive(m, 50)) << "the post went through the link";
    const EndpointHandle unused = first->handle() ^ 1;
    ASSERT_EQ(::symlink((base(second->handle()) + ".lock").c_str(), (base(unused) + ".lock").c_str()), 0);
    EXPECT_FALSE(endpointExists(unused));

    // A folder that others may enter, or that is no folder of ours, stops every endpoint.
    const std::string elsewhere = root.path() + "/elsewhere";
    ASSERT_EQ(::mkdir(elsewhere.c_str(), 0700), 0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt == 0) {
            ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
        } else {
            ASSERT_EQ(::rename(folder.c_str(), (folder + ".old").c_str()), 0);
            ASSERT_EQ(::symlink(elsewhere.c_str(), folder.c_str()), 0);
        }
        EXPECT_FALSE(Endpoint::create("QELTA-B", "", &error));
        EXPECT_NE(error.find("endpoint folder"), std::string::npos) << error;
        EXPECT_EQ(findEndpoint("QELTA-A", "two"), 0u);
        EXPECT_EQ(registerMessage("QELTA-Other"), 0u);
    }
}

TEST(Endpoint, FallbackFolderIsPrivate)
{
    const int result = qelta::test::runInChild([] {
        ::unsetenv("QELTA_ROOT");
        ::unsetenv("XDG_RUNTIME_DIR");
        const std::string folder = endpointFolder();
        auto e = Endpoint::create("QELTA-FallbackTest", std::to_string(::getpid()));
        struct stat st {};
        const bool ok = folder == "/tmp/qelta-" + std::to_string(::getuid()) && e && ::lstat(folder.c_str(), &st) == 0
                        && S_ISDIR(st.st_mode) && (st.st_mode & 077) == 0 && st.st_uid == ::geteuid();
        return ok ? 0 : 1;
    });
    EXPECT_EQ(result, 0);
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
    EXPECT_TRUE(m.text.empty());

    // A text rides along up to its limit; a longer one is not posted at all.
    const std::string longest(kMaxPostText, 'p');
    ASSERT_TRUE(postMessage(h, 0xC001, 0, 0, longest));
    EXPECT_FALSE(postMessage(h, 0xC001, 0, 0, longest + "x"));
    ASSERT_TRUE(postMessage(h, 0xC001, 0, 0, std::string_view("a\0b", 3)));
    ASSERT_TRUE(endpoint->receive(m, 1000));
    EXPECT_EQ(m.text, longest);
    ASSERT_TRUE(endpoint->receive(m, 1000));
    EXPECT_EQ(m.text, std::string("a\0b", 3));
    EXPECT_FALSE(endpoint->receive(m, 100)) << "the refused post never arrived";

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

TEST(Endpoint, FoundByClassAloneAndTakenOnlyWhenNoneIsBusy)
{
    ScopedStateRoot root;
    EXPECT_EQ(findEndpointByClass("QELTA-PhoneBookEditor"), 0u);
    auto editor = Endpoint::create("QELTA-PhoneBookEditor", "Office - Phone book editor");
    ASSERT_TRUE(editor);
    EXPECT_EQ(findEndpointByClass("qelta-phonebookeditor"), editor->handle()) << "classes match without regard to case";
    EXPECT_EQ(findEndpointByClass("QELTA-PhoneBookDialogs"), 0u);

    bool busy = false;
    std::string why;
    EXPECT_FALSE(Endpoint::createUnlessBusy("QELTA-PhoneBookDialogs", "", {"QELTA-PhoneBookEditor"}, &busy, &why));
    EXPECT_TRUE(busy) << why;
    editor.reset();
    EXPECT_EQ(findEndpointByClass("QELTA-PhoneBookEditor"), 0u);
    auto dialogs = Endpoint::createUnlessBusy("QELTA-PhoneBookDialogs", "", {"QELTA-PhoneBookEditor"}, &busy);
    ASSERT_TRUE(dialogs);
    EXPECT_FALSE(busy);
    // Its own class and title are tested too; another title of the class is no conflict.
    EXPECT_FALSE(Endpoint::createUnlessBusy("QELTA-PhoneBookDialogs", "", {}, &busy));
    EXPECT_TRUE(busy);
    EXPECT_TRUE(Endpoint::createUnlessBusy("QELTA-PhoneBookDialogs", "other", {}, &busy));
    EXPECT_FALSE(Endpoint::createUnlessBusy("QELTA-PhoneBookEditor", "x", {"QELTA-PhoneBookDialogs"}, &busy));
    EXPECT_TRUE(busy);
}
