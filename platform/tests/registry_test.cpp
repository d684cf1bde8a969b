#include "platform/files.h"
#include "platform/registry.h"
#include "platform/tests/support/test_support.h"

#include <chrono>
#include <fstream>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <thread>

using namespace platform;
using qelta::test::readTextFile;
using qelta::test::runInChild;
using qelta::test::ScopedStateRoot;
using qelta::test::writeTextFile;

namespace {

const char* const kProduct = "SOFTWARE\\Kovra\\TqlStl2";

RegistryKey created(Hive hive, std::string_view path)
{
    RegistryKey key;
    EXPECT_EQ(RegistryKey::create(hive, path, key), RegStatus::Ok) << registryLastError();
    return key;
}

// The hive as a fresh process would load it from disk.
std::unique_ptr<RegNode> loadFromDisk(Hive hive)
{
    std::string error;
    auto tree = parseHiveText(readTextFile(hiveFilePath(hive)), hiveRootName(hive), &error);
    EXPECT_TRUE(tree) << error;
    return tree;
}

const RegValue* diskValue(const RegNode& root, std::initializer_list<std::string_view> path, std::string_view name)
{
    const RegNode* node = &root;
    for (auto part : path) {
        node = node->child(part);
        if (!node)
            return nullptr;
    }
    return node->value(name);
}

} // namespace

TEST(Registry, KeyPathsAndValueNamesIgnoreCase)
{
    ScopedStateRoot root;
    RegistryKey key = created(Hive::CurrentUser, kProduct);
    ASSERT_EQ(key.set("PhonebookDirectory", RegValue::string("/data/pb")), RegStatus::Ok);

    RegistryKey upper;
    ASSERT_EQ(RegistryKey::open(Hive::CurrentUser, "SOFTWARE\\KOVRA\\TQLSTL2", upper), RegStatus::Ok);
    RegValue value;
    ASSERT_EQ(upper.query("PHONEBOOKDIRECTORY", value), RegStatus::Ok);
    EXPECT_EQ(value.text(), "/data/pb");

    // A write through another spelling changes the one value and keeps its first spelling.
    ASSERT_EQ(upper.set("phonebookdirectory", RegValue::string("/other")), RegStatus::Ok);
    std::vector<std::pair<std::string, RegValue>> values;
    ASSERT_EQ(key.values(values), RegStatus::Ok);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].first, "PhonebookDirectory");
    EXPECT_EQ(values[0].second.text(), "/other");

    // Creating the key again under another spelling makes no second key.
    created(Hive::CurrentUser, "software\\kovra\\tqlstl2\\Sub");
    RegistryKey kovra;
    ASSERT_EQ(RegistryKey::open(Hive::CurrentUser, "Software\\Kovra", kovra), RegStatus::Ok);
    std::vector<std::string> names;
    ASSERT_EQ(kovra.subKeys(names), RegStatus::Ok);
    EXPECT_EQ(names, std::vector<std::string>{"TqlStl2"});
}

