#include "pagewriter/pagewriter.h"

#include "platform/registry.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

using platform::Hive;
using platform::RegistryKey;
using platform::RegStatus;
using platform::RegValue;

namespace {

constexpr const char* kKey = "SOFTWARE\\Kovra\\TqlStl2";

class PageWriterHelpers : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(RegistryKey::create(Hive::LocalMachine, kKey, key), RegStatus::Ok); }

    RegValue stored(const char* name)
    {
        RegValue value;
        EXPECT_EQ(key.query(name, value), RegStatus::Ok) << name;
        return value;
    }

    qelta::test::ScopedStateRoot root;
    RegistryKey key;
};

} // namespace

TEST_F(PageWriterHelpers, WritesNumbersAndTextsAsStrings)
{
    EXPECT_EQ(myWriteProfileData32(nullptr, "Copies", 300), 0);
    EXPECT_EQ(stored("Copies"), (RegValue{platform::RegType::String, "300"})) << "no terminating zero stored";
    EXPECT_EQ(myWriteProfileData32(nullptr, "Last", 0xFFFF), 0);
    EXPECT_EQ(stored("Last").data, "65535");

    const char* text = "Qelta Fax";
    ASSERT_GE(reinterpret_cast<uintptr_t>(text), 0x10000u);
    EXPECT_EQ(myWriteProfileData32(nullptr, "Name", reinterpret_cast<uintptr_t>(text)), 0);
    EXPECT_EQ(stored("name").data, "Qelta Fax");

    char buffer[128];
    EXPECT_EQ(myGetProfileData32(nullptr, "NAME", "default", buffer), 9);
    EXPECT_STREQ(buffer, "Qelta Fax");
    EXPECT_EQ(myGetProfileData32(nullptr, "Copies", "7", nullptr), 300);
}

TEST_F(PageWriterHelpers, ReadsBoundedWithDefaults)
{
    ASSERT_EQ(key.set("Long", RegValue::string(std::string(300, 'L'))), RegStatus::Ok);
    struct Guarded {
        char buffer[128];
        char guard[16];
    } out;
    std::memset(&out, 0x5A, sizeof out);
    EXPECT_EQ(myGetProfileData32(nullptr, "Long", "", out.buffer), 127);
    EXPECT_EQ(std::string(out.buffer), std::string(127, 'L'));
    EXPECT_EQ(std::string(out.guard, sizeof out.guard), std::string(sizeof out.guard, '\x5A'));

    // A default text over the buffer is cut the same way.
    const std::string longDefault(200, 'd');
    EXPECT_EQ(myGetProfileData32(nullptr, "Missing", longDefault.c_str(), out.buffer), 127);
    EXPECT_EQ(std::string(out.guard, sizeof out.guard), std::string(sizeof out.guard, '\x5A'));

    EXPECT_EQ(myGetProfileData32(nullptr, "Missing", "42abc", nullptr), 42);
    EXPECT_EQ(myGetProfileData32(nullptr, "Missing", "  -17 pages", nullptr), -17);
    EXPECT_EQ(myGetProfileData32(nullptr, "Missing", "99999999999", nullptr), 2147483647);
    EXPECT_EQ(myGetProfileData32(nullptr, "Missing", "none", nullptr), 0);
}

TEST_F(PageWriterHelpers, UnreadableKeyGivesDefaultAndAnError)
{
    ASSERT_EQ(platform::deleteKey(Hive::LocalMachine, kKey), RegStatus::Ok);
    char buffer[128] = "untouched";
    EXPECT_EQ(myGetProfileData32(nullptr, "Copies", "12", buffer), 2);
    EXPECT_STREQ(buffer, "12");
    EXPECT_EQ(myWriteProfileData32(nullptr, "Copies", 300), 2) << "key not found";

    // A hive that cannot be parsed is never written over.
    const std::string hive = platform::hiveFilePath(Hive::LocalMachine);
    qelta::test::writeTextFile(hive, "not a registry file\n");
    EXPECT_EQ(myGetProfileData32(nullptr, "Copies", "5x", nullptr), 5);
    EXPECT_EQ(myWriteProfileData32(nullptr, "Copies", 300), 5) << "access denied";
    EXPECT_EQ(qelta::test::readTextFile(hive), "not a registry file\n");
}

TEST(PageWriterMemory, AllocationAndOverlappingCopies)
{
    void* block = nullptr;
    EXPECT_EQ(xmalloc32(&block, 64), block);
    ASSERT_NE(block, nullptr);
    free32(&block);
    EXPECT_EQ(block, nullptr);
    free32(&block);
    free32(nullptr);

    using Copy = void* (*)(void*, const void*, size_t);
    for (Copy copy : {memcpy3232, memcpy3216, memcpy1616, memcpy1632}) {
        for (int shift : {-5, 5}) {
            char mine[32], reference[32];
            for (int i = 0; i < 32; ++i)
                mine[i] = reference[i] = char('a' + i % 26);
            char* to = mine + 10 + shift;
            EXPECT_EQ(copy(to, mine + 10, 12), to);
            std::memmove(reference + 10 + shift, reference + 10, 12);
            EXPECT_EQ(std::string(mine, 32), std::string(reference, 32)) << shift;
        }
    }
}

TEST(PageWriterLibrary, ExportsExactlyTheDriversNames)
{
    FILE* nm = ::popen("nm -D --defined-only " PAGEWRITER_LIBRARY, "r");
    ASSERT_NE(nm, nullptr);
    std::set<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, nm)) {
        char address[64], kind[8], name[256];
        if (std::sscanf(line, "%63s %7s %255s", address, kind, name) == 3)
            names.insert(name);
    }
    ASSERT_EQ(::pclose(nm), 0);
    EXPECT_EQ(names, (std::set<std::string>{"tiffCreateFile", "tiffAppendPage", "tiffCompleteFile", "dibOutputFile",
                                            "myGetProfileData32", "myWriteProfileData32", "xmalloc32", "free32",
                                            "memcpy3232", "memcpy3216", "memcpy1616", "memcpy1632"}));
}
