// The component layer: in-process component servers with reference-counted interfaces.
//
// The suite's servers and clients are C++ built by one compiler, so an interface is an abstract
// class whose virtual functions keep the order the suite gives them. Each interface names its
// identifier (`iid`) and its parent interface (`parent`). Dual interfaces derive from IDispatch,
// whose four slots are placeholders: every caller binds early.
//
// A server library exports DllGetClassObject, DllRegisterServer, DllUnregisterServer and
// DllCanUnloadNow. Registration writes the class identifier, program identifiers and library path
// into HKEY_CLASSES_ROOT; creation reads them back, loads the library from the suite's library
// folder once per process and asks it for the object.
#pragma once

#include "platform/text.h"

#include <atomic>
#include <iterator>
#include <new>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

// ---- results ----

using HRESULT = int32_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);
inline constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0);
inline constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3);
inline constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x800401F8);
inline constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9);
inline constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

/// Runs the body of a component method or exported entry so that no exception leaves it:
/// running out of memory answers E_OUTOFMEMORY, any other exception E_FAIL.
template <typename F>
HRESULT guardedCall(F&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

/// The same for a C-linkage export whose failure is a value of its own (0, -1, a null pointer).
template <typename R, typename F>
R guardedExport(R failure, F&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return failure;
    }
}

// ---- class contexts ----

inline constexpr uint32_t CLSCTX_INPROC_SERVER = 0x1;
inline constexpr uint32_t CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr uint32_t CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr uint32_t CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr uint32_t CLSCTX_ALL = 0x17;

// ---- identifiers ----

struct GUID {
    uint32_t Data1 = 0;
    uint16_t Data2 = 0;
    uint16_t Data3 = 0;
    uint8_t Data4[8] = {};

    constexpr bool operator==(const GUID& o) const
    {
        if (Data1 != o.Data1 || Data2 != o.Data2 || Data3 != o.Data3)
            return false;
        for (int i = 0; i < 8; ++i)
            if (Data4[i] != o.Data4[i])
                return false;
        return true;
    }
};
using IID = GUID;
using CLSID = GUID;

namespace platform::com {

/// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional). False when malformed.
constexpr bool parseGuid(std::string_view text, GUID& guid)
{
    if (text.size() == 38 && text.front() == '{' && text.back() == '}')
        text = text.substr(1, 36);
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
        return false;
    uint8_t bytes[16] = {};
    int n = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23)
            continue;
        const int hi = hexDigitValue(text[i]), lo = hexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes[n++] = static_cast<uint8_t>(hi * 16 + lo);
        ++i;
    }
    guid.Data1 = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) | bytes[3];
    guid.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    guid.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = bytes[8 + i];
    return true;
}

/// A GUID from its text form at compile time; a malformed literal does not compile.
consteval GUID guid(const char* text)
{
    GUID g;
    std::string_view view(text);
    if (!parseGuid(view, g))
        throw "malformed GUID literal";
    return g;
}

/// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case, as the registry stores it.
std::string guidToString(const GUID& guid);

} // namespace platform::com

// ---- strings ----

using OLECHAR = char16_t;
/// A length-prefixed UTF-16 string; null counts as empty. Whoever receives one frees it.
using BSTR = OLECHAR*;

// ---- the base interfaces ----

struct IUnknown {
    static constexpr IID iid = platform::com::guid("{00000000-0000-0000-C000-000000000046}");
    using parent = void;

    virtual HRESULT QueryInterface(const IID& riid, void** ppv) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

/// The automation slots of a dual interface. Callers bind early, so these only hold the places.
struct IDispatch : IUnknown {
    static constexpr IID iid = platform::com::guid("{00020400-0000-0000-C000-000000000046}");
    using parent = IUnknown;

    virtual HRESULT GetTypeInfoCount(unsigned* count)
    {
        if (count)
            *count = 0;
        return S_OK;
    }
    virtual HRESULT GetTypeInfo(unsigned, uint32_t, void** info)
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    virtual HRESULT GetIDsOfNames(const IID&, OLECHAR**, unsigned, uint32_t, int32_t*) { return E_NOTIMPL; }
    virtual HRESULT Invoke(int32_t, const IID&, uint32_t, uint16_t, void*, void*, void*, unsigned*) { return E_NOTIMPL; }

protected:
    ~IDispatch() = default;
};

struct IClassFactory : IUnknown {
    static constexpr IID iid = platform::com::guid("{00000001-0000-0000-C000-000000000046}");
    using parent = IUnknown;