TEST(Registry, EveryValueTypeSurvivesTheFile)
{
    ScopedStateRoot root;
    RegistryKey key = created(Hive::LocalMachine, kProduct);
    std::string allBytes;
    for (int b = 0; b < 256; ++b)
        allBytes.push_back(static_cast<char>(b));
    const std::vector<std::pair<std::string, RegValue>> cases = {
        {"", RegValue::string("the default value")},
        {"Plain", RegValue::string("C:\\Program Files\\Qelta\\ \"quoted\" caf\xC3\xA9")},
        {"Empty", RegValue::string("")},
        {"Lines", RegValue::string("one\r\ntwo\tthree")},
        {"NotUtf8", RegValue::string("\xFF\xFE broken \xC3")},
        {"NoTerminator", RegValue{RegType::String, "abc"}},
        {"Expand", RegValue{RegType::ExpandString, std::string("%HOME%/x\0", 10)}},
        {"Number", RegValue::dword(0xDEADBEEF)},
        {"Zero", RegValue::dword(0)},
        {"ShortDword", RegValue{RegType::Dword, "\x01\x02"}},
        {"Bytes", RegValue::binary(allBytes)},
        {"NoBytes", RegValue::binary("")},
        {"List", RegValue::multiString({"first", "second", "\xE6\x97\xA5\xE6\x9C\xAC"})},
        {"Quad", RegValue{RegType::Qword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)}},
        {"Name \"with\" \\ quotes", RegValue::string("v")},
    };
    for (const auto& [name, value] : cases)
        ASSERT_EQ(key.set(name, value), RegStatus::Ok) << name;

    auto disk = loadFromDisk(Hive::LocalMachine);
    ASSERT_TRUE(disk);
    for (const auto& [name, value] : cases) {
        const RegValue* stored = diskValue(*disk, {"SOFTWARE", "Kovra", "TqlStl2"}, name);
        ASSERT_TRUE(stored) << name;
        EXPECT_EQ(stored->type, value.type) << name;
        EXPECT_EQ(stored->data, value.data) << name;
        RegValue read;
        ASSERT_EQ(key.query(name, read), RegStatus::Ok);
        EXPECT_EQ(read, value) << name;
    }
    EXPECT_EQ(RegValue::multiString({"a", "b"}).texts(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(RegValue::dword(42).number(), 42u);
}

TEST(Registry, FileIsReadableRegText)
{
    ScopedStateRoot root;
    RegistryKey key = created(Hive::CurrentUser, "SOFTWARE\\Kovra\\TqlStl2");
    ASSERT_EQ(key.set("Name", RegValue::string("a \"b\" \\c")), RegStatus::Ok);
    ASSERT_EQ(key.set("Count", RegValue::dword(42)), RegStatus::Ok);
    ASSERT_EQ(key.set("", RegValue::string("dflt")), RegStatus::Ok);
    ASSERT_EQ(key.set("Blob", RegValue::binary("\x01\xff")), RegStatus::Ok);
    created(Hive::CurrentUser, "SOFTWARE\\Empty");
    EXPECT_EQ(readTextFile(hiveFilePath(Hive::CurrentUser)),
              "Windows Registry Editor Version 5.00\n"
              "\n[HKEY_CURRENT_USER\\SOFTWARE]\n"
              "\n[HKEY_CURRENT_USER\\SOFTWARE\\Empty]\n"
              "\n[HKEY_CURRENT_USER\\SOFTWARE\\Kovra]\n"
              "\n[HKEY_CURRENT_USER\\SOFTWARE\\Kovra\\TqlStl2]\n"
              "\"Name\"=\"a \\\"b\\\" \\\\c\"\n"
              "\"Count\"=dword:0000002a\n"
              "@=\"dflt\"\n"
              "\"Blob\"=hex:01,ff\n");
}

TEST(Registry, LongHexDataWrapsAndReadsBack)
{
    ScopedStateRoot root;
    RegistryKey key = created(Hive::CurrentUser, "K");
    const std::string big(5000, '\x5A');
    ASSERT_EQ(key.set("Big", RegValue::binary(big)), RegStatus::Ok);
    const std::string text = readTextFile(hiveFilePath(Hive::CurrentUser));
    EXPECT_NE(text.find(",\\\n  5a"), std::string::npos);
    auto disk = loadFromDisk(Hive::CurrentUser);
    ASSERT_TRUE(disk);
    EXPECT_EQ(diskValue(*disk, {"K"}, "Big")->data, big);
}

TEST(Registry, MissingKeysValuesAndBadNames)
{
    ScopedStateRoot root;
    RegistryKey key;
    EXPECT_EQ(RegistryKey::open(Hive::CurrentUser, "Nope", key), RegStatus::NotFound);
    EXPECT_FALSE(pathExists(hiveFilePath(Hive::CurrentUser))) << "a read must not create the hive";

    key = created(Hive::CurrentUser, "A\\B");
    RegValue value;
    EXPECT_EQ(key.query("missing", value), RegStatus::NotFound);
    EXPECT_EQ(key.removeValue("missing"), RegStatus::NotFound);

    EXPECT_EQ(RegistryKey::create(Hive::CurrentUser, "A\\\\B", key), RegStatus::InvalidName);
    EXPECT_EQ(RegistryKey::create(Hive::CurrentUser, std::string(256, 'k'), key), RegStatus::InvalidName);
    EXPECT_EQ(RegistryKey::create(Hive::CurrentUser, std::string(255, 'k'), key), RegStatus::Ok);
    EXPECT_EQ(RegistryKey::create(Hive::CurrentUser, "A\nB", key), RegStatus::InvalidName);
    std::string deep;
    for (int i = 0; i < 600; ++i)
        deep += "d\\";
    EXPECT_EQ(RegistryKey::create(Hive::CurrentUser, deep, key), RegStatus::InvalidName);

    key = created(Hive::CurrentUser, "A\\B");
    EXPECT_EQ(key.set("bad\nname", RegValue::string("x")), RegStatus::InvalidName);
    EXPECT_EQ(key.set("big", RegValue::binary(std::string(kMaxValueDataBytes + 1, 'x'))), RegStatus::InvalidName);
    EXPECT_FALSE(registryLastError().empty());

    // A trailing separator names the same key.
    RegistryKey same;
    EXPECT_EQ(RegistryKey::open(Hive::CurrentUser, "a\\b\\", same), RegStatus::Ok);
}

TEST(Registry, DeletingKeysAndValues)
{
    ScopedStateRoot root;
    RegistryKey key = created(Hive::CurrentUser, "Top\\Mid\\Leaf");
    ASSERT_EQ(key.set("v", RegValue::dword(1)), RegStatus::Ok);
    ASSERT_EQ(key.removeValue("V"), RegStatus::Ok);
    RegValue value;
    EXPECT_EQ(key.query("v", value), RegStatus::NotFound);

    EXPECT_EQ(deleteKey(Hive::CurrentUser, "Top\\Mid"), RegStatus::InvalidName) << "has sub-keys";
    EXPECT_EQ(deleteKey(Hive::CurrentUser, ""), RegStatus::InvalidName);
    EXPECT_EQ(deleteKey(Hive::CurrentUser, "TOP\\MID\\LEAF"), RegStatus::Ok);
    EXPECT_EQ(key.set("v", RegValue::dword(1)), RegStatus::NotFound) << "a removed key takes no values";
    EXPECT_EQ(deleteKey(Hive::CurrentUser, "Top\\Mid\\Leaf"), RegStatus::NotFound);

    created(Hive::CurrentUser, "Top\\Mid\\Other\\Deeper");
    EXPECT_EQ(deleteKeyTree(Hive::CurrentUser, "top"), RegStatus::Ok);
    EXPECT_FALSE(keyExists(Hive::CurrentUser, "Top"));
    EXPECT_TRUE(keyExists(Hive::CurrentUser, ""));
}

TEST(Registry, HivesAreSeparateFiles)
{
    ScopedStateRoot root;
    created(Hive::CurrentUser, "OnlyUser");
    created(Hive::ClassesRoot, "CLSID\\{00000000-0000-0000-0000-000000000001}");
    EXPECT_FALSE(keyExists(Hive::LocalMachine, "OnlyUser"));
    EXPECT_FALSE(keyExists(Hive::CurrentUser, "CLSID"));
    EXPECT_TRUE(keyExists(Hive::ClassesRoot, "clsid"));
    EXPECT_NE(hiveFilePath(Hive::CurrentUser), hiveFilePath(Hive::LocalMachine));
    EXPECT_EQ(hiveFilePath(Hive::ClassesRoot).rfind(root.path(), 0), 0u);
}

TEST(Registry, DamagedHiveIsReportedAndNeverOverwritten)
{
    ScopedStateRoot root;
    const std::string path = hiveFilePath(Hive::CurrentUser);
    const std::string garbage = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:zz\n";
    writeTextFile(path, garbage);

    RegistryKey key;
    EXPECT_EQ(RegistryKey::open(Hive::CurrentUser, "A", key), RegStatus::Corrupt);
    EXPECT_NE(registryLastError().find("line 4"), std::string::npos) << registryLastError();
    EXPECT_EQ(RegistryKey::create(Hive::CurrentUser, "B", key), RegStatus::Corrupt);
    EXPECT_EQ(deleteKeyTree(Hive::CurrentUser, "A"), RegStatus::Corrupt);
    EXPECT_EQ(readTextFile(path), garbage);

    // Once repaired by hand, the hive works again.
    writeTextFile(path, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:00000007\n");
    ASSERT_EQ(RegistryKey::open(Hive::CurrentUser, "A", key), RegStatus::Ok);
    RegValue value;
    ASSERT_EQ(key.query("v", value), RegStatus::Ok);
    EXPECT_EQ(value.number(), 7u);
}

namespace {
// Bytes this process has read through system calls so far.
unsigned long long bytesRead()
{
    std::ifstream io("/proc/self/io");
    std::string name;
    unsigned long long value = 0;
    while (io >> name >> value)
        if (name == "rchar:")
            return value;
    return 0;
}
} // namespace

TEST(Registry, DamagedHiveIsReadOncePerChange)
{
    ScopedStateRoot root;
    const std::string path = hiveFilePath(Hive::CurrentUser);
    std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n";
    while (text.size() < (1u << 20))
        text += "\"v" + std::to_string(text.size()) + "\"=\"some text to make the hive large\"\n";
    writeTextFile(path, text + "\"bad\"=dword:zz\n");

    RegistryKey key;
    ASSERT_EQ(RegistryKey::open(Hive::CurrentUser, "A", key), RegStatus::Corrupt);
    const unsigned long long before = bytesRead();
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(RegistryKey::open(Hive::CurrentUser, "A", key), RegStatus::Corrupt);
        EXPECT_EQ(RegistryKey::create(Hive::CurrentUser, "B", key), RegStatus::Corrupt);
        EXPECT_NE(registryLastError().find("damaged hive"), std::string::npos) << registryLastError();
    }
    EXPECT_LT(bytesRead() - before, text.size()) << "the damaged hive was read again";

    writeTextFile(path, text); // mended: read again at once
    EXPECT_EQ(RegistryKey::open(Hive::CurrentUser, "A", key), RegStatus::Ok);
}

TEST(Registry, AHiveThatIsNoRegularFileIsRefusedWithoutWaiting)
{
    ScopedStateRoot root;
    const std::string path = hiveFilePath(Hive::LocalMachine);
    ASSERT_TRUE(createDirectories(parentPath(path)));
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const int result = runInChild([] {
        RegistryKey key;
        const bool refused = RegistryKey::open(Hive::LocalMachine, "A", key) == RegStatus::IoError
                             && RegistryKey::create(Hive::LocalMachine, "A", key) == RegStatus::IoError;
        return refused ? 0 : 1;
    });
    EXPECT_EQ(result, 0) << (result < 0 ? "blocked on the FIFO" : "not refused");
}

TEST(Registry, UpdateRefusesTheRegistryInsideItsChange)
{
    ScopedStateRoot root;
    RegistryKey key = created(Hive::CurrentUser, "A");
    const int result = runInChild([&] {
        std::vector<RegStatus> inside;
        const RegStatus s = key.update("n", [&](const RegValue*) {
            RegValue v;
            RegistryKey other;
            inside.push_back(key.query("n", v));
            inside.push_back(RegistryKey::create(Hive::LocalMachine, "B", other));
            inside.push_back(key.set("m", RegValue::dword(2)));
            return std::optional<RegValue>(RegValue::dword(1));
        });
        RegValue v;
        const bool ok = s == RegStatus::Ok && inside == std::vector<RegStatus>(3, RegStatus::Reentered)
                        && key.query("n", v) == RegStatus::Ok && v.number() == 1
                        && !keyExists(Hive::LocalMachine, "B");
        return ok ? 0 : 1;
    });
    EXPECT_EQ(result, 0) << (result < 0 ? "deadlocked" : "a registry call inside the change was not refused");
}

TEST(Registry, EditsMadeBehindItsBackAreSeen)
{
    ScopedStateRoot root;
    RegistryKey key = created(Hive::CurrentUser, "A");
    ASSERT_EQ(key.set("v", RegValue::string("one")), RegStatus::Ok);
    // Rewritten in place with the same size: the modification time still tells. A person's edit comes
    // well after the last write; wait past the file system's time-stamp granularity to be one.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::string path = hiveFilePath(Hive::CurrentUser);
    std::string text = readTextFile(path);
    text.replace(text.find("\"one\""), 5, "\"two\"");
    FILE* f = std::fopen(path.c_str(), "r+");
    ASSERT_TRUE(f);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    RegValue value;
    ASSERT_EQ(key.query("v", value), RegStatus::Ok);
    EXPECT_EQ(value.text(), "two");
}

TEST(RegistryText, RejectsMalformedInput)
{
    const std::string header = "Windows Registry Editor Version 5.00\n";
    const std::vector<std::string> bad = {
        "not a registry file\n",
        header + "\"v\"=\"before any key\"\n",
        header + "[HKEY_LOCAL_MACHINE\\Other]\n",
        header + "[HKEY_CURRENT_USERX]\n",
        header + "[-HKEY_CURRENT_USER\\A]\n",
        header + "[HKEY_CURRENT_USER\\A\n",
        header + "[HKEY_CURRENT_USER\\A\\\\B]\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=-\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"\"x\"\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v=\"x\"\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=\"unterminated\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=\"bad \\escape\"\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=\"x\" trailing\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=dword:123\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=hex:1,2\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01,,02\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=hex(zz):01\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=hex(123456789):01\n",
        header + "[HKEY_CURRENT_USER\\A]\n\"v\"=text\n",
        header + "[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]\n",
    };
    for (const auto& text : bad) {
        std::string error;
        EXPECT_FALSE(parseHiveText(text, "HKEY_CURRENT_USER", &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(RegistryText, AcceptsTheUsualVariations)
{
    const std::string text = "\xEF\xBB\xBFREGEDIT4\r\n"
                             "; a comment\r\n"
                             "\r\n"
                             "[hkey_current_user\\A]\r\n"
                             "  \"V\" = \"x\"  \r\n"
                             "\"Hex\"=hex(2):41,\\\r\n"
                             "   42,00\r\n"
                             "; a comment that ends in a backslash, as in C:\\\r\n"
                             "[HKEY_CURRENT_USER\\B]\r\n"
                             "\"b\"=\"in B\"\r\n"
                             "[HKEY_CURRENT_USER\\A]\r\n"
                             "\"v\"=\"second wins\"\r\n";
    std::string error;
    auto root = parseHiveText(text, "HKEY_CURRENT_USER", &error);
    ASSERT_TRUE(root) << error;
    const RegNode* a = root->child("a");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->value("v")->text(), "second wins");
    EXPECT_EQ(a->value("HEX")->type, RegType::ExpandString);
    EXPECT_EQ(a->value("hex")->data, std::string("AB\0", 3));
    ASSERT_TRUE(root->child("B")) << "the comment swallowed the key line after it";
    EXPECT_EQ(root->child("B")->value("b")->text(), "in B");
    EXPECT_FALSE(a->value("b"));
    EXPECT_TRUE(parseHiveText("", "HKEY_CURRENT_USER", &error)) << "an empty file is an empty hive";
}
