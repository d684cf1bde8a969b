#include "sendlog/event_list.h"

#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace sendlog;
using qelta::test::readTextFile;
using qelta::test::ScopedStateRoot;
using qelta::test::writeTextFile;

namespace {

class EventListTest : public ::testing::Test {
protected:
    ScopedStateRoot root;
    std::string logDir = platform::joinPath(root.path(), "SentFax");
    std::string file = platform::joinPath(logDir, "eventlist.plm");

    void SetUp() override { ASSERT_TRUE(platform::createDirectories(logDir)); }

    std::unique_ptr<platform::Endpoint> endpoint(const std::string& title)
    {
        auto e = platform::Endpoint::create("QELTA-LogBrowser", title);
        EXPECT_TRUE(e) << title;
        return e;
    }

    std::vector<CRegacyCallback> registrations()
    {
        std::vector<CRegacyCallback> list;
        EXPECT_TRUE(ReadEventList(file, list));
        return list;
    }
};

using Post = std::tuple<uint32_t, uint32_t, int32_t>; // message, wParam, lParam

// The posts waiting at an endpoint (posting is done by the time this runs, so nothing is awaited).
std::vector<Post> drain(platform::Endpoint& e)
{
    std::vector<Post> got;
    platform::PostedMessage m;
    while (e.receive(m))
        got.emplace_back(m.message, m.wParam, m.lParam);
    return got;
}

std::string bytes(std::initializer_list<int> values)
{
    std::string s;
    for (int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

} // namespace

TEST_F(EventListTest, FileBytes)
{
    ASSERT_TRUE(RegisterCallback(logDir, 0x11223344, 0xC0DE, 5));
    const std::string one = readTextFile(file);
    const std::string expected = bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0x00}) + "CRegacyCallback" +
                                 bytes({0x44, 0x33, 0x22, 0x11, 0xDE, 0xC0, 0, 0, 5, 0, 0, 0});
    ASSERT_EQ(one.size(), 33u);
    EXPECT_EQ(one, expected);

