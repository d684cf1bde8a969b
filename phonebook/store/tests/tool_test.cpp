// The phone book component as its callers reach it: registered, created by ProgID or CLSID.
#include "phonebook/store/IBookmanagerTool.h"
#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/ole_date.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <ctime>
#include <sys/resource.h>

using namespace platform;
using namespace platform::com;
using qelta::test::readTextFile;
using qelta::test::ScopedStateRoot;
using qelta::test::writeTextFile;

namespace {

class PhoneBookTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        initializeThread();
        library = Library::load("booktool.dll");
        ASSERT_TRUE(library) << Library::lastError();
        const auto reg = library->function<DllRegisterServerFn>("DllRegisterServer");
        ASSERT_TRUE(reg);
        ASSERT_EQ(reg(), S_OK);
        ASSERT_EQ(createInstance(kBookmanagerToolProgId, 7, tool), S_OK);
        Bstr dir;
        ASSERT_EQ(tool->GetPhonebookDirectory(dir.out()), S_OK);
        directory = dir.ansi();
        ASSERT_TRUE(isDirectory(directory));
        path = directory + "/Office.xml";
    }
    void TearDown() override
    {
        tool = nullptr;
        uninitializeThread();
    }

    void open() { ASSERT_EQ(tool->Initiate(Bstr(path).get()), S_OK); }

    int32_t address(const std::string& name, int32_t type, int32_t favorite, int32_t fcode)
    {
        int32_t id = -1;
        EXPECT_EQ(tool->CreateNewAddress(Bstr(name).get(), 1, type, Bstr("R").get(), favorite, Bstr("0123").get(), 1,
                                         fcode, Bstr("55").get(), Bstr("66").get(), 0, &id),
                  S_OK);
        return id;
    }

    ScopedStateRoot root;
    std::shared_ptr<Library> library;
    Ptr<IBookmanagerTool> tool;
    std::string directory, path;
};

TEST_F(PhoneBookTool, NothingButFourMethodsBeforeABookIsOpen)
{
    int32_t n = 0, m = 0;
    Bstr s;
    DATE d = 0;
    const HRESULT refused[] = {
        tool->GetRecordInfo(11, &n, s.out(), &m),
        tool->GetRecordValue(11, Bstr("faxNumber").get(), s.out()),
        tool->FindRecords(1, 0x13, &n, &m),
        tool->GetRecordID(1, 0, &n),
        tool->CloseRecords(1),
        tool->FindFolders(&n, &m),
        tool->GetFolderID(1, 0, &n),
        tool->CloseFolders(1),
        tool->GetFolderInfo(1, &n, s.out()),
        tool->DeleteRecord(11, 1),
        tool->UpdateRecordValue(11, Bstr("faxNumber").get(), Bstr("1").get()),
        tool->RemoveFolder(11),
        tool->MoveRecord(11, 1, 1),
        tool->RenameFolder(11, Bstr("x").get()),
        tool->CreateNewRecord(0, Bstr("x").get(), 1, &n, 0),
        tool->FlushRecord(11, 0),
        tool->AddRecordValue(11, 0, Bstr("faxNumber").get(), Bstr("1").get()),
        tool->CreateNewAddress(Bstr("x").get(), 1, 0, nullptr, 0, nullptr, 0, 0, nullptr, nullptr, 0, &n),
        tool->CreateNewGroup(Bstr("g").get(), 1, &n, 0),
        tool->AddRecord2Group(11, 12),
        tool->FlushGroup(11, 0),
        tool->GetRecordCountInGroup(11, &n),
        tool->GetRecordIDInGroup(11, 0, &n),
        tool->GetRecordInfo2(11, &n, &m),
    };
    for (size_t i = 0; i < std::size(refused); ++i)
        EXPECT_EQ(refused[i], S_FALSE) << "method " << i;

    // The four that work without a book: an empty directory has no books at all.
    EXPECT_EQ(tool->GetPhoneBookCount(&n), S_OK);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(tool->GetPhoneBookInfo(0, s.out(), &d), S_FALSE);
    EXPECT_EQ(tool->Initiate(Bstr(directory + "/missing/Book.xml").get()), S_FALSE);
    EXPECT_EQ(tool->Initiate(nullptr), S_FALSE);
    open();
    EXPECT_EQ(tool->GetPhoneBookCount(&n), S_OK);
    EXPECT_EQ(n, 1);
    ASSERT_EQ(tool->GetPhoneBookInfo(0, s.out(), &d), S_OK);
    EXPECT_EQ(s.ansi(), path);
    const double now = dateFromLocalTime(localTimeOf(std::time(nullptr)));
    EXPECT_LT(std::fabs(d - now), 60.0 / 86400);
    EXPECT_LT(std::fabs(d * 86400 - std::round(d * 86400)), 1e-3); // whole seconds

    // The listing kept by the count answers by index until the directory changes.
    writeTextFile(directory + "/Home.xml", readTextFile(path));
    ASSERT_EQ(tool->GetPhoneBookInfo(0, s.out(), &d), S_OK);
    EXPECT_EQ(s.ansi(), directory + "/Home.xml");
    ASSERT_EQ(tool->GetPhoneBookInfo(1, s.out(), &d), S_OK);
    EXPECT_EQ(s.ansi(), path);
}