    virtual HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** ppv) = 0;
    virtual HRESULT LockServer(int lock) = 0;

protected:
    ~IClassFactory() = default;
};

namespace platform::com {

// ---- smart pointer ----

/// Holds one reference to an interface.
template <typename T>
class Ptr {
public:
    Ptr() = default;
    Ptr(std::nullptr_t) {}
    /// Takes a new reference to p.
    explicit Ptr(T* p) : p_(p)
    {
        if (p_)
            p_->AddRef();
    }
    Ptr(const Ptr& o) : Ptr(o.p_) {}
    Ptr(Ptr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~Ptr() { reset(); }
    Ptr& operator=(Ptr o) noexcept
    {
        std::swap(p_, o.p_);
        return *this;
    }

    /// Adopts a reference the caller already owns.
    static Ptr adopt(T* p)
    {
        Ptr r;
        r.p_ = p;
        return r;
    }

    void reset()
    {
        if (T* p = std::exchange(p_, nullptr))
            p->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    /// The slot for an out parameter; releases what was held.
    void** out()
    {
        reset();
        return reinterpret_cast<void**>(&p_);
    }

private:
    T* p_ = nullptr;
};

// ---- implementing objects ----

namespace detail {
template <typename I>
bool interfaceMatches(const IID& riid)
{
    if (riid == I::iid)
        return true;
    if constexpr (!std::is_void_v<typename I::parent>)
        return interfaceMatches<typename I::parent>(riid);
    else
        return false;
}
} // namespace detail

/// Counts references and answers QueryInterface for the interfaces listed (and their parents).
/// The object deletes itself when the last reference goes.
template <typename... Interfaces>
class Object : public Interfaces... {
public:
    HRESULT QueryInterface(const IID& riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        const bool found = ((detail::interfaceMatches<Interfaces>(riid) && (*ppv = static_cast<Interfaces*>(this)) != nullptr) || ...);
        if (!found)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    uint32_t AddRef() override { return ++references_; }
    uint32_t Release() override
    {
        const uint32_t left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    Object() = default;
    virtual ~Object() = default;

private:
    std::atomic<uint32_t> references_{0};
};

/// Creates a new T and hands out the interface asked for (the new object's only reference).
template <typename T>
HRESULT createObject(const IID& riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    // A constructor that throws (out of memory while it sets up) fails the creation.
    return guardedCall([&] {
        T* object = new T();
        object->AddRef();
        const HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    });
}

/// A class factory that makes its objects with a creation function.
class FunctionFactory : public Object<IClassFactory> {
public:
    explicit FunctionFactory(HRESULT (*create)(const IID&, void**)) : create_(create) {}
    HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** ppv) override
    {
        if (ppv)
            *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return create_(riid, ppv);
    }
    HRESULT LockServer(int) override { return S_OK; }

private:
    HRESULT (*create_)(const IID&, void**);
};

/// A class factory that makes T.
template <typename T>
class ClassFactory : public FunctionFactory {
public:
    ClassFactory() : FunctionFactory(&createObject<T>) {}
};

// ---- the runtime ----

/// Initialises the component layer on the calling thread: S_OK the first time, S_FALSE after.
HRESULT initializeThread();
/// Balances one initializeThread.
void uninitializeThread();
/// True when the calling thread is initialised.
bool threadInitialized();

/// The calling thread's error information: the reason, in words, that an object's last failing
/// call gave (the system's error text with the file or queue involved). A call that fails sets it;
/// takeErrorInfo hands it over once and clears it.
void setErrorInfo(std::string text);
std::string takeErrorInfo();

/// The class identifier that a program identifier names (following CurVer once), or CO_E_CLASSSTRING.
HRESULT classIdFromProgId(std::string_view progId, CLSID& clsid);

/// Creates an object of a registered class. Class contexts that include CLSCTX_INPROC_SERVER
/// (1, 7, 23, ...) are served in process; the calling thread must be initialised. On failure the
/// thread's error information says why: the component is not registered, its library cannot be
/// loaded (with the loader's reason), or it cannot be created.
HRESULT createInstance(const CLSID& clsid, IUnknown* outer, uint32_t context, const IID& riid, void** ppv);

/// The same for a caller that knows the class's program identifier: a failure names it.
HRESULT createInstance(const CLSID& clsid, std::string_view progId, IUnknown* outer, uint32_t context,
                       const IID& riid, void** ppv);

/// The same by program identifier.
HRESULT createInstance(std::string_view progId, IUnknown* outer, uint32_t context, const IID& riid, void** ppv);

template <typename I>
HRESULT createInstance(const CLSID& clsid, uint32_t context, Ptr<I>& out)
{
    return createInstance(clsid, nullptr, context, I::iid, out.out());
}

template <typename I>
HRESULT createInstance(const CLSID& clsid, std::string_view progId, uint32_t context, Ptr<I>& out)
{
    return createInstance(clsid, progId, nullptr, context, I::iid, out.out());
}

template <typename I>
HRESULT createInstance(std::string_view progId, uint32_t context, Ptr<I>& out)
{
    return createInstance(progId, nullptr, context, I::iid, out.out());
}

/// Serves a class from a factory inside this process ahead of the registry (tests use this for fakes).
/// A null factory removes the entry.
void registerClassObject(const CLSID& clsid, IClassFactory* factory);

// ---- server libraries ----

/// What registration writes for one class of a server library.
struct ServerClass {
    CLSID clsid;
    const char* description;
    const char* progId;                   ///< versioned, e.g. "cryptotool.QeltaEncTool.1"
    const char* versionIndependentProgId; ///< e.g. "cryptotool.QeltaEncTool"
    const char* threadingModel;           ///< "Apartment"
    HRESULT (*create)(const IID& riid, void** ppv);
};

/// Writes a class's keys into HKEY_CLASSES_ROOT with libraryPath as its in-process server.
HRESULT registerServerClass(const ServerClass& serverClass, const std::string& libraryPath);

/// Removes what registerServerClass wrote (keys that are not there are skipped).
HRESULT unregisterServerClass(const ServerClass& serverClass);

/// DllGetClassObject for a library serving the classes in table.
HRESULT serverGetClassObject(const ServerClass* table, size_t count, const CLSID& clsid, const IID& riid, void** ppv);

/// DllRegisterServer for a library serving table; anchor is any address inside that library. The
/// registration names the library where it was loaded from, or in the folder setServerLibraryFolder set.
HRESULT serverRegister(const ServerClass* table, size_t count, const void* anchor);

/// Makes the registrations this process writes name their libraries in `folder` (the folder they
/// will be installed to) rather than the folder they were loaded from (a staged copy). Empty: as loaded.
void setServerLibraryFolder(std::string folder);

/// DllUnregisterServer for a library serving table.
HRESULT serverUnregister(const ServerClass* table, size_t count);

} // namespace platform::com

/// The exports of a server library, with their C names.
extern "C" {
using DllGetClassObjectFn = HRESULT (*)(const CLSID&, const IID&, void**);
using DllRegisterServerFn = HRESULT (*)();
}

/// Defines the four exports of a server library that serves the classes of a ServerClass array.
/// The library stays loaded once loaded, so DllCanUnloadNow always answers S_FALSE. Registration
/// finds the library's own path from an anchor with internal linkage: an exported name could
/// resolve to another library's definition of it.
#define QELTA_SERVER_EXPORTS(table)                                                                  \
    namespace {                                                                                      \
    const int qeltaServerAnchor = 0;                                                                 \
    }                                                                                                \
    extern "C" HRESULT DllGetClassObject(const CLSID& clsid, const IID& riid, void** ppv)            \
    {                                                                                                \
        return guardedCall(                                                                          \
            [&] { return platform::com::serverGetClassObject(table, std::size(table), clsid, riid, ppv); }); \
    }                                                                                                \
    extern "C" HRESULT DllRegisterServer()                                                           \
    {                                                                                                \
        return guardedCall(                                                                          \
            [] { return platform::com::serverRegister(table, std::size(table), &qeltaServerAnchor); }); \
    }                                                                                                \
    extern "C" HRESULT DllUnregisterServer()                                                         \
    {                                                                                                \
        return guardedCall([] { return platform::com::serverUnregister(table, std::size(table)); }); \
    }                                                                                                \
    extern "C" HRESULT DllCanUnloadNow() { return S_FALSE; }