    ASSERT_TRUE(RegisterCallback(logDir, 7, 0x80000001, 0xFFFFFFFF));
    const std::string two = readTextFile(file);
    ASSERT_EQ(two.size(), 47u);
    EXPECT_EQ(two.substr(0, 33), expected) << "the first record is not rewritten differently";
    EXPECT_EQ(two.substr(33), bytes({0x01, 0x80, 7, 0, 0, 0, 1, 0, 0, 0x80, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(EventListTest, ReadWriteRoundTrip)
{
    const std::vector<CRegacyCallback> list = {{1, 2, 3}, {0xFFFFFFFF, 0, 7}, {1, 2, 3}, {42, 0x1234, 4}};
    ASSERT_TRUE(WriteEventList(file, list));
    EXPECT_EQ(registrations(), list);

    ASSERT_TRUE(WriteEventList(file, {}));
    EXPECT_TRUE(platform::pathExists(file));
    EXPECT_EQ(readTextFile(file), "") << "an empty list is an empty file";
    std::vector<CRegacyCallback> read = {{9, 9, 9}};
    EXPECT_TRUE(ReadEventList(file, read));
    EXPECT_TRUE(read.empty());

    EXPECT_FALSE(ReadEventList(platform::joinPath(logDir, "missing.plm"), read));
}

TEST_F(EventListTest, DamagedFilesAreRefusedAndKept)
{
    const std::string good = encodeEventList({{1, 2, 3}, {4, 5, 6}});
    std::string wrongName = good;
    wrongName[6] = 'c';
    std::string wrongTag = good;
    wrongTag[34] = static_cast<char>(0x81);
    std::string wrongSchema = good;
    wrongSchema[2] = 0x01;
    std::string repeatedClass = good.substr(0, 33) + good.substr(0, 33);
    const std::vector<std::string> damaged = {
        good.substr(0, 32),                 // first record cut short
        good.substr(0, 46),                 // second record cut short
        good + bytes({0x01}),               // trailing byte
        good + bytes({0x01, 0x80}),         // tag without fields
        wrongName, wrongTag, wrongSchema, repeatedClass,
        bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0x00}) + "CRegacyCallbackX" + std::string(12, '\0'),
        std::string(kEventListMaxBytes + 1, '\0'),
    };
    for (size_t i = 0; i < damaged.size(); ++i) {
        SCOPED_TRACE(i);
        writeTextFile(file, damaged[i]);
        std::vector<CRegacyCallback> list;
        EXPECT_FALSE(ReadEventList(file, list));
        EXPECT_FALSE(RegisterCallback(logDir, 10, 11, 1));
        EXPECT_FALSE(UnregisterCallback(logDir, 1));
        PostLogEvent(logDir, 1, 1);
        EXPECT_EQ(readTextFile(file), damaged[i]) << "left byte for byte";
    }
}

TEST_F(EventListTest, LargestReadableFile)
{
    // The reader takes files up to 1 MiB; the writer never makes a larger one.
    const size_t fits = (kEventListMaxBytes - 33) / 14 + 1;
    std::vector<CRegacyCallback> list(fits, CRegacyCallback{1, 2, 3});
    ASSERT_TRUE(WriteEventList(file, list));
    EXPECT_EQ(registrations().size(), fits);
    list.push_back({4, 5, 6});
    EXPECT_FALSE(WriteEventList(file, list));
    EXPECT_EQ(registrations().size(), fits) << "the old file stays";
}

TEST_F(EventListTest, RegisterUnregister)
{
    EXPECT_FALSE(UnregisterCallback(logDir, 1)) << "no file";
    ASSERT_TRUE(RegisterCallback(logDir, 1, 100, 1));
    ASSERT_TRUE(RegisterCallback(logDir, 2, 200, 2));
    ASSERT_TRUE(RegisterCallback(logDir, 1, 101, 4));
    EXPECT_EQ(registrations(), (std::vector<CRegacyCallback>{{1, 100, 1}, {2, 200, 2}, {1, 101, 4}}));

    const std::string before = readTextFile(file);
    EXPECT_FALSE(UnregisterCallback(logDir, 3));
    EXPECT_EQ(readTextFile(file), before) << "unknown window: file unchanged";

    ASSERT_TRUE(UnregisterCallback(logDir, 1));
    EXPECT_EQ(registrations(), (std::vector<CRegacyCallback>{{2, 200, 2}, {1, 101, 4}})) << "only the first goes";
    ASSERT_TRUE(UnregisterCallback(logDir, 1));
    ASSERT_TRUE(UnregisterCallback(logDir, 2));
    EXPECT_EQ(readTextFile(file), "");
    EXPECT_TRUE(RegisterCallback(logDir, 5, 6, 7)) << "an empty file is a valid empty list";
}

TEST_F(EventListTest, PostsReachTheRegisteredEndpoints)
{
    auto browser = endpoint("browser");
    auto other = endpoint("other");
    ASSERT_TRUE(browser && other);
    ASSERT_TRUE(RegisterCallback(logDir, browser->handle(), 0xC123, kEventEntryWritten | kEventStatusChanged));
    ASSERT_TRUE(RegisterCallback(logDir, other->handle(), 0xC456, kEventEntryRemoved));

    PostLogEvent(logDir, kEventEntryWritten, 17);
    PostLogEvent(logDir, kEventEntryRemoved, -3);
    PostLogEvent(logDir, kEventStatusChanged, 0x7FFFFFFF);

    EXPECT_EQ(drain(*browser), (std::vector<Post>{{0xC123, kEventEntryWritten, 17}, {0xC123, kEventStatusChanged, 0x7FFFFFFF}}))
        << "mask 5 takes events 1 and 4 only";
    EXPECT_EQ(drain(*other), (std::vector<Post>{{0xC456, kEventEntryRemoved, -3}}));
}

TEST_F(EventListTest, TwoRegistrationsTwoPosts)
{
    auto browser = endpoint("browser");
    ASSERT_TRUE(browser);
    ASSERT_TRUE(RegisterCallback(logDir, browser->handle(), 0xC001, kEventEntryWritten));
    ASSERT_TRUE(RegisterCallback(logDir, browser->handle(), 0xC002, kEventEntryWritten));
    PostLogEvent(logDir, kEventEntryWritten, 1);
    EXPECT_EQ(drain(*browser), (std::vector<Post>{{0xC001, kEventEntryWritten, 1}, {0xC002, kEventEntryWritten, 1}}));

    ASSERT_TRUE(UnregisterCallback(logDir, browser->handle()));
    PostLogEvent(logDir, kEventEntryWritten, 2);
    EXPECT_EQ(drain(*browser), (std::vector<Post>{{0xC002, kEventEntryWritten, 2}}));
}

TEST_F(EventListTest, DeadEndpointsAreDropped)
{
    auto live = endpoint("live");
    auto dead = endpoint("dead");
    ASSERT_TRUE(live && dead);
    const platform::EndpointHandle deadHandle = dead->handle();
    ASSERT_TRUE(RegisterCallback(logDir, deadHandle, 0xD0, kEventEntryWritten));
    ASSERT_TRUE(RegisterCallback(logDir, live->handle(), 0xD1, kEventEntryWritten));
    ASSERT_TRUE(RegisterCallback(logDir, deadHandle, 0xD2, kEventEntryRemoved));
    dead.reset();

    PostLogEvent(logDir, kEventEntryRemoved, 1);
    EXPECT_EQ(registrations(), (std::vector<CRegacyCallback>{{deadHandle, 0xD0, 1}, {live->handle(), 0xD1, 1}}))
        << "only the registration posted to goes";
    EXPECT_TRUE(drain(*live).empty());

    PostLogEvent(logDir, kEventEntryWritten, 2);
    EXPECT_EQ(registrations(), (std::vector<CRegacyCallback>{{live->handle(), 0xD1, 1}}));
    EXPECT_EQ(drain(*live), (std::vector<Post>{{0xD1, kEventEntryWritten, 2}})) << "the live endpoint is still posted to";
}

TEST_F(EventListTest, MissingFilePostsNothing)
{
    PostLogEvent(logDir, kEventEntryWritten, 1);
    EXPECT_FALSE(platform::pathExists(file)) << "posting creates no file";
    ASSERT_TRUE(RegisterCallback(platform::joinPath(logDir, "new"), 1, 2, 3)) << "a missing file counts as empty";
}
