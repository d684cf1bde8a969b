// QeltaEncTool as a client sees it: cryptotool loaded by name, self-registered, and created
// through the registry by program identifier or class identifier.
#include "crypto/IQeltaEncTool.h"
#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/library.h"
#include "platform/registry.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace {

using platform::Hive;
using platform::RegStatus;
using platform::com::Bstr;
using platform::com::Ptr;

using EncryptFn = int (*)(int, const char*, char**);
using FreeFn = void (*)(char*);
using UnregisterFn = HRESULT (*)();

// The default (or named) value of a key under HKEY_CLASSES_ROOT; "<missing>" when there is none.
std::string classesValue(const std::string& path, const std::string& name = "")
{
    platform::RegistryKey key;
    platform::RegValue value;
    if (platform::RegistryKey::open(Hive::ClassesRoot, path, key) != RegStatus::Ok || key.query(name, value) != RegStatus::Ok)
        return "<missing>";
    return value.text();
}

const std::string kClsidKey = "CLSID\\{381B3FA1-5C3F-458F-9772-EA21921EA70D}";

class EncToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        library_ = platform::Library::load("cryptotool.dll");
        ASSERT_TRUE(library_) << platform::Library::lastError();
        const auto registerServer = library_->function<DllRegisterServerFn>("DllRegisterServer");
        ASSERT_TRUE(registerServer);
        ASSERT_EQ(registerServer(), S_OK);
        platform::com::initializeThread();
        ASSERT_EQ(platform::com::createInstance(PROGID_QeltaEncTool, CLSCTX_ALL, tool_), S_OK);
        ASSERT_TRUE(tool_);
    }
    void TearDown() override
    {
        tool_.reset();
        platform::com::uninitializeThread();
    }

    // The method's BSTR result as ANSI text; "<null>" for a null BSTR.
    std::string run(HRESULT (IQeltaEncTool::*method)(int32_t, BSTR, BSTR*), int32_t type, BSTR src)
    {
        Bstr out;
        EXPECT_EQ((tool_.get()->*method)(type, src, out.out()), S_OK);
        return out.isNull() ? "<null>" : out.ansi();
    }
    std::string encrypt(int32_t type, const std::string& text) { return run(&IQeltaEncTool::EncryptString, type, Bstr(text).get()); }
    std::string decrypt(int32_t type, const std::string& text) { return run(&IQeltaEncTool::DecryptString, type, Bstr(text).get()); }

    qelta::test::ScopedStateRoot root_;
    std::shared_ptr<platform::Library> library_;
    Ptr<IQeltaEncTool> tool_;
};

