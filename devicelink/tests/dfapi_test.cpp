// The document-filing API as a caller sees it: a copy of mfplink in a folder of its own, with the
// canned answer and capture files beside it, listing a device on the loopback interface.
#include "devicelink/mfplink.h"
#include "devicelink/tests/support/test_device.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/system_info.h"
#include "platform/tests/support/test_support.h"

#include <chrono>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <gtest/gtest.h>

using qelta::test::readTextFile;
using qelta::test::TestDevice;
using qelta::test::writeTextFile;

namespace {

const std::string kEnvelopeHead = "<env:Envelope env:encodingStyle='http://www.w3.org/2001/12/soap-encoding' "
                                  "xmlns:enc='http://www.w3.org/2001/12/soap-encoding' "
                                  "xmlns:env='http://www.w3.org/2001/12/soap-envelope'><env:Body>";
const std::string kRequestTail =
    "<file-attribute-names enc:arrayType='bm:attribute-name[3]'><file-attribute-name>name</file-attribute-name>"
    "<file-attribute-name>dir</file-attribute-name><file-attribute-name>password</file-attribute-name>"
    "</file-attribute-names></bm:list_files>";

std::string request(const std::string& dirName)
{
    return "<bm:list_files xmlns:bm='urn:schema-bmlinks-jp:service:bmlinks-1-2'>"
           + (dirName.empty() ? std::string("<dir-name/>") : "<dir-name>" + dirName + "</dir-name>") + kRequestTail;
}

// Three entries: a folder with a password, a file, and one whose fields carry a prefix.
const std::string kFiles = "<bm:list_files_response xmlns:bm='urn:b'><files>"
                           "<file><name>B\xC3\xBCro</name><dir>true</dir><size>  1234xyz</size><password>true</password></file>"
                           "<other/>"
                           "<file><name>\xE6\x97\xA5\xE6\x9C\xAC</name><dir>false</dir><size>none</size><password>yes</password></file>"
                           "<file><bm:name>p</bm:name><bm:dir>true</bm:dir><bm:size>9</bm:size></file>"
                           "</files></bm:list_files_response>";

class Dfapi : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = root.path() + "/lib";
        ASSERT_TRUE(platform::createDirectories(folder));
        const std::string built = platform::resolveLibraryName("mfplink.dll");
        ASSERT_FALSE(built.empty());
        std::filesystem::copy_file(built, folder + "/libmfplink.so");
        handle = ::dlopen((folder + "/libmfplink.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_TRUE(handle) << ::dlerror();
        listFile = bind<decltype(&MFPIF_DFAPI_ListFile)>("MFPIF_DFAPI_ListFile");
        nextFile = bind<decltype(&MFPIF_DFAPI_NextFile)>("MFPIF_DFAPI_NextFile");
        closeFile = bind<decltype(&MFPIF_DFAPI_CloseFile)>("MFPIF_DFAPI_CloseFile");
    }
    void TearDown() override
    {
        platform::setProcessCodePage(0);
        if (handle)
            ::dlclose(handle);
    }

    template <typename F>
    F bind(const char* name)
    {
        auto f = reinterpret_cast<F>(::dlsym(handle, name));
        EXPECT_TRUE(f) << name;
        return f;
    }

    // Every record of a listing, read with a code page.
    std::vector<MFPIF_DFAPI_FileInfo> readAll(DfapiListing* listing, int codePage)
    {
        std::vector<MFPIF_DFAPI_FileInfo> records;
        MFPIF_DFAPI_FileInfo info;
        std::memset(&info, 0x5A, sizeof info); // filled records are zeroed first
        info.cbSize = sizeof info;
        while (nextFile(listing, &info, codePage) == 1)
            records.push_back(info);
        EXPECT_EQ(nextFile(listing, &info, codePage), 0); // and stays at the end
        return records;
    }

    std::vector<MFPIF_DFAPI_FileInfo> listCanned(const std::string& content, int codePage)
    {
        writeTextFile(folder + "/MFPLINK.XML", content);
        DfapiListing* listing = listFile("", 0);
        EXPECT_TRUE(listing);
        auto records = listing ? readAll(listing, codePage) : std::vector<MFPIF_DFAPI_FileInfo>{};
        closeFile(listing);
        return records;
    }

    qelta::test::ScopedStateRoot root;
    std::string folder;
    void* handle = nullptr;
    decltype(&MFPIF_DFAPI_ListFile) listFile = nullptr;
    decltype(&MFPIF_DFAPI_NextFile) nextFile = nullptr;
    decltype(&MFPIF_DFAPI_CloseFile) closeFile = nullptr;
};

TEST_F(Dfapi, ListsADeviceFolder)
{
    EXPECT_EQ(bind<int (*)()>("MFPIF_DFAPI_Initialize")(), 1);
    EXPECT_EQ(bind<int (*)()>("MFPIF_DFAPI_ProtocolVer")(), 1);
    TestDevice device({{{TestDevice::answer(200, TestDevice::envelope(kFiles))}}, false});
    DfapiListing* listing = listFile(("dfile://" + device.address() + "//").c_str(), -1);
    ASSERT_TRUE(listing);
    const std::string sent = device.request();
    EXPECT_EQ(sent.substr(0, sent.find("\r\n")), "POST /kovra-mfp-srv HTTP/1.1");
    EXPECT_NE(sent.find("\r\nHost: " + device.address() + "\r\n"), std::string::npos);
    EXPECT_NE(sent.find("\r\nSOAPAction: \"SoapActionDummy\"\r\n"), std::string::npos);
    EXPECT_EQ(sent.substr(sent.find("\r\n\r\n") + 4), kEnvelopeHead + request("/") + "</env:Body></env:Envelope>");

    const auto records = readAll(listing, 0);
    closeFile(listing);
    closeFile(nullptr);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_STREQ(records[0].name, "B\xC3\xBCro");
    EXPECT_EQ(records[0].dir, 1);
    EXPECT_EQ(records[0].size, 1234u);
    EXPECT_EQ(records[0].password, 1);
    EXPECT_EQ(records[1].dir, 2);
    EXPECT_EQ(records[1].size, 0u);
    EXPECT_EQ(records[1].password, 0);
    // Prefixed fields are not read; nothing of the previous record is left behind.
    EXPECT_STREQ(records[2].name, "");
    EXPECT_EQ(records[2].dir, 0);
    EXPECT_EQ(records[2].size, 0u);
    EXPECT_EQ(records[2].dateLow, 0u);
    EXPECT_EQ(bind<int (*)()>("MFPIF_DFAPI_Terminate")(), 1);
}

TEST_F(Dfapi, TargetsAndFailedListings)
{
    struct Case {
        const char* name;
        std::string target; // "@" stands for the device's address
        std::string answer;
        bool listed;
        std::string dirName;
    } cases[] = {
        {"empty path", "dfile://@/", TestDevice::answer(200, TestDevice::envelope(kFiles)), true, ""},
        {"blanks between the parts", " dfile :// @ /My Folder", TestDevice::answer(200, TestDevice::envelope(kFiles)), true,
         "My Folder"},
        {"no files element", "dfile://@/x", TestDevice::answer(200, TestDevice::envelope("<answer/>")), true, "x"},
        {"fault", "dfile://@/x", TestDevice::answer(200, TestDevice::envelope("<env:Fault><reason/></env:Fault>")), false, "x"},
        {"server error", "dfile://@/x", TestDevice::answer(500, TestDevice::envelope(kFiles)), false, "x"},
        {"not an envelope", "dfile://@/x", TestDevice::answer(200, kFiles), false, "x"},
        {"garbage status line", "dfile://@/x",
         "HTTP/1.1200 OK\r\nContent-Length: " + std::to_string(TestDevice::envelope(kFiles).size()) + "\r\n\r\n"
             + TestDevice::envelope(kFiles),
         false, "x"},
        {"closed before its length", "dfile://@/x",
         "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n" + TestDevice::envelope(kFiles), false, "x"},
    };
    for (auto& c : cases) {
        TestDevice device({{{c.answer}}});
        std::string target = c.target;
        target.replace(target.find('@'), 1, device.address());
        DfapiListing* listing = listFile(target.c_str(), 5000);
        EXPECT_EQ(listing != nullptr, c.listed) << c.name;
        const std::string sent = device.request();
        EXPECT_EQ(sent.substr(sent.find("\r\n\r\n") + 4), kEnvelopeHead + request(c.dirName) + "</env:Body></env:Envelope>")
            << c.name;
        closeFile(listing);
    }
    // A device that trickles its answer is given up at the exchange's deadline (four time-outs).
    {
        TestDevice::Script trickle;
        for (const char c : TestDevice::answer(200, TestDevice::envelope(kFiles)))
            trickle.pieces.push_back({std::string(1, c), 100});
        TestDevice device(trickle);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(listFile(("dfile://" + device.address() + "/x").c_str(), 250));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    }
    for (const char* bad : {"http://127.0.0.1/x", "dfile://127.0.0.1", "dfile:///x", "", "dfile://device.invalid/x"})
        EXPECT_FALSE(listFile(bad, 5000)) << bad;
    EXPECT_FALSE(listFile(nullptr, 5000));
}

TEST_F(Dfapi, NamesInCodePages)
{
    struct Case {
        int codePage;
        uint32_t processCodePage;
        std::string first, second;
    } cases[] = {
        {0, 0, "B\xC3\xBCro", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {932, 0, "B?ro", "\x93\xFA\x96\x7B"},
        {1252, 0, "B\xFCro", "??"},
        {1250, 0, "B?ro", "??"}, // not in the map: US-ASCII
        {-1, 0, "B\xC3\xBCro", "\xE6\x97\xA5\xE6\x9C\xAC"},
        {-1, 932, "B?ro", "\x93\xFA\x96\x7B"},
    };
    for (const auto& c : cases) {
        platform::setProcessCodePage(c.processCodePage);
        const auto records = listCanned(kFiles, c.codePage);
        ASSERT_EQ(records.size(), 3u) << c.codePage;
        EXPECT_EQ(std::string(records[0].name), c.first) << c.codePage;
        EXPECT_EQ(std::string(records[1].name), c.second) << c.codePage;
    }
}

TEST_F(Dfapi, RecordRules)
{
    // Long names are cut at a whole character and always terminated.
    const std::string ascii(300, 'a');
    std::string japanese;
    for (int i = 0; i < 100; ++i)
        japanese += "\xE6\x97\xA5";
    const auto records = listCanned("<a><files><file><name>" + ascii + "</name></file><file><name>" + japanese
                                        + "</name></file></files></a>",
                                    0);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(std::string(records[0].name), ascii.substr(0, 259));
    EXPECT_EQ(std::string(records[1].name), japanese.substr(0, 258)); // 86 whole characters
    const auto sjis = listCanned("<a><files><file><name>" + japanese + japanese + "</name></file></files></a>", 932);
    ASSERT_EQ(sjis.size(), 1u);
    EXPECT_EQ(std::strlen(sjis[0].name), 258u); // 129 two-byte characters

    // A wrong size is refused and the record left alone.
    writeTextFile(folder + "/MFPLINK.XML", kFiles);
    DfapiListing* listing = listFile("anything", 0);
    ASSERT_TRUE(listing);
    MFPIF_DFAPI_FileInfo info;
    std::memset(&info, 0x33, sizeof info);
    info.cbSize = 300;
    EXPECT_EQ(nextFile(listing, &info, 0), 0);
    EXPECT_EQ(info.size, 0x33333333u);
    EXPECT_EQ(nextFile(listing, nullptr, 0), 0);
    EXPECT_EQ(nextFile(nullptr, &info, 0), 0);
    info.cbSize = 304;
    EXPECT_EQ(nextFile(listing, &info, 0), 1); // the listing did not move
    EXPECT_STREQ(info.name, "B\xC3\xBCro");
    closeFile(listing);
}

TEST_F(Dfapi, CannedAnswerAndCaptureFiles)
{
    // Not well formed: no listing, and no device is asked.
    writeTextFile(folder + "/mfplink.xml", "<files><file>");
    EXPECT_FALSE(listFile("dfile://127.0.0.1/x", 0));
    ASSERT_TRUE(platform::pathExists(folder + "/mfplink.xml"));
    std::filesystem::remove(folder + "/mfplink.xml");

    // Captures are written only where they exist already.
    const std::string answer = TestDevice::envelope(kFiles);
    {
        TestDevice device({{{TestDevice::answer(200, answer)}}});
        DfapiListing* listing = listFile(("dfile://" + device.address() + "/a").c_str(), 5000);
        ASSERT_TRUE(listing);
        closeFile(listing);
        EXPECT_FALSE(platform::pathExists(folder + "/mfplinkReq.xml"));
        EXPECT_FALSE(platform::pathExists(folder + "/mfplinkRes.xml"));
    }
    writeTextFile(folder + "/mfplinkReq.xml", "old request");
    writeTextFile(folder + "/mfplinkRes.xml", "old answer");
    TestDevice device({{{TestDevice::answer(200, answer)}}});
    DfapiListing* listing = listFile(("dfile://" + device.address() + "/a").c_str(), 5000);
    ASSERT_TRUE(listing);
    closeFile(listing);
    EXPECT_EQ(readTextFile(folder + "/mfplinkReq.xml"), request("a"));
    const std::string captured = readTextFile(folder + "/mfplinkRes.xml");
    EXPECT_TRUE(captured.starts_with("<recv><bm:list_files_response xmlns:bm='urn:b'><files><file><name>")) << captured;
    EXPECT_TRUE(captured.ends_with("<bm:size>9</bm:size></file></files></bm:list_files_response></recv>")) << captured;
}

} // namespace
