#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/tests/support/sample_server.h"
#include "platform/tests/support/test_support.h"
#include "platform/unicode.h"

#include <cstring>
#include <gtest/gtest.h>
#include <thread>

using namespace platform;
using namespace platform::com;
using qelta::test::ScopedStateRoot;

namespace {

std::string defaultValue(const std::string& path)
{
    RegistryKey key;
    RegValue value;
    if (RegistryKey::open(Hive::ClassesRoot, path, key) != RegStatus::Ok || key.query("", value) != RegStatus::Ok)
        return "<missing>";
    return value.text();
}

// Registers the sample server in the current state root through its own export.
void registerSample()
{
    auto library = Library::load("SampleServer.dll");
    ASSERT_TRUE(library) << Library::lastError();
    const auto reg = library->function<DllRegisterServerFn>("DllRegisterServer");
    ASSERT_TRUE(reg);
    ASSERT_EQ(reg(), S_OK);
}

// A thread whose component layer is initialised for the test's lifetime.
struct Initialised {
    Initialised() { initializeThread(); }
    ~Initialised() { uninitializeThread(); }
};

class Fake : public Object<ISampleCounter> {
public:
    HRESULT Increment(int32_t* value) override
    {
        *value = 1000;
        return S_OK;
    }
};

} // namespace

TEST(Guid, TextFormRoundTrips)
{
    constexpr GUID g = guid("{381B3FA1-5C3F-458F-9772-EA21921EA70D}");
    static_assert(g.Data1 == 0x381B3FA1 && g.Data2 == 0x5C3F && g.Data3 == 0x458F && g.Data4[0] == 0x97 && g.Data4[7] == 0x0D);
    EXPECT_EQ(guidToString(g), "{381B3FA1-5C3F-458F-9772-EA21921EA70D}");
    GUID parsed;
    EXPECT_TRUE(parseGuid("381b3fa1-5c3f-458f-9772-ea21921ea70d", parsed));
    EXPECT_EQ(parsed, g);
    for (const char* bad : {"", "{381B3FA1-5C3F-458F-9772-EA21921EA70D", "381B3FA1-5C3F-458F-9772-EA21921EA70", "381B3FA1x5C3F-458F-9772-EA21921EA70D",
                            "{381B3FA1-5C3F-458F-9772-EA21921EA7GD}"})
        EXPECT_FALSE(parseGuid(bad, parsed)) << bad;
}

TEST(Bstr, LengthPrefixNullAndConversion)
{
    EXPECT_EQ(stringLength(nullptr), 0u);
    EXPECT_EQ(ansiFromBstr(nullptr), "");
    freeString(nullptr);

    Bstr b("caf\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x98\x80");
    ASSERT_FALSE(b.isNull());
    EXPECT_EQ(stringLength(b.get()), 8u) << "the emoji takes a surrogate pair";
    uint32_t prefix;
    std::memcpy(&prefix, reinterpret_cast<const char*>(b.get()) - 4, 4);
    EXPECT_EQ(prefix, 16u) << "the prefix counts bytes";
    EXPECT_EQ(b.get()[8], u'\0');
    EXPECT_EQ(b.ansi(), "caf\xC3\xA9 \xE6\x97\xA5\xF0\x9F\x98\x80");

    // What cannot be mapped becomes '?', each malformed sequence once.
    EXPECT_EQ(utf8ToUtf16("a\xFF" "b\xC3"), u"a?b?");
    EXPECT_EQ(utf8ToUtf16("\xE6\x97"), u"?");
    EXPECT_EQ(utf8ToUtf16("\xED\xA0\x80"), u"?") << "an encoded surrogate is malformed";
    EXPECT_EQ(utf16ToUtf8(u"x\xD800y"), "x?y");

    // Embedded NULs survive.
    BSTR raw = allocString(std::u16string(u"a\0b", 3));
    EXPECT_EQ(stringLength(raw), 3u);
    freeString(raw);
}

TEST(ComRuntime, ThreadInitialisationCounts)
{
    std::thread([] {
        EXPECT_FALSE(threadInitialized());
        EXPECT_EQ(initializeThread(), S_OK);
        EXPECT_EQ(initializeThread(), S_FALSE);
        uninitializeThread();
        EXPECT_TRUE(threadInitialized());
        uninitializeThread();
        EXPECT_FALSE(threadInitialized());
        EXPECT_EQ(initializeThread(), S_OK);
        uninitializeThread();
    }).join();
}