TEST_F(EncToolTest, RegistrationWritesClassAndProgramIdentifiers)
{
    const std::string libraryPath = std::filesystem::canonical(library_->path()).string();
    EXPECT_EQ(classesValue(kClsidKey), "QeltaEncTool Class");
    EXPECT_EQ(classesValue(kClsidKey + "\\InprocServer32"), libraryPath);
    EXPECT_EQ(classesValue(kClsidKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(classesValue(kClsidKey + "\\ProgID"), "cryptotool.QeltaEncTool.1");
    EXPECT_EQ(classesValue(kClsidKey + "\\VersionIndependentProgID"), "cryptotool.QeltaEncTool");
    EXPECT_EQ(classesValue("cryptotool.QeltaEncTool\\CurVer"), "cryptotool.QeltaEncTool.1");
    EXPECT_EQ(classesValue("cryptotool.QeltaEncTool.1\\CLSID"), "{381B3FA1-5C3F-458F-9772-EA21921EA70D}");

    const auto canUnload = library_->function<HRESULT (*)()>("DllCanUnloadNow");
    ASSERT_TRUE(canUnload);
    EXPECT_EQ(canUnload(), S_FALSE);
}

TEST_F(EncToolTest, CreatedByEitherProgramIdentifierAndByClass)
{
    Ptr<IQeltaEncTool> other;
    EXPECT_EQ(platform::com::createInstance("cryptotool.QeltaEncTool", 7, other), S_OK);
    EXPECT_TRUE(other);
    EXPECT_EQ(platform::com::createInstance("cryptotool.QeltaEncTool.1", 23, other), S_OK);
    EXPECT_TRUE(other);
    EXPECT_EQ(platform::com::createInstance(CLSID_QeltaEncTool, CLSCTX_INPROC_SERVER, other), S_OK);
    EXPECT_TRUE(other);

    const auto getClassObject = library_->function<DllGetClassObjectFn>("DllGetClassObject");
    ASSERT_TRUE(getClassObject);
    void* factory = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(IQeltaEncTool::iid, IClassFactory::iid, &factory), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
}

TEST_F(EncToolTest, AnswersItsInterfacesOnly)
{
    for (const IID& iid : {IUnknown::iid, IDispatch::iid, IQeltaEncTool::iid}) {
        void* p = nullptr;
        EXPECT_EQ(tool_->QueryInterface(iid, &p), S_OK);
        ASSERT_NE(p, nullptr);
        static_cast<IUnknown*>(p)->Release();
    }
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(tool_->QueryInterface(IClassFactory::iid, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
}

TEST_F(EncToolTest, Type2RoundTripMatchesTheExport)
{
    const std::string encrypted = encrypt(2, "secret");
    EXPECT_EQ(encrypted.size(), 24u);
    EXPECT_EQ(decrypt(2, encrypted), "secret");

    const auto exportEncrypt = library_->function<EncryptFn>("ENCLIB_EncryptString");
    const auto exportFree = library_->function<FreeFn>("ENCLIB_EncryptFree");
    ASSERT_TRUE(exportEncrypt && exportFree);
    char* direct = nullptr;
    EXPECT_EQ(exportEncrypt(2, "secret", &direct), 6);
    EXPECT_EQ(encrypted, direct);
    exportFree(direct);
}

TEST_F(EncToolTest, TextsPassThroughTheProcessCodePage)
{
    const std::u16string wide = u"Grüße 東京";
    const Bstr source = Bstr::adopt(platform::com::allocString(wide));
    Bstr encrypted;
    ASSERT_EQ(tool_->EncryptString(2, source.get(), encrypted.out()), S_OK);
    Bstr decrypted;
    ASSERT_EQ(tool_->DecryptString(2, encrypted.get(), decrypted.out()), S_OK);
    EXPECT_EQ(platform::com::view(decrypted.get()), wide);

    EXPECT_EQ(encrypt(1, "abc"), "YWJj");
    EXPECT_EQ(decrypt(1, "YWJj"), "abc");
    EXPECT_EQ(encrypt(0, "plain"), "plain");
}

TEST_F(EncToolTest, NullSourceCountsAsEmpty)
{
    EXPECT_EQ(run(&IQeltaEncTool::EncryptString, 0, nullptr), "");
    EXPECT_EQ(run(&IQeltaEncTool::EncryptString, 2, nullptr), encrypt(2, ""));
    EXPECT_EQ(run(&IQeltaEncTool::DecryptString, 1, nullptr), "");
}

TEST_F(EncToolTest, FailuresGiveOkAndANullString)
{
    Bstr keep("previous");
    for (const auto method : {&IQeltaEncTool::EncryptString, &IQeltaEncTool::DecryptString}) {
        BSTR out = keep.get();
        EXPECT_EQ((tool_.get()->*method)(5, Bstr("x").get(), &out), S_OK);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(decrypt(2, "AAAA"), "<null>"); // not whole cipher blocks
    EXPECT_EQ(decrypt(1, "YW*j"), "<null>");

    EXPECT_EQ(tool_->EncryptString(2, Bstr("x").get(), nullptr), E_POINTER);
    EXPECT_EQ(tool_->DecryptString(2, Bstr("x").get(), nullptr), E_POINTER);
}

TEST_F(EncToolTest, UnregisterRemovesTheKeys)
{
    const auto unregisterServer = library_->function<UnregisterFn>("DllUnregisterServer");
    ASSERT_TRUE(unregisterServer);
    EXPECT_EQ(unregisterServer(), S_OK);
    EXPECT_FALSE(platform::keyExists(Hive::ClassesRoot, kClsidKey));
    EXPECT_FALSE(platform::keyExists(Hive::ClassesRoot, "cryptotool.QeltaEncTool"));
    EXPECT_FALSE(platform::keyExists(Hive::ClassesRoot, "cryptotool.QeltaEncTool.1"));

    Ptr<IQeltaEncTool> other;
    EXPECT_EQ(platform::com::createInstance(PROGID_QeltaEncTool, 23, other), CO_E_CLASSSTRING);
    EXPECT_EQ(platform::com::createInstance(CLSID_QeltaEncTool, 23, other), REGDB_E_CLASSNOTREG);
    // The object made before still works: the library stays loaded.
    EXPECT_EQ(decrypt(1, "YWJj"), "abc");
}

} // namespace
