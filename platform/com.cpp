#include "platform/com.h"

#include "platform/files.h"
#include "platform/library.h"
#include "platform/registry.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace platform::com {

namespace {

thread_local int threadInitCount = 0;

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
};

std::mutex runtimeMutex;
std::map<GUID, Ptr<IClassFactory>, GuidLess> localClassObjects;
std::map<std::string, std::shared_ptr<Library>> loadedServers; // kept for the life of the process

RegStatus readDefault(const std::string& path, std::string& text)
{
    RegistryKey key;
    RegValue value;
    RegStatus s = RegistryKey::open(Hive::ClassesRoot, path, key);
    if (s == RegStatus::Ok)
        s = key.query("", value);
    if (s == RegStatus::Ok)
        text = value.text();
    return s;
}

bool writeDefault(const std::string& path, const std::string& text)
{
    RegistryKey key;
    return RegistryKey::create(Hive::ClassesRoot, path, key) == RegStatus::Ok
        && key.set("", RegValue::string(text)) == RegStatus::Ok;
}

bool writeProgId(const char* progId, const ServerClass& c, const std::string& clsid, const char* curVer)
{
    if (!progId || !*progId)
        return true;
    const std::string base(progId);
    if (!writeDefault(base, c.description) || !writeDefault(base + "\\CLSID", clsid))
        return false;
    return !curVer || writeDefault(base + "\\CurVer", curVer);
}

} // namespace

std::string guidToString(const GUID& g)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

HRESULT initializeThread() { return threadInitCount++ == 0 ? S_OK : S_FALSE; }

void uninitializeThread()
{
    if (threadInitCount > 0)
        --threadInitCount;
}

bool threadInitialized() { return threadInitCount > 0; }

namespace {
thread_local std::string threadErrorInfo;
}

void setErrorInfo(std::string text) { threadErrorInfo = std::move(text); }

std::string takeErrorInfo() { return std::exchange(threadErrorInfo, {}); }

HRESULT classIdFromProgId(std::string_view progId, CLSID& clsid)
{
    std::string name(progId);
    for (int hop = 0; hop < 2 && !name.empty(); ++hop) {
        std::string text;
        if (readDefault(name + "\\CLSID", text) == RegStatus::Ok)
            return parseGuid(text, clsid) ? S_OK : CO_E_CLASSSTRING;
        std::string current;
        if (readDefault(name + "\\CurVer", current) != RegStatus::Ok)
            break;
        name = current;
    }
    return CO_E_CLASSSTRING;
}

void registerClassObject(const CLSID& clsid, IClassFactory* factory)
{
    std::lock_guard lock(runtimeMutex);
    if (factory)
        localClassObjects[clsid] = Ptr<IClassFactory>(factory);
    else
        localClassObjects.erase(clsid);
}