TEST_F(PhoneBookTool, AFailedCreateLeavesNoRecordFileAndItsIdIsGivenAgain)
{
    open();
    for (const char* name : {"A", "B", "C"})
        address(std::string(400, *name), 0, 0, 0);
    // A full disk: the book (larger than a record file) can no longer be written.
    const std::string before = readTextFile(path);
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit full = saved;
    full.rlim_cur = before.size();
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &full), 0);
    int32_t id = -1;
    const HRESULT refused = tool->CreateNewAddress(Bstr("Lost").get(), 1, 0, Bstr("").get(), 1, Bstr("0999").get(), 0,
                                                   0, nullptr, nullptr, 0, &id);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(refused, S_FALSE);
    EXPECT_EQ(readTextFile(path), before);
    EXPECT_TRUE(listFiles(directory, "#*.xml").empty());
    EXPECT_TRUE(listFiles(directory, ".*.tmp-*").empty());
    EXPECT_EQ(address("Found", 0, 1, 0), id);
}

TEST_F(PhoneBookTool, AddressesInOneCallAndBackAgain)
{
    open();
    const int32_t fax = address("Fax", 0, 1, 0);
    const int32_t ifax = address("Mail", 1, 0, 1);
    EXPECT_EQ(fax, 11);
    EXPECT_EQ(ifax, 12);
    Bstr value;
    // No F-code: sub-address and pass code stay empty whatever was given.
    ASSERT_EQ(tool->GetRecordValue(fax, Bstr("faxSubAddress").get(), value.out()), S_OK);
    EXPECT_EQ(value.ansi(), "");
    ASSERT_EQ(tool->GetRecordValue(fax, Bstr("receptionConfirm").get(), value.out()), S_OK);
    EXPECT_EQ(value.ansi(), "");
    int32_t favorite = -1, reserved = 77;
    ASSERT_EQ(tool->GetRecordInfo2(fax, &favorite, &reserved), S_OK);
    EXPECT_EQ(favorite, 1);
    EXPECT_EQ(reserved, 77);

    Bstr name, initial, number, sub = Bstr("keep"), pass = Bstr("keep");
    int32_t parent = 0, type = -1, fav = -1, confirm = -1, fcode = 42;
    ASSERT_EQ(tool->GetAddressInfo(ifax, name.out(), &parent, &type, initial.out(), &fav, number.out(), &confirm, &fcode,
                                   sub.out(), pass.out(), &reserved),
              S_OK);
    EXPECT_EQ(name.ansi(), "Mail");
    EXPECT_EQ(type, 1);
    EXPECT_EQ(initial.ansi(), "R");
    EXPECT_EQ(fav, 0);
    EXPECT_EQ(number.ansi(), "0123");
    EXPECT_EQ(confirm, 1);
    EXPECT_EQ(fcode, 42); // the fax fields of an Internet-fax record are not written
    EXPECT_TRUE(sub.isNull());

    // Refused: a group, the favourite folder, a folder that does not exist; nothing is made.
    int32_t id = -1;
    EXPECT_EQ(tool->CreateNewAddress(Bstr("G").get(), 1, 2, nullptr, 0, nullptr, 0, 0, nullptr, nullptr, 0, &id), S_FALSE);
    EXPECT_EQ(tool->CreateNewAddress(Bstr("F").get(), 2, 0, nullptr, 1, nullptr, 0, 0, nullptr, nullptr, 0, &id), S_FALSE);
    EXPECT_EQ(tool->CreateNewAddress(Bstr("F").get(), 99, 0, nullptr, 1, nullptr, 0, 0, nullptr, nullptr, 0, &id), S_FALSE);
    EXPECT_EQ(id, -1);
    EXPECT_TRUE(listFiles(directory, "#*.xml").empty());

    // Names handed out are cut to 259 bytes; the store keeps them whole.
    const std::string longName(300, 'x');
    const int32_t longId = address(longName, 0, 0, 1);
    ASSERT_EQ(tool->UpdateRecordValue(longId, Bstr("faxNumber").get(), Bstr("9").get()), S_OK);
    EXPECT_NE(readTextFile(path).find(longName), std::string::npos);
    ASSERT_EQ(tool->GetRecordInfo(longId, &type, name.out(), &parent), S_OK);
    EXPECT_EQ(name.ansi(), longName.substr(0, 259));
}

