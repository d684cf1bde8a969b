// The sending log component as its callers reach it: registered, created by ProgID or CLSID.
#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/ole_date.h"
#include "platform/registry.h"
#include "platform/tests/support/test_support.h"
#include "sendlog/IQeltaLogTool.h"
#include "sendlog/log_store.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace platform;
using namespace platform::com;
using qelta::test::helperProgram;
using qelta::test::readTextFile;
using qelta::test::ScopedStateRoot;
using qelta::test::writeTextFile;

namespace {

platform::LocalTime thursdayFifth()
{
    platform::LocalTime t;
    t.year = 2026, t.month = 3, t.day = 5, t.dayOfWeek = 4, t.hour = 9, t.minute = 30, t.second = 0;
    return t;
}

void setMachineValue(const std::string& name, const std::string& value)
{
    RegistryKey key;
    ASSERT_EQ(RegistryKey::create(Hive::LocalMachine, "SOFTWARE\\KOVRA\\TQLSTL2", key), RegStatus::Ok);
    ASSERT_EQ(key.set(name, RegValue::string(value)), RegStatus::Ok);
}

// Waits (boundedly) for a file a started program writes.
bool waitForFile(const std::string& path)
{
    for (int i = 0; i < 1000; ++i) {
        if (pathExists(path))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

class Tool : public ::testing::Test {
protected:
    void SetUp() override
    {
        initializeThread();
        library = Library::load("sendlog.dll");
        ASSERT_TRUE(library) << Library::lastError();
        const auto reg = library->function<DllRegisterServerFn>("DllRegisterServer");
        ASSERT_TRUE(reg);
        ASSERT_EQ(reg(), S_OK);
        ASSERT_EQ(createInstance(kQeltaLogToolProgId, 23, tool), S_OK);
        ::setenv("SENDLOG_WORKER_ARGS", (root.path() + "/args").c_str(), 1);
    }
    void TearDown() override
    {
        tool = nullptr;
        ::unsetenv("SENDLOG_WORKER_ARGS");
        uninitializeThread();
    }

    int32_t create(const std::string& document)
    {
        int32_t id = -1;
        EXPECT_EQ(tool->CreateLogData(Bstr("/no/image.tif").get(), Bstr(document).get(),
                                      dateFromLocalTime(thursdayFifth()), &id),
                  S_OK);
        return id;
    }

    ScopedStateRoot root;
    std::shared_ptr<Library> library;
    Ptr<IQeltaLogTool> tool;
};

} // namespace

TEST_F(Tool, CreatedByProgIdAndClassId)
{
    Ptr<IQeltaLogTool> other;
    for (uint32_t context : {7u, 23u})
        EXPECT_EQ(createInstance(CLSID_QeltaLogTool, context, other), S_OK) << context;
    EXPECT_EQ(createInstance("sendlog.QeltaLogTool.1", 7, other), S_OK);
    CLSID clsid;
    ASSERT_EQ(classIdFromProgId(kQeltaLogToolProgId, clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_QeltaLogTool);
    int32_t count = 5;
    EXPECT_EQ(other->GetLogCount(&count), S_OK);
    EXPECT_EQ(count, -1) << "no root.xml yet";
}

TEST_F(Tool, EntriesThroughTheInterface)
{
    const int32_t id = create("Quarterly report");
    EXPECT_EQ(id, 1);
    int32_t count = 0;
    EXPECT_EQ(tool->GetLogCount(&count), S_OK);
    EXPECT_EQ(count, 1);

    Bstr image, document, date;
    int32_t status = -1;
    ASSERT_EQ(tool->GetLogData(id, image.out(), document.out(), date.out(), &status), S_OK);
    EXPECT_EQ(document.ansi(), "Quarterly report");
    EXPECT_EQ(date.ansi(), "2026/03/05,09:30:00");
    EXPECT_EQ(status, 0);
    EXPECT_NE(image.ansi().find("/00000001/job_image.tif"), std::string::npos) << image.ansi();

    Bstr keep("keep");
    BSTR kept[3] = {keep.get(), keep.get(), keep.get()};
    status = 9;
    EXPECT_EQ(tool->GetLogData(77, &kept[0], &kept[1], &kept[2], &status), S_FALSE);
    EXPECT_EQ(status, 9);
    for (BSTR b : kept)
        EXPECT_EQ(b, keep.get()) << "outputs set only on success";

    // The cookie the result monitor rebuilds from a notice.
    const std::string cookie =
        "quarterly REPORT-Th,  5 Mar 2026 09:30:00 " + std::to_string(timeZoneStandardBiasMinutes());
    int32_t found = 0;
    EXPECT_EQ(tool->FindLogID(Bstr(cookie).get(), &found), S_OK);
    EXPECT_EQ(found, id);
    found = 1234;
    EXPECT_EQ(tool->FindLogID(Bstr("no such job").get(), &found), S_FALSE);
    EXPECT_EQ(found, 1234);

    EXPECT_EQ(tool->AddLogProperty(id, Bstr("pageNumber").get(), Bstr("3").get()), S_OK);
    EXPECT_EQ(tool->AddLogProperty(id, Bstr("bad name").get(), Bstr("3").get()), S_FALSE);
    Bstr value;
    EXPECT_EQ(tool->GetLogProperty(id, Bstr("pageNumber").get(), value.out()), S_OK);
    EXPECT_EQ(value.ansi(), "3");
    EXPECT_EQ(tool->AddLogDestination(id, Bstr("number").get(), Bstr("555").get()), S_OK);
    EXPECT_EQ(tool->FlushLogDestination(id), S_OK);
    EXPECT_EQ(tool->GetDestination(id, 0, Bstr("number").get(), value.out()), S_OK);
    EXPECT_EQ(value.ansi(), "555");
    EXPECT_EQ(tool->GetDestination(id, 1, Bstr("number").get(), value.out()), S_FALSE);
    EXPECT_EQ(tool->ChangeLogStatus(id, 2), S_OK);
    EXPECT_EQ(tool->ChangeLogStatus(55, 2), S_FALSE);

    int32_t at = -1;
    EXPECT_EQ(tool->GetLogID(0, &at), S_OK);
    EXPECT_EQ(at, id);
    EXPECT_EQ(tool->GetLogID(5, &at), S_OK);
    EXPECT_EQ(at, 0);

    EXPECT_EQ(tool->RemoveLogData(id), S_OK);
    EXPECT_EQ(tool->RemoveLogData(id), S_FALSE);
    EXPECT_EQ(create("next"), 2);

    int32_t unchanged = 42;
    EXPECT_EQ(tool->CreateLogData(Bstr("").get(), Bstr("x").get(), std::nan(""), &unchanged), S_FALSE);
    EXPECT_EQ(unchanged, 42);
}

TEST_F(Tool, FlushOfAMissingEntryStillNotifies)
{
    auto endpoint = Endpoint::create("SendLogToolTest", "browser");
    ASSERT_TRUE(endpoint);
    EXPECT_EQ(tool->RegisterRegacyCallback(static_cast<int32_t>(endpoint->handle()), 0xC010, 1), S_OK);
    EXPECT_EQ(tool->FlushLogData(404), S_OK);
    PostedMessage m;
    ASSERT_TRUE(endpoint->receive(m, 1000));
    EXPECT_EQ(m.message, 0xC010u);
    EXPECT_EQ(m.wParam, 1u);
    EXPECT_EQ(m.lParam, 404);
    EXPECT_EQ(tool->UnRegisterRegacyCallback(static_cast<int32_t>(endpoint->handle())), S_OK);
    EXPECT_EQ(tool->UnRegisterRegacyCallback(static_cast<int32_t>(endpoint->handle())), S_FALSE);
}

TEST_F(Tool, RegisteringWithADamagedRegistrationFileFails)
{
    const std::string list = platform::joinPath(CQeltaLog::LogDirectory(), "eventlist.plm");
    qelta::test::writeTextFile(list, "damaged");
    EXPECT_TRUE(FAILED(tool->RegisterRegacyCallback(7, 0xC010, 1)));
    EXPECT_EQ(qelta::test::readTextFile(list), "damaged") << "kept as it is";
}

TEST_F(Tool, PreviewStartsTheViewerWithItsCommandLine)
{
    const std::string args = root.path() + "/args";
    EXPECT_EQ(tool->LaunchPreview(0, Bstr("Title").get(), Bstr("/tmp/x.tif").get(), 1), S_FALSE) << "no Viewer";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(pathExists(args));

    setMachineValue("Viewer", helperProgram("sendlog_worker"));
    const std::string image = root.path() + "/log 1/job_image.tif";
    EXPECT_EQ(tool->LaunchPreview(0, Bstr("Quarterly report").get(), Bstr(image).get(), 1), S_OK);
    ASSERT_TRUE(waitForFile(args));
    EXPECT_EQ(readTextFile(args), "/Edit\n/T\"Quarterly report\"\n/P\n\"" + image + "\"\n");

    ASSERT_EQ(::unlink(args.c_str()), 0);
    EXPECT_EQ(tool->LaunchPreview(0, Bstr("Other").get(), Bstr(image).get(), 2), S_OK);
    ASSERT_TRUE(waitForFile(args));
    EXPECT_EQ(readTextFile(args), "/T\"Other\"\n/P\n\"" + image + "\"\n");
}

TEST_F(Tool, LogBrowserFromTheRegistry)
{
    const std::string args = root.path() + "/args";
    setMachineValue("LogBrowser", helperProgram("sendlog_worker"));
    EXPECT_EQ(tool->LaunchLogBrowser(0), S_OK);
    ASSERT_TRUE(waitForFile(args));
    EXPECT_EQ(readTextFile(args), "") << "started without parameters";
}