TEST(ComRuntime, CreatesRegisteredServersByClassAndProgramId)
{
    ScopedStateRoot root;
    registerSample();
    const std::string clsid = guidToString(CLSID_SampleCounter);
    EXPECT_EQ(defaultValue("CLSID\\" + clsid), "SampleCounter Class");
    EXPECT_EQ(defaultValue("CLSID\\" + clsid + "\\InprocServer32"), Library::load("SampleServer.dll")->path());
    EXPECT_EQ(defaultValue("CLSID\\" + clsid + "\\ProgID"), "Sample.Counter.1");
    EXPECT_EQ(defaultValue("CLSID\\" + clsid + "\\VersionIndependentProgID"), "Sample.Counter");
    EXPECT_EQ(defaultValue("Sample.Counter.1\\CLSID"), clsid);
    EXPECT_EQ(defaultValue("Sample.Counter\\CurVer"), "Sample.Counter.1");

    Ptr<ISampleCounter> counter;
    EXPECT_EQ(createInstance(CLSID_SampleCounter, 23, counter), CO_E_NOTINITIALIZED);
    Initialised init;
    for (uint32_t context : {1u, 7u, 23u}) {
        ASSERT_EQ(createInstance(CLSID_SampleCounter, context, counter), S_OK) << context;
        int32_t n = 0;
        EXPECT_EQ(counter->Increment(&n), S_OK);
        EXPECT_EQ(n, 1) << "a new object each time";
    }
    EXPECT_EQ(createInstance(CLSID_SampleCounter, CLSCTX_LOCAL_SERVER, counter), REGDB_E_CLASSNOTREG);

    for (const char* progId : {"Sample.Counter", "Sample.Counter.1", "sample.counter"}) {
        ASSERT_EQ(createInstance(progId, 23, counter), S_OK) << progId;
        CLSID found;
        EXPECT_EQ(classIdFromProgId(progId, found), S_OK);
        EXPECT_EQ(found, CLSID_SampleCounter);
    }
    EXPECT_EQ(createInstance("No.Such.Thing", 23, counter), CO_E_CLASSSTRING);
    EXPECT_FALSE(counter);

    // Interfaces and identity.
    ASSERT_EQ(createInstance(CLSID_SampleCounter, 23, counter), S_OK);
    Ptr<IUnknown> unknown1, unknown2;
    EXPECT_EQ(counter->QueryInterface(IUnknown::iid, unknown1.out()), S_OK);
    EXPECT_EQ(counter->QueryInterface(IUnknown::iid, unknown2.out()), S_OK);
    EXPECT_EQ(unknown1.get(), unknown2.get());
    Ptr<IDispatch> dispatch;
    EXPECT_EQ(counter->QueryInterface(IDispatch::iid, dispatch.out()), S_OK);
    Ptr<IClassFactory> notThere;
    EXPECT_EQ(counter->QueryInterface(IClassFactory::iid, notThere.out()), E_NOINTERFACE);
    EXPECT_FALSE(notThere);
    EXPECT_EQ(counter->QueryInterface(IUnknown::iid, nullptr), E_POINTER);
}

TEST(ComRuntime, MissingOrBrokenServersFailCleanly)
{
    ScopedStateRoot root;
    Initialised init;
    Ptr<ISampleCounter> counter;
    EXPECT_EQ(createInstance(CLSID_SampleCounter, 23, counter), REGDB_E_CLASSNOTREG);

    // Registered, but the library is not in the library folder.
    ServerClass gone{CLSID_SampleCounter, "Gone", "Gone.Thing.1", "Gone.Thing", "Apartment", nullptr};
    ASSERT_EQ(registerServerClass(gone, "/opt/elsewhere/libGoneServer.so"), S_OK);
    EXPECT_EQ(createInstance("Gone.Thing", 23, counter), CO_E_DLLNOTFOUND);

    // Registered as a library that exports no class objects.
    ASSERT_EQ(registerServerClass(gone, "/anywhere/libSampleLib.so"), S_OK);
    EXPECT_EQ(createInstance(CLSID_SampleCounter, 23, counter), CO_E_ERRORINDLL);

    // A server asked for a class it does not serve.
    constexpr CLSID other = guid("{1DE97850-5A28-491D-BD04-13C01E0216EF}");
    ServerClass wrong{other, "Wrong", nullptr, nullptr, "Apartment", nullptr};
    ASSERT_EQ(registerServerClass(wrong, "libSampleServer.so"), S_OK);
    EXPECT_EQ(createInstance(other, 23, counter), CLASS_E_CLASSNOTAVAILABLE);

    ASSERT_EQ(unregisterServerClass(gone), S_OK);
    EXPECT_EQ(defaultValue("CLSID\\" + guidToString(CLSID_SampleCounter)), "<missing>");
    EXPECT_EQ(defaultValue("Gone.Thing"), "<missing>");
    EXPECT_EQ(unregisterServerClass(gone), S_OK) << "removing twice is fine";
}

TEST(ComRuntime, InProcessFakesComeFirst)
{
    ScopedStateRoot root;
    registerSample();
    Initialised init;
    auto* factory = new ClassFactory<Fake>();
    factory->AddRef();
    registerClassObject(CLSID_SampleCounter, factory);
    factory->Release();

    Ptr<ISampleCounter> counter;
    ASSERT_EQ(createInstance("Sample.Counter", 23, counter), S_OK);
    int32_t n = 0;
    counter->Increment(&n);
    EXPECT_EQ(n, 1000);

    registerClassObject(CLSID_SampleCounter, nullptr);
    ASSERT_EQ(createInstance("Sample.Counter", 23, counter), S_OK);
    counter->Increment(&n);
    EXPECT_EQ(n, 1);
}
