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

HRESULT createInstance(const CLSID& clsid, IUnknown* outer, uint32_t context, const IID& riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!threadInitialized())
        return CO_E_NOTINITIALIZED;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    if (!(context & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;

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
            return REGDB_E_CLASSNOTREG;
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
            return CO_E_DLLNOTFOUND;
        const auto getClassObject = library->function<DllGetClassObjectFn>("DllGetClassObject");
        if (!getClassObject)
            return CO_E_ERRORINDLL;
        const HRESULT hr = getClassObject(clsid, IClassFactory::iid, factory.out());
        if (FAILED(hr))
            return hr;
        if (!factory)
            return CO_E_ERRORINDLL;
    }
    return factory->CreateInstance(nullptr, riid, ppv);
}

HRESULT createInstance(std::string_view progId, IUnknown* outer, uint32_t context, const IID& riid, void** ppv)
{
    if (ppv)
        *ppv = nullptr;
    CLSID clsid;
    const HRESULT hr = classIdFromProgId(progId, clsid);
    if (FAILED(hr))
        return hr;
    return createInstance(clsid, outer, context, riid, ppv);
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
