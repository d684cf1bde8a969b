// No exception leaves a component method, a C-linkage export or a server library's export: every
// allocation such an entry makes is made to fail in turn, and each call must come back with a result.
#include "crypto/IQeltaEncTool.h"
#include "imaging/imagekit.h"
#include "jobbuilder/IQeltaJobTool.h"
#include "jobbuilder/tests/support/job_test_support.h"
#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/library.h"
#include "platform/ole_date.h"
#include "platform/tests/support/test_support.h"
#include "sendlog/IQeltaLogTool.h"
#include "xmldoc/dom.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {
// While failAt is set, the failAt-th allocation from then on throws std::bad_alloc.
long g_failAt = 0;
long g_seen = 0;

void* allocate(std::size_t size)
{
    if (g_failAt > 0 && ++g_seen == g_failAt)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return ::operator new(size, tag); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

using platform::com::Bstr;
using platform::com::Ptr;

// Calls entry with each of its allocations failing in turn (every one of the first few, then a
// spread), until a call makes no more allocations than the one that is to fail.
template <typename Entry>
void failEachAllocation(const char* what, Entry entry)
{
    for (long n = 1;; n += 1 + n / 8) {
        g_seen = 0;
        g_failAt = n;
        bool escaped = false;
        try {
            entry();
        } catch (...) {
            escaped = true;
        }
        const bool reached = g_seen >= n;
        g_failAt = 0;
        ASSERT_FALSE(escaped) << what << ": an exception left the entry at allocation " << n;
        if (!reached)
            return;
    }
}

class ExceptionGuard : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::com::initializeThread();
        for (const char* server : {"cryptotool.dll", "sendlog.dll", "jobbuilder.dll"})
            jobtest::registerServer(server);
    }
    void TearDown() override { platform::com::uninitializeThread(); }

    qelta::test::ScopedStateRoot root_;
};

} // namespace

TEST_F(ExceptionGuard, ComponentMethods)
{
    Ptr<IQeltaLogTool> log;
    Ptr<IQeltaJobTool> job;
    Ptr<IQeltaEncTool> enc;
    ASSERT_EQ(platform::com::createInstance(CLSID_QeltaLogTool, 23, log), S_OK);
    ASSERT_EQ(platform::com::createInstance(CLSID_QeltaJobTool, 23, job), S_OK);
    ASSERT_EQ(platform::com::createInstance("cryptotool.QeltaEncTool", 23, enc), S_OK);
    Bstr image("/no/image.tif"), document("Quarterly report"), name("userName"), value("alice"), number("0123");
    failEachAllocation("CreateLogData", [&] {
        int32_t id = 0;
        log->CreateLogData(image.get(), document.get(), 46000.5, &id);
    });
    failEachAllocation("AddLogProperty", [&] { log->AddLogProperty(1, name.get(), value.get()); });
    failEachAllocation("RegisterJobTarget", [&] {
        job->RegisterJobTarget(0, value.get(), number.get(), nullptr, nullptr, 0, nullptr);
    });
    failEachAllocation("EncryptString", [&] {
        Bstr out;
        enc->EncryptString(2, value.get(), out.out());
    });
}

TEST_F(ExceptionGuard, CExports)
{
    auto crypto = platform::Library::load("cryptotool.dll");
    auto imaging = platform::Library::load("IK6FILE.dll");
    ASSERT_TRUE(crypto && imaging) << platform::Library::lastError();
    const auto encrypt = crypto->function<int (*)(int, const char*, char**)>("ENCLIB_EncryptString");
    const auto release = crypto->function<void (*)(char*)>("ENCLIB_EncryptFree");
    const auto fileType = imaging->function<int (*)(const char*, int, IKFILEINFO*)>("IKFileType");
    ASSERT_TRUE(encrypt && release && fileType);
    failEachAllocation("ENCLIB_EncryptString", [&] {
        char* out = nullptr;
        if (encrypt(2, "secret", &out) >= 0)
            release(out);
    });
    const std::string page = root_.path() + "/page.tif";
    jobtest::writeFaxTiff(page, 2);
    failEachAllocation("IKFileType", [&] {
        IKFILEINFO info;
        fileType(page.c_str(), 0, &info);
    });
    failEachAllocation("createDocument", [] {
        if (mfpif_Halvet_R1::IDocument* doc = createDocument())
            mfpif_Halvet_R1::IDocumentPtr held(doc);
    });
}

TEST_F(ExceptionGuard, ServerExports)
{
    auto library = platform::Library::load("sendlog.dll");
    ASSERT_TRUE(library) << platform::Library::lastError();
    const auto reg = library->function<DllRegisterServerFn>("DllRegisterServer");
    const auto unreg = library->function<DllRegisterServerFn>("DllUnregisterServer");
    const auto get = library->function<DllGetClassObjectFn>("DllGetClassObject");
    ASSERT_TRUE(reg && unreg && get);
    failEachAllocation("DllRegisterServer", [&] { reg(); });
    failEachAllocation("DllUnregisterServer", [&] { unreg(); });
    failEachAllocation("DllGetClassObject", [&] {
        void* factory = nullptr;
        if (get(CLSID_QeltaLogTool, IClassFactory::iid, &factory) == S_OK)
            static_cast<IClassFactory*>(factory)->Release();
    });
    EXPECT_EQ(reg(), S_OK);

    // The class factory a server hands out makes its objects inside the same guard.
    auto jobLibrary = platform::Library::load("jobbuilder.dll");
    ASSERT_TRUE(jobLibrary);
    Ptr<IClassFactory> factory;
    ASSERT_EQ(jobLibrary->function<DllGetClassObjectFn>("DllGetClassObject")(CLSID_QeltaJobTool, IClassFactory::iid,
                                                                             factory.out()),
              S_OK);
    failEachAllocation("IClassFactory::CreateInstance", [&] {
        Ptr<IQeltaJobTool> job;
        factory->CreateInstance(nullptr, IQeltaJobTool::iid, job.out());
    });
}
