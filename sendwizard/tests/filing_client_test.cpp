// The document-filing client against a recording stand-in for mfplink: initialisation on demand,
// the bounded listing, the zeroed record and the address lookup.
#include "sendwizard/filing_client.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Calls {
    std::vector<std::string> log;
    int initializeAnswer = 1;
    int entries = 2;
};

class RecordingApi : public IFilingApi {
public:
    explicit RecordingApi(Calls& calls) : m_Calls(calls) {}
    int Initialize() override { return Log("Initialize"), m_Calls.initializeAnswer; }
    int Terminate() override { return Log("Terminate"), 1; }
    DfapiListing* ListFile(const char* target, int timeoutMs, int secondTimeoutMs) override
    {
        Log("ListFile " + std::string(target) + " " + std::to_string(timeoutMs) + " " + std::to_string(secondTimeoutMs));
        return reinterpret_cast<DfapiListing*>(&m_Calls);
    }
    int NextFile(DfapiListing*, MFPIF_DFAPI_FileInfo* info, int codePage) override
    {
        Log("NextFile " + std::to_string(info->cbSize) + " " + std::to_string(info->dateLow) + " " +
            std::to_string(codePage));
        if (m_Calls.entries-- <= 0)
            return 0;
        std::strcpy(info->name, "Folder");
        info->dir = 1;
        info->dateLow = 77; // what an earlier entry might leave behind
        return 1;
    }
    void CloseFile(DfapiListing*) override { Log("CloseFile"); }
    int GetIPAddrByPrinterPort(const char* printer, const char* port, char* buffer, unsigned size) override
    {
        Log("GetIPAddr " + std::string(printer) + " " + port + " " + std::to_string(size));
        std::strcpy(buffer, "10.0.0.5");
        return 9;
    }
    int ProtocolVer() override { return Log("ProtocolVer"), 2; }

private:
    void Log(std::string text) { m_Calls.log.push_back(std::move(text)); }
    Calls& m_Calls;
};

TEST(FilingClient, ListsWithABoundedWaitAndInitialisesOnce)
{
    Calls calls;
    CFilingClient client(std::make_unique<RecordingApi>(calls));
    client.Terminate(); // never initialised: nothing is called
    const std::string target = "dfile://10.0.0.5//";
    DfapiListing* listing = client.ListFile(target);
    ASSERT_TRUE(listing);
    ASSERT_TRUE(client.ListFile(target));
    MFPIF_DFAPI_FileInfo record;
    std::memset(&record, 0xAB, sizeof record);
    int listed = 0;
    while (client.NextFile(listing, record) == 1)
        ++listed;
    EXPECT_EQ(listed, 2);
    EXPECT_EQ(client.CloseFile(listing), 1);
    client.Terminate();
    client.Terminate();
    const std::vector<std::string> expected = {
        "Initialize",
        "ListFile dfile://10.0.0.5// 20000 20000",
        "ListFile dfile://10.0.0.5// 20000 20000",
        "NextFile 304 0 -1", // the record is zeroed before every call
        "NextFile 304 0 -1",
        "NextFile 304 0 -1",
        "CloseFile",
        "Terminate",
    };
    EXPECT_EQ(calls.log, expected);
}

TEST(FilingClient, AFailedInitialisationCallsNothingElse)
{
    Calls calls;
    calls.initializeAnswer = 0;
    CFilingClient client(std::make_unique<RecordingApi>(calls));
    MFPIF_DFAPI_FileInfo record{};
    EXPECT_EQ(client.ListFile("dfile://x//"), nullptr);
    EXPECT_EQ(client.NextFile(nullptr, record), 0);
    EXPECT_EQ(client.CloseFile(nullptr), 0);
    client.Terminate();
    EXPECT_EQ(calls.log, std::vector<std::string>(3, "Initialize"));

    std::string address;
    EXPECT_EQ(client.GetIPAddrByPrinterPort("Fax", "socket://host:9100", address), 9);
    EXPECT_EQ(address, "10.0.0.5");
    EXPECT_EQ(client.GetProtocolVersion(), 2);
    EXPECT_EQ(calls.log.back(), "ProtocolVer");
    EXPECT_EQ(calls.log[3], "GetIPAddr Fax socket://host:9100 260");
}

TEST(FilingClient, BindsMfplinkByNameFromTheLibraryFolder)
{
    CFilingClient client;
    EXPECT_EQ(client.Initialize(), 1);
    EXPECT_EQ(client.GetProtocolVersion(), 1);
    std::string address = "stale";
    EXPECT_EQ(client.GetIPAddrByPrinterPort("no such printer", "", address), 0);
    EXPECT_TRUE(address.empty());
    client.Terminate();
}

} // namespace