namespace {

std::string hresultText(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

// The name a failure gives a class: the program identifier the caller knows, else the one its
// registration names, else the class identifier.
std::string componentName(const CLSID& clsid, std::string_view progId)
{
    if (!progId.empty())
        return std::string(progId);
    const std::string id = guidToString(clsid);
    std::string registered;
    if (readDefault("CLSID\\" + id + "\\ProgID", registered) == RegStatus::Ok && !registered.empty())
        return registered;
    return id;
}

// Creates the object; on failure the thread's error information says why, naming the class.
HRESULT createNamed(const CLSID& clsid, std::string_view progId, IUnknown* outer, uint32_t context, const IID& riid,
                    void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    auto failed = [&](HRESULT hr, const std::string& why) {
        setErrorInfo("the component " + componentName(clsid, progId) + " " + why);
        return hr;
    };
    if (!threadInitialized())
        return failed(CO_E_NOTINITIALIZED, "cannot be created: the calling thread is not initialised");
    if (outer)
        return CLASS_E_NOAGGREGATION;
    if (!(context & CLSCTX_INPROC_SERVER))
        return failed(REGDB_E_CLASSNOTREG, "is not registered as an in-process server");

    Ptr<IClassFactory> factory;
    {
        std::lock_guard lock(runtimeMutex);
        if (auto it = localClassObjects.find(clsid); it != localClassObjects.end())
            factory = it->second;
    }
    if (!factory) {
        std::string serverPath;
        if (readDefault("CLSID\\" + guidToString(clsid) + "\\InprocServer32", serverPath) != RegStatus::Ok
            || serverPath.empty())
            return failed(REGDB_E_CLASSNOTREG, "is not registered");
        // Servers come from the suite's library folder only, whatever folder the registration names.
        const std::string fileName = fileNameOf(nativePath(serverPath));
        std::shared_ptr<Library> library;
        {
            std::lock_guard lock(runtimeMutex);
            auto& slot = loadedServers[fileName];
            if (!slot)
                slot = Library::load(fileName);
            library = slot;
            if (!library)
                loadedServers.erase(fileName);
        }
        if (!library)
            return failed(CO_E_DLLNOTFOUND, "cannot be loaded: " + Library::lastError());
        const auto getClassObject = library->function<DllGetClassObjectFn>("DllGetClassObject");
        if (!getClassObject)
            return failed(CO_E_ERRORINDLL, "cannot be loaded: " + library->path() + " serves no components");
        const HRESULT hr = getClassObject(clsid, IClassFactory::iid, factory.out());
        if (FAILED(hr) || !factory)
            return failed(FAILED(hr) ? hr : CO_E_ERRORINDLL,
                          "cannot be created: " + library->path() + " does not serve its class");
    }
    const HRESULT hr = factory->CreateInstance(nullptr, riid, ppv);
    if (FAILED(hr))
        return failed(hr, "cannot be created (error " + hresultText(hr) + ")");
    return hr;
}

} // namespace

HRESULT createInstance(const CLSID& clsid, IUnknown* outer, uint32_t context, const IID& riid, void** ppv)
{
    return createNamed(clsid, {}, outer, context, riid, ppv);
}

HRESULT createInstance(const CLSID& clsid, std::string_view progId, IUnknown* outer, uint32_t context,
                       const IID& riid, void** ppv)
{
    return createNamed(clsid, progId, outer, context, riid, ppv);
}

HRESULT createInstance(std::string_view progId, IUnknown* outer, uint32_t context, const IID& riid, void** ppv)
{
    if (ppv)
        *ppv = nullptr;
    CLSID clsid;
    const HRESULT hr = classIdFromProgId(progId, clsid);
    if (FAILED(hr)) {
        setErrorInfo("the component " + std::string(progId) + " is not registered");
        return hr;
    }
    return createNamed(clsid, progId, outer, context, riid, ppv);
}

HRESULT registerServerClass(const ServerClass& c, const std::string& libraryPath)
{
    const std::string clsid = guidToString(c.clsid);
    const std::string key = "CLSID\\" + clsid;
    RegistryKey server;
    const bool ok = writeDefault(key, c.description)
        && RegistryKey::create(Hive::ClassesRoot, key + "\\InprocServer32", server) == RegStatus::Ok
        && server.set("", RegValue::string(libraryPath)) == RegStatus::Ok
        && server.set("ThreadingModel", RegValue::string(c.threadingModel ? c.threadingModel : "Apartment")) == RegStatus::Ok
        && (!c.progId || writeDefault(key + "\\ProgID", c.progId))
        && (!c.versionIndependentProgId || writeDefault(key + "\\VersionIndependentProgID", c.versionIndependentProgId))
        && writeProgId(c.progId, c, clsid, nullptr)
        && writeProgId(c.versionIndependentProgId, c, clsid, c.progId);
    return ok ? S_OK : SELFREG_E_CLASS;
}

HRESULT unregisterServerClass(const ServerClass& c)
{
    bool ok = true;
    auto remove = [&](const std::string& path) {
        const RegStatus s = deleteKeyTree(Hive::ClassesRoot, path);
        ok = ok && (s == RegStatus::Ok || s == RegStatus::NotFound);
    };
    remove("CLSID\\" + guidToString(c.clsid));
    if (c.progId && *c.progId)
        remove(c.progId);
    if (c.versionIndependentProgId && *c.versionIndependentProgId)
        remove(c.versionIndependentProgId);
    return ok ? S_OK : SELFREG_E_CLASS;
}

HRESULT serverGetClassObject(const ServerClass* table, size_t count, const CLSID& clsid, const IID& riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (size_t i = 0; i < count; ++i) {
        if (!(table[i].clsid == clsid))
            continue;
        auto* factory = new (std::nothrow) FunctionFactory(table[i].create);
        if (!factory)
            return E_OUTOFMEMORY;
        factory->AddRef();
        const HRESULT hr = factory->QueryInterface(riid, ppv);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

namespace {
std::string registeredLibraryFolder; // set once by an installer before it registers
}

void setServerLibraryFolder(std::string folder) { registeredLibraryFolder = std::move(folder); }

HRESULT serverRegister(const ServerClass* table, size_t count, const void* anchor)
{
    std::string path = modulePathOf(anchor);
    if (path.empty())
        return SELFREG_E_CLASS;
    if (!registeredLibraryFolder.empty())
        path = joinPath(registeredLibraryFolder, fileNameOf(path));
    for (size_t i = 0; i < count; ++i)
        if (const HRESULT hr = registerServerClass(table[i], path); FAILED(hr))
            return hr;
    return S_OK;
}

HRESULT serverUnregister(const ServerClass* table, size_t count)
{
    HRESULT result = S_OK;
    for (size_t i = 0; i < count; ++i)
        if (const HRESULT hr = unregisterServerClass(table[i]); FAILED(hr))
            result = hr;
    return result;
}

} // namespace platform::com
