// The registry shared by several real processes.
#include "platform/files.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/tests/support/test_support.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <thread>

using namespace platform;
using qelta::test::helperProgram;
using qelta::test::readTextFile;
using qelta::test::ScopedStateRoot;

namespace {

int worker(const std::vector<std::string>& args)
{
    std::string error;
    const int rc = runProgram(helperProgram("platform_test_worker"), args, &error);
    EXPECT_EQ(rc, 0) << error;
    return rc;
}

} // namespace

TEST(RegistryProcesses, EachSeesTheOthersWritesAtOnce)
{
    ScopedStateRoot root;
    RegistryKey key;
    ASSERT_EQ(RegistryKey::create(Hive::CurrentUser, "SOFTWARE\\Kovra\\TqlStl2", key), RegStatus::Ok);
    ASSERT_EQ(key.set("FromTest", RegValue::string("hello")), RegStatus::Ok);

    const std::string out = root.path() + "/read.txt";
    worker({"reg-read", "HKCU", "software\\kovra\\tqlstl2", "fromtest", out});
    EXPECT_EQ(readTextFile(out), "hello");

    // Our cached tree must give way to the other process's write.
    worker({"reg-write", "HKCU", "SOFTWARE\\Kovra\\TqlStl2", "Worker", "1"});
    RegValue value;
    ASSERT_EQ(key.query("Worker-0", value), RegStatus::Ok);
    EXPECT_EQ(value.text(), "0");

    ASSERT_EQ(key.set("FromTest", RegValue::string("changed")), RegStatus::Ok);
    worker({"reg-read", "HKCU", "SOFTWARE\\Kovra\\TqlStl2", "FromTest", out});
    EXPECT_EQ(readTextFile(out), "changed");
}

TEST(RegistryProcesses, ConcurrentWritersLoseNothing)
{
    ScopedStateRoot root;
    constexpr int kWriters = 4, kValues = 200;
    std::vector<StartedProgram> started;
    for (int w = 0; w < kWriters; ++w) {
        auto p = startProgram(helperProgram("platform_test_worker"),
                              {"reg-write", "HKLM", "SOFTWARE\\Kovra\\Shared", "W" + std::to_string(w),
                               std::to_string(kValues)});
        ASSERT_TRUE(p);
        started.push_back(*p);
    }
    for (const auto& p : started)
        EXPECT_EQ(waitProgram(p), 0);

    RegistryKey key;
    ASSERT_EQ(RegistryKey::open(Hive::LocalMachine, "SOFTWARE\\Kovra\\Shared", key), RegStatus::Ok);
    std::vector<std::pair<std::string, RegValue>> values;
    ASSERT_EQ(key.values(values), RegStatus::Ok);
    EXPECT_EQ(values.size(), size_t(kWriters * kValues));
    for (int w = 0; w < kWriters; ++w)
        for (int i = 0; i < kValues; ++i) {
            RegValue v;
            ASSERT_EQ(key.query("W" + std::to_string(w) + "-" + std::to_string(i), v), RegStatus::Ok);
            EXPECT_EQ(v.text(), std::to_string(i));
        }
}

TEST(RegistryProcesses, KilledWriterNeverLeavesAnUnreadableHive)
{
    ScopedStateRoot root;
    RegistryKey key;
    ASSERT_EQ(RegistryKey::create(Hive::CurrentUser, "Keep", key), RegStatus::Ok);
    ASSERT_EQ(key.set("Survivor", RegValue::string("still here")), RegStatus::Ok);
    const std::string path = hiveFilePath(Hive::CurrentUser);

    std::mt19937 random(12345);
    for (int round = 0; round < 40; ++round) {
        auto p = startProgram(helperProgram("platform_test_worker"), {"reg-loop", "HKCU", "Busy"});
        ASSERT_TRUE(p);
        std::this_thread::sleep_for(std::chrono::microseconds(500 + random() % 15000));
        ::kill(p->pid, SIGKILL);
        EXPECT_EQ(waitProgram(*p), 128 + SIGKILL);

        std::string error;
        ASSERT_TRUE(parseHiveText(readTextFile(path), "HKEY_CURRENT_USER", &error)) << "round " << round << ": " << error;
        RegValue value;
        ASSERT_EQ(key.query("Survivor", value), RegStatus::Ok);
        EXPECT_EQ(value.text(), "still here");
    }
    // Temporary files of killed writers are swept by the next write.
    ASSERT_EQ(key.set("After", RegValue::dword(1)), RegStatus::Ok);
    EXPECT_TRUE(listFiles(parentPath(path), ".HKCU.reg.tmp-*").empty());
}