TEST_F(PhoneBookTool, RecordsGroupsAndListsThroughHandles)
{
    open();
    const int32_t a = address("A", 0, 0, 0);
    const int32_t b = address("B", 0, 1, 0);
    int32_t group = 0;
    ASSERT_EQ(tool->CreateNewGroup(Bstr("Team").get(), 1, &group, 0), S_OK);
    ASSERT_EQ(tool->AddRecordValue(group, 2, Bstr("frequentlyUsed").get(), Bstr("false").get()), S_OK);
    ASSERT_EQ(tool->AddRecord2Group(group, a), S_OK);
    ASSERT_EQ(tool->AddRecord2Group(group, b), S_OK);
    ASSERT_EQ(tool->FlushGroup(group, 0), S_OK);
    int32_t count = 0, id = 0;
    ASSERT_EQ(tool->GetRecordCountInGroup(group, &count), S_OK);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(tool->GetRecordIDInGroup(group, 1, &id), S_OK);
    EXPECT_EQ(id, b);
    EXPECT_EQ(tool->GetRecordIDInGroup(group, 2, &id), S_FALSE);
    EXPECT_EQ(tool->GetRecordCountInGroup(a, &count), S_FALSE);

    // An update through CreateNewRecord names no record (the id handed in is 0): refused.
    EXPECT_EQ(tool->CreateNewRecord(0, Bstr("x").get(), 1, &id, 1), S_FALSE);
    EXPECT_FALSE(pathExists(directory + "/#00000000.xml"));

    int32_t first = 0, second = 0;
    ASSERT_EQ(tool->FindRecords(1, 0xFF, &first, &count), S_OK);
    EXPECT_EQ(count, 3);
    ASSERT_EQ(tool->GetRecordID(first, 2, &id), S_OK);
    EXPECT_EQ(id, group);
    ASSERT_EQ(tool->FindRecords(2, 0x13, &second, &count), S_OK);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(tool->GetRecordID(first, 0, &id), S_FALSE); // an earlier list is gone
    EXPECT_EQ(tool->CloseRecords(12345), S_OK);
    EXPECT_EQ(tool->GetRecordID(second, 0, &id), S_FALSE);

    ASSERT_EQ(tool->FindFolders(&first, &count), S_OK);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(tool->GetFolderID(first, 1, &id), S_OK);
    EXPECT_EQ(id, 2);
    int32_t type = 0;
    Bstr name;
    ASSERT_EQ(tool->GetFolderInfo(id, &type, name.out()), S_OK);
    EXPECT_EQ(type, 4);
    EXPECT_EQ(name.ansi(), "favorite");
    EXPECT_EQ(tool->CloseFolders(0), S_OK);
    EXPECT_EQ(tool->GetFolderID(first, 1, &id), S_FALSE);

    ASSERT_EQ(tool->DeleteRecord(b, 1), S_OK);
    ASSERT_EQ(tool->FindRecords(2, 0x13, &first, &count), S_OK);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(tool->MoveRecord(a, 1, 2), S_FALSE);
    EXPECT_EQ(tool->RemoveFolder(1), S_FALSE);
    EXPECT_EQ(tool->RenameFolder(2, Bstr("x").get()), S_FALSE);

    // A second object is a second store on the same file, and sees the book once it opens it.
    Ptr<IBookmanagerTool> other;
    ASSERT_EQ(createInstance(CLSID_BookmanagerTool, 1, other), S_OK);
    ASSERT_EQ(other->Initiate(Bstr(path).get()), S_OK);
    ASSERT_EQ(other->GetRecordInfo(a, &type, name.out(), &id), S_OK);
    EXPECT_EQ(name.ansi(), "A");
}

} // namespace
