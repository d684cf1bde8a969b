// The phone book store against real files: the file text, reads, changes, the faults it refuses,
// and several processes on one book.
#include "common/data_folders.h"
#include "phonebook/store/phone_book.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/tests/support/test_support.h"
#include "xmldoc/dom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using qelta::test::helperProgram;
using qelta::test::readTextFile;
using qelta::test::ScopedStateRoot;
using qelta::test::writeTextFile;

namespace {

// Text as the file holds it: the line breaks and tabs of the templates become references.
std::string refs(const std::string& raw)
{
    std::string out;
    for (const char c : raw) {
        if (c == '\r')
            out += "&#x0d;";
        else if (c == '\n')
            out += "&#x0a;";
        else if (c == '\t')
            out += "&#x09;";
        else
            out += c;
    }
    return out;
}

std::string value(const std::string& key, const std::string& text, const char* indent = "\t\t")
{
    return refs(indent) + "<" + key + "><data>" + (text.empty() ? "<value/>" : "<value>" + text + "</value>") + "</data></"
        + key + ">" + refs("\r\n");
}

const std::string kNewBook = refs("<system>\r\n\t<version>1.0</version>\r\n\t<newid><data>10</data></newid>\r\n\t<folders>"
                                  "\r\n\t\t<root id='1'>\r\n\t\t\t<name><data><value>root</value></data></name>\r\n\t\t\t"
                                  "<id><data><value>1</value></data></id>\r\n\t\t\t<records>\r\n\t\t\t</records>\r\n\t\t"
                                  "</root>\r\n\t\t<favorite id='2'>\r\n\t\t\t<name><data><value>favorite</value></data>"
                                  "</name>\r\n\t\t\t<id><data><value>2</value></data></id>\r\n\t\t\t<records>\r\n\t\t\t"
                                  "</records>\r\n\t\t</favorite>\r\n\t</folders>\r\n\t<profiles>\r\n\t</profiles>\r\n"
                                  "</system>");

constexpr int kAll = PB_MASK_FAX | PB_MASK_IFAX | PB_MASK_GROUP;

class PhoneBookStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        directory = GetPhoneBookDirectory();
        ASSERT_FALSE(directory.empty());
        path = directory + "/Office.xml";
        ASSERT_EQ(book.Initiate(path, 0), 1);
    }

    std::string file() const { return readTextFile(path); }

    int32_t addFax(const std::string& name, int32_t folder = kRootFolderId, const char* favorite = "false",
                   CPhoneBook* store = nullptr)
    {
        CPhoneBook& b = store ? *store : book;
        int32_t id = 0;
        EXPECT_EQ(b.CreateNewRecord(PB_RECORD_FAX, name, folder, id, 0), 1);
        EXPECT_EQ(b.AddRecordValue(id, PB_RECORD_FAX, "frequentlyUsed", favorite), 1);
        EXPECT_EQ(b.AddRecordValue(id, PB_RECORD_FAX, "faxNumber", "0123"), 1);
        EXPECT_EQ(b.FlushRecord(id, 0), 1);
        return id;
    }

    int32_t addGroup(const std::string& name, const std::vector<int32_t>& members, int32_t folder = kRootFolderId)
    {
        int32_t id = 0;
        EXPECT_EQ(book.CreateNewGroup(name, folder, id, 0), 1);
        EXPECT_EQ(book.AddRecordValue(id, PB_RECORD_GROUP, "frequentlyUsed", "false"), 1);
        for (const int32_t m : members)
            EXPECT_EQ(book.AddRecord2Group(id, m), 1);
        EXPECT_EQ(book.FlushGroup(id, 0), 1);
        return id;
    }

    // A user folder, as the phone book dialogs add one: the folder template, the next id, the counter.
    int32_t addFolder(const std::string& name)
    {
        const int32_t id = book.GetNewID();
        std::string text = file();
        const std::string folder = "<folder id='" + std::to_string(id) + "'><name><data><value>" + name
            + "</value></data></name><id><data><value>" + std::to_string(id)
            + "</value></data></id><records/></folder>";
        text.replace(text.find("</folders>"), 0, folder);
        const std::string counter = "<newid><data>" + std::to_string(id - 1) + "</data></newid>";
        text.replace(text.find(counter), counter.size(), "<newid><data>" + std::to_string(id) + "</data></newid>");
        writeTextFile(path, text);
        EXPECT_EQ(book.Initiate(path, 1), 1);
        return id;
    }

    std::vector<int32_t> list(int32_t folder, int mask = kAll)
    {
        std::vector<int32_t> ids;
        const PhoneBookList l = book.FindRecords(folder, mask);
        for (int32_t i = 0; i < book.GetRecordListCount(l); ++i)
            ids.push_back(book.GetRecordListID(l, i));
        return ids;
    }

    std::vector<int32_t> members(int32_t group)
    {
        std::vector<int32_t> ids;
        for (int32_t i = 0; i < book.GetRecordCount(group); ++i)
            ids.push_back(book.GetRecordID(group, i));
        return ids;
    }

    ScopedStateRoot root;
    std::string directory, path;
    CPhoneBook book;
};

TEST_F(PhoneBookStore, NewBookIsTheTemplateAndOpeningNeverWrites)
{
    EXPECT_EQ(file(), kNewBook);
    EXPECT_EQ(book.GetNewID(), 11);
    const platform::FileStamp stamp = platform::fileStamp(path);
    CPhoneBook other;
    ASSERT_EQ(other.Initiate(path, 1), 1);
    int32_t type = 0;
    std::string name;
    ASSERT_EQ(other.GetFolderInfo(1, type, name), 1);
    EXPECT_EQ(type, PB_FOLDER_ROOT);
    EXPECT_EQ(name, "root");
    ASSERT_EQ(other.GetFolderInfo(2, type, name), 1);
    EXPECT_EQ(type, PB_FOLDER_FAVORITE);
    EXPECT_EQ(name, "favorite");
    EXPECT_EQ(platform::fileStamp(path), stamp);
    // An open store keeps its book unless asked to reload, even for another path.
    EXPECT_EQ(other.Initiate(directory + "/Other.xml", 0), 1);
    EXPECT_EQ(other.GetBookPath(), path);
    EXPECT_FALSE(platform::pathExists(directory + "/Other.xml"));
}

TEST_F(PhoneBookStore, RecordFileAndCommitTextByteForByte)
{
    int32_t id = 0;
    ASSERT_EQ(book.CreateNewRecord(PB_RECORD_FAX, "Caf\xc3\xa9 A<B", kRootFolderId, id, 0), 1);
    EXPECT_EQ(id, 11);
    const std::string recordFile = directory + "/#0000000b.xml";
    EXPECT_EQ(CPhoneBook::GetRecordFilePath(id), recordFile);
    const std::string name = "Caf&#xc3;&#xa9; A&amp;gt;B";
    EXPECT_EQ(readTextFile(recordFile),
              "<profile id='11'>" + refs("\r\n\t<fax>\r\n") + value("parentID", "1") + value("id", "11")
                  + value("fullName", name) + value("initial", "") + value("customDir", "") + value("frequentlyUsed", "")
                  + value("faxNumber", "") + value("faxSubAddress", "") + value("faxPassCode", "") + value("faxFCode", "")
                  + value("receptionConfirm", "") + refs("\t</fax>\r\n") + "</profile>");
    EXPECT_EQ(file(), kNewBook); // not part of the book until committed
    ASSERT_EQ(book.AddRecordValue(id, PB_RECORD_FAX, "frequentlyUsed", "true"), 1);
    ASSERT_EQ(book.AddRecordValue(id, PB_RECORD_FAX, "faxNumber", "O'Hara & \"Co\""), 1);
    ASSERT_EQ(book.FlushRecord(id, 0), 1);
    EXPECT_FALSE(platform::pathExists(recordFile));

    const std::string entry = "<record><id type='fax'>11</id><name>" + name + "</name></record>";
    std::string expected = kNewBook;
    expected.replace(expected.find("<data>10</data>"), 15, "<data>11</data>");
    const std::string rootEnd = "</records>" + refs("\r\n\t\t</root>");
    expected.replace(expected.find(rootEnd), 0, entry);
    const std::string favoriteEnd = "</records>" + refs("\r\n\t\t</favorite>");
    expected.replace(expected.find(favoriteEnd), 0, entry);
    const std::string profile = "<profile id='11'>" + refs("\r\n\t<fax>\r\n") + value("parentID", "1") + value("id", "11")
        + value("fullName", name) + value("initial", "") + value("customDir", "") + value("frequentlyUsed", "true")
        + value("faxNumber", "O&amp;apos;Hara &amp;amp; &amp;quot;Co&amp;quot;") + value("faxSubAddress", "")
        + value("faxPassCode", "") + value("faxFCode", "") + value("receptionConfirm", "") + refs("\t</fax>\r\n")
        + "</profile>";
    expected.replace(expected.find("</profiles>"), 0, profile);
    EXPECT_EQ(file(), expected);

    // And it reads back as it was given.
    CPhoneBook other;
    ASSERT_EQ(other.Initiate(path, 0), 1);
    int32_t type = -1, parent = 0;
    std::string text;
    ASSERT_EQ(other.GetRecordInfo(id, type, text, parent), 1);
    EXPECT_EQ(type, PB_RECORD_FAX);
    EXPECT_EQ(text, "Caf\xc3\xa9 A<B");
    EXPECT_EQ(parent, kRootFolderId);
    ASSERT_EQ(other.GetRecordValue(id, "faxNumber", text), 1);
    EXPECT_EQ(text, "O'Hara & \"Co\"");
    EXPECT_EQ(other.GetNewID(), 12);

    // A book opened from another folder still assembles its records in the phone book directory.
    const std::string elsewhere = root.path() + "/elsewhere";
    ASSERT_TRUE(platform::createDirectories(elsewhere));
    CPhoneBook away;
    ASSERT_EQ(away.Initiate(elsewhere + "/Away.xml", 0), 1);
    ASSERT_EQ(away.CreateNewRecord(PB_RECORD_IFAX, "Away", kRootFolderId, id, 0), 1);
    EXPECT_EQ(id, 11);
    EXPECT_TRUE(platform::pathExists(recordFile));
    EXPECT_EQ(platform::listFiles(elsewhere, "#*"), std::vector<std::string>{});
}

TEST_F(PhoneBookStore, ListsByKindAndOnlyTheLastListIsValid)
{
    const int32_t fax = addFax("Fax");
    int32_t ifax = 0;
    ASSERT_EQ(book.CreateNewRecord(PB_RECORD_IFAX, "Mail", kRootFolderId, ifax, 0), 1);
    ASSERT_EQ(book.AddRecordValue(ifax, PB_RECORD_IFAX, "frequentlyUsed", "true"), 1);
    ASSERT_EQ(book.FlushRecord(ifax, 0), 1);
    const int32_t group = addGroup("Team", {fax, ifax});

    const struct {
        int32_t folder;
        int mask;
        std::vector<int32_t> ids;
    } cases[] = {
        {kRootFolderId, 0x13, {fax, ifax, group}}, {kRootFolderId, 0x01, {fax}},   {kRootFolderId, 0x02, {ifax}},
        {kRootFolderId, 0x10, {group}},            {kRootFolderId, 0xFF, {fax, ifax, group}},
        {kFavoriteFolderId, 0x13, {ifax}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(list(c.folder, c.mask), c.ids) << c.folder << " mask " << c.mask;
    EXPECT_EQ(book.FindRecords(kRootFolderId, 0x04), PhoneBookList::None); // no kind bit: no list
    EXPECT_EQ(book.FindRecords(99, kAll), PhoneBookList::None);

    const PhoneBookList first = book.FindRecords(kRootFolderId, kAll);
    const PhoneBookList second = book.FindRecords(kFavoriteFolderId, kAll);
    EXPECT_EQ(book.GetRecordListCount(first), -1);
    EXPECT_EQ(book.GetRecordListID(first, 0), 0);
    EXPECT_EQ(book.GetRecordListCount(second), 1);
    EXPECT_EQ(book.GetRecordListID(second, 1), 0);

    const PhoneBookList folders = book.FindFolders();
    ASSERT_EQ(book.GetFolderListCount(folders), 2);
    EXPECT_EQ(book.GetFolderID(folders, 0), 1);
    EXPECT_EQ(book.GetFolderID(folders, 1), 2);
    EXPECT_EQ(book.GetFolderID(folders, 2), 0);
    book.CloseFolders(PhoneBookList::None);
    EXPECT_EQ(book.GetFolderListCount(folders), -1);

    // A group keeps a group member as "record"; members read back in order.
    const int32_t outer = addGroup("All", {group, fax});
    EXPECT_EQ(members(outer), (std::vector<int32_t>{group, fax}));
    EXPECT_NE(file().find("<record><id type='record'>" + std::to_string(group) + "</id>"), std::string::npos);
    EXPECT_EQ(book.GetRecordCount(fax), -1);

    std::string text = "stale";
    EXPECT_EQ(book.GetRecordValue(ifax, "faxNumber", text), 0);
    EXPECT_EQ(text, "");
    EXPECT_EQ(book.GetRecordValue(group, "initial", text), 0);
}

TEST_F(PhoneBookStore, ChangesKeepFoldersFavouritesAndTheCounterInStep)
{
    const int32_t folder = addFolder("Clients");
    const int32_t a = addFax("A", folder, "true");
    const int32_t b = addFax("B", folder);
    const int32_t c = addFax("C", kRootFolderId, "true");
    const int32_t group = addGroup("G", {a, c});
    EXPECT_EQ(list(folder), (std::vector<int32_t>{a, b}));
    EXPECT_EQ(list(kFavoriteFolderId), (std::vector<int32_t>{a, c}));
    EXPECT_EQ(book.GetNewID(), group + 1);

    // A value rewrite keeps the record's place, its folder entry and its other values (however long).
    const std::string longName(300, 'n'), longValue(400, 'v');
    int32_t id = 0;
    ASSERT_EQ(book.CreateNewRecord(PB_RECORD_FAX, longName, kRootFolderId, id, 0), 1);
    ASSERT_EQ(book.AddRecordValue(id, PB_RECORD_FAX, "faxSubAddress", longValue), 1);
    ASSERT_EQ(book.FlushRecord(id, 0), 1);
    ASSERT_EQ(book.UpdateRecordValue(id, "faxNumber", "999"), 1);
    int32_t type = 0, parent = 0;
    std::string text;
    ASSERT_EQ(book.GetRecordInfo(id, type, text, parent), 1);
    EXPECT_EQ(text, longName);
    ASSERT_EQ(book.GetRecordValue(id, "faxSubAddress", text), 1);
    EXPECT_EQ(text, longValue);
    ASSERT_EQ(book.GetRecordValue(id, "faxNumber", text), 1);
    EXPECT_EQ(text, "999");
    EXPECT_EQ(list(kRootFolderId), (std::vector<int32_t>{c, group, id}));

    // Becoming a favourite again moves the entry to the end of the favourite list.
    ASSERT_EQ(book.UpdateRecordValue(a, "frequentlyUsed", "true"), 1);
    EXPECT_EQ(list(kFavoriteFolderId), (std::vector<int32_t>{c, a}));
    ASSERT_EQ(book.UpdateRecordValue(c, "frequentlyUsed", "false"), 1);
    EXPECT_EQ(list(kFavoriteFolderId), (std::vector<int32_t>{a}));
    EXPECT_EQ(book.UpdateRecordValue(group, "frequentlyUsed", "true"), 0);

    // Moves: never into the favourite list; within one folder the entry goes to the end.
    EXPECT_EQ(book.MoveRecord(b, folder, kFavoriteFolderId), 0);
    EXPECT_EQ(book.MoveRecord(b, kRootFolderId, folder), 0); // not its folder
    ASSERT_EQ(book.MoveRecord(a, folder, folder), 1);
    EXPECT_EQ(list(folder), (std::vector<int32_t>{b, a}));
    ASSERT_EQ(book.MoveRecord(b, folder, kRootFolderId), 1);
    EXPECT_EQ(list(folder), (std::vector<int32_t>{a}));
    ASSERT_EQ(book.GetRecordInfo(b, type, text, parent), 1);
    EXPECT_EQ(parent, kRootFolderId);

    ASSERT_EQ(book.RenameFolder(folder, "Kunden & Co"), 1);
    ASSERT_EQ(book.GetFolderInfo(folder, type, text), 1);
    EXPECT_EQ(text, "Kunden & Co");
    EXPECT_EQ(book.RenameFolder(kRootFolderId, "x"), 0);

    // Removing a record with its entries, or only its profile.
    ASSERT_EQ(book.RemoveRecord(b, 0), 1);
    EXPECT_EQ(book.GetRecordInfo(b, type, text, parent), 0);
    EXPECT_EQ(list(kRootFolderId), (std::vector<int32_t>{c, group, id, b}));
    ASSERT_EQ(book.RemoveRecord(id, 1), 1);
    EXPECT_EQ(list(kRootFolderId), (std::vector<int32_t>{c, group, b}));

    // Removing a folder takes its records, their favourite entries and group memberships, in one write.
    EXPECT_EQ(book.RemoveFolder(kRootFolderId), 0);
    EXPECT_EQ(book.RemoveFolder(kFavoriteFolderId), 0);
    ASSERT_EQ(book.RemoveFolder(folder), 1);
    EXPECT_EQ(book.GetFolderInfo(folder, type, text), 0);
    EXPECT_EQ(book.GetRecordInfo(a, type, text, parent), 0);
    EXPECT_EQ(list(kFavoriteFolderId), std::vector<int32_t>{});
    EXPECT_EQ(members(group), std::vector<int32_t>{c});

    // Everything above is in the file.
    CPhoneBook other;
    ASSERT_EQ(other.Initiate(path, 0), 1);
    const PhoneBookList l = other.FindRecords(kRootFolderId, kAll);
    EXPECT_EQ(other.GetRecordListCount(l), 3);
    EXPECT_EQ(other.GetNewID(), book.GetNewID());
}

TEST_F(PhoneBookStore, FailedChangesLeaveBookAndFileAsTheyWere)
{
    const int32_t fax = addFax("Fax");
    const std::string before = file();
    auto unchanged = [&](int result, const char* what) {
        EXPECT_EQ(result, 0) << what;
        EXPECT_EQ(file(), before) << what;
    };
    int32_t id = 0;
    // A commit into a folder that does not exist, or into the favourite list.
    for (const int32_t parent : {77, kFavoriteFolderId}) {
        ASSERT_EQ(book.CreateNewRecord(PB_RECORD_FAX, "Lost", parent, id, 0), 1);
        unchanged(book.FlushRecord(id, 0), "flush into a missing folder");
        EXPECT_TRUE(platform::pathExists(CPhoneBook::GetRecordFilePath(id))); // kept for another try
        EXPECT_EQ(list(kRootFolderId), std::vector<int32_t>{fax});
        int32_t type = 0, parent2 = 0;
        std::string text;
        EXPECT_EQ(book.GetRecordInfo(id, type, text, parent2), 0);
    }
    // An update of id 0 writes no "#00000000.xml"; an id in use is refused as a new record.
    id = 0;
    unchanged(book.CreateNewRecord(PB_RECORD_FAX, "Zero", kRootFolderId, id, 1), "update of id 0");
    EXPECT_FALSE(platform::pathExists(CPhoneBook::GetRecordFilePath(0)));
    id = fax;
    ASSERT_EQ(book.CreateNewRecord(PB_RECORD_FAX, "Again", kRootFolderId, id, 1), 1);
    unchanged(book.FlushRecord(fax, 0), "new record with an id in use");
    // Keys that are not XML names, keys the kind has not, types that do not exist.
    const std::string bad[] = {"", "a/b", "x']|//*['", "1st", "fax Number", "faxNumber/data"};
    for (const std::string& key : bad) {
        unchanged(book.AddRecordValue(fax, PB_RECORD_FAX, key, "v"), key.c_str());
        unchanged(book.UpdateRecordValue(fax, key, "v"), key.c_str());
    }
    unchanged(book.AddRecordValue(fax, PB_RECORD_FAX, "mailAddress", "v"), "ifax key on a fax");
    unchanged(book.AddRecordValue(fax, 7, "faxNumber", "v"), "type 7");
    unchanged(book.CreateNewRecord(3, "x", kRootFolderId, id, 0), "type 3");
    // A group in the making is not a committed group.
    unchanged(book.AddRecord2Group(fax, fax), "group without a record file");
    const int32_t group = addGroup("G", {});
    const std::string withGroup = file();
    EXPECT_EQ(book.AddRecord2Group(group, fax), 0);
    EXPECT_EQ(file(), withGroup);
}

TEST_F(PhoneBookStore, TwoStoresChangingOneBookLoseNothing)
{
    CPhoneBook other;
    ASSERT_EQ(other.Initiate(path, 0), 1);
    const int32_t a = addFax("From first");
    const int32_t b = addFax("From second", kRootFolderId, "false", &other);
    // Both makings at once get different ids.
    int32_t x = 0, y = 0;
    ASSERT_EQ(book.CreateNewRecord(PB_RECORD_FAX, "x", kRootFolderId, x, 0), 1);
    ASSERT_EQ(other.CreateNewRecord(PB_RECORD_FAX, "y", kRootFolderId, y, 0), 1);
    EXPECT_NE(x, y);
    ASSERT_EQ(other.FlushRecord(y, 0), 1);
    ASSERT_EQ(book.FlushRecord(x, 0), 1);
    ASSERT_EQ(other.UpdateRecordValue(a, "faxNumber", "1"), 1);
    ASSERT_EQ(book.RemoveRecord(b, 1), 1);
    ASSERT_EQ(book.Initiate(path, 1), 1);
    EXPECT_EQ(list(kRootFolderId), (std::vector<int32_t>{a, y, x}));
    std::string number;
    ASSERT_EQ(book.GetRecordValue(a, "faxNumber", number), 1);
    EXPECT_EQ(number, "1");
    EXPECT_GT(book.GetNewID(), std::max(x, y));
}

TEST_F(PhoneBookStore, AFailedCallGivesUpTheClaimItTook)
{
    // Calls on an id that has no record file fail, and the id stays free for every store.
    CPhoneBook other;
    ASSERT_EQ(other.Initiate(path, 0), 1);
    int32_t group = 0;
    ASSERT_EQ(book.CreateNewGroup("Team", kRootFolderId, group, 0), 1);
    ASSERT_EQ(book.FlushGroup(group, 0), 1);
    const int32_t next = group + 1;
    EXPECT_EQ(book.FlushRecord(next, 0), 0);
    EXPECT_EQ(book.AddRecordValue(next, PB_RECORD_FAX, "faxNumber", "1"), 0);
    EXPECT_EQ(book.AddRecord2Group(next, group), 0);
    int32_t id = 0;
    ASSERT_EQ(other.CreateNewRecord(PB_RECORD_FAX, "Other", kRootFolderId, id, 0), 1);
    EXPECT_EQ(id, next);
    // A claim held before the failing call stays: the record in the making keeps its id.
    int32_t mine = 0;
    ASSERT_EQ(book.CreateNewRecord(PB_RECORD_FAX, "Mine", kRootFolderId, mine, 0), 1);
    EXPECT_EQ(mine, next + 1);
    EXPECT_EQ(book.AddRecordValue(mine, PB_RECORD_FAX, "noSuchKey", "1"), 0);
    int32_t third = 0;
    ASSERT_EQ(other.CreateNewRecord(PB_RECORD_FAX, "Third", kRootFolderId, third, 0), 1);
    EXPECT_EQ(third, next + 2);
    ASSERT_EQ(book.FlushRecord(mine, 0), 1);
    ASSERT_EQ(other.FlushRecord(id, 0), 1);
    ASSERT_EQ(other.FlushRecord(third, 0), 1);
}

TEST_F(PhoneBookStore, RecordFilesOfTwoBooksNeverMix)
{
    // Two books of one directory hand out their first id at once: one record file name for both.
    CPhoneBook home;
    ASSERT_EQ(home.Initiate(directory + "/Home.xml", 0), 1);
    const int32_t bob = addFax("Bob", kRootFolderId, "false", &home);
    int32_t alice = 0;
    ASSERT_EQ(book.CreateNewRecord(PB_RECORD_FAX, "Alice", kRootFolderId, alice, 0), 1);
    ASSERT_EQ(alice, bob);
    int32_t edited = bob;
    EXPECT_EQ(home.CreateNewRecord(PB_RECORD_FAX, "Bob (edited)", kRootFolderId, edited, 1), 0)
        << "a record file in the making belongs to its store";
    EXPECT_EQ(home.AddRecordValue(bob, PB_RECORD_FAX, "faxNumber", "0666"), 0);
    EXPECT_EQ(home.FlushRecord(bob, 1), 0);
    ASSERT_EQ(book.AddRecordValue(alice, PB_RECORD_FAX, "faxNumber", "0111"), 1);
    ASSERT_EQ(book.FlushRecord(alice, 0), 1);

    // The other way round: the edit is in the making first, and the new record takes another id.
    ASSERT_EQ(home.CreateNewRecord(PB_RECORD_FAX, "Bob (edited)", kRootFolderId, edited, 1), 1);
    int32_t carl = 0;
    ASSERT_EQ(book.CreateNewRecord(PB_RECORD_FAX, "Carl", kRootFolderId, carl, 0), 1);
    EXPECT_NE(carl, bob);
    ASSERT_EQ(home.FlushRecord(bob, 1), 1);
    ASSERT_EQ(book.FlushRecord(carl, 0), 1);

    int32_t type = 0, parent = 0;
    std::string name, number;
    ASSERT_EQ(book.GetRecordInfo(alice, type, name, parent), 1);
    EXPECT_EQ(name, "Alice");
    ASSERT_EQ(book.GetRecordValue(alice, "faxNumber", number), 1);
    EXPECT_EQ(number, "0111");
    ASSERT_EQ(home.GetRecordInfo(bob, type, name, parent), 1);
    EXPECT_EQ(name, "Bob (edited)");
    EXPECT_EQ(list(kRootFolderId), (std::vector<int32_t>{alice, carl}));
    EXPECT_TRUE(platform::listFiles(directory, "#*.xml").empty());
}

TEST_F(PhoneBookStore, WhatKilledWritersLeftIsSweptButNotWhatLiveOnesMake)
{
    // Writers that hold a record in the making: one killed, one alive.
    auto hold = [&](const std::string& ready, int32_t& id) {
        auto p = platform::startProgram(helperProgram("phonebook_worker"), {"hold", path, ready});
        for (int i = 0; i < 500 && !platform::pathExists(ready); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        id = std::atoi(readTextFile(ready).c_str());
        return p;
    };
    int32_t killed = 0, alive = 0;
    auto live = hold(root.path() + "/live", alive);
    ASSERT_TRUE(live && alive > 0);
    auto dead = hold(root.path() + "/dead", killed);
    ASSERT_TRUE(dead && killed > 0);
    ASSERT_NE(alive, killed);
    ::kill(dead->pid, SIGKILL);
    platform::waitProgram(*dead);
    // Temporary files of writes that were killed midway, of this book and of a record file.
    char recordTemp[32];
    std::snprintf(recordTemp, sizeof recordTemp, "/.#%08x.xml.tmp-a1b2c3", 200);
    for (const std::string& name : {std::string("/.Office.xml.tmp-a1b2c3"), std::string(recordTemp)})
        writeTextFile(directory + name, std::string(4096, 'x'));
    writeTextFile(directory + "/.Home.xml.tmp-a1b2c3", "another book's");

    CPhoneBook later;
    ASSERT_EQ(later.Initiate(path, 0), 1);
    EXPECT_EQ(addFax("Later", kRootFolderId, "false", &later), killed) << "the killed writer's id is free again";
    EXPECT_TRUE(platform::pathExists(CPhoneBook::GetRecordFilePath(alive)));
    EXPECT_EQ(platform::listFiles(directory, "#*.xml").size(), 1u);
    EXPECT_EQ(platform::listFiles(directory, ".*.tmp-*"), std::vector<std::string>{".Home.xml.tmp-a1b2c3"});
    ::kill(live->pid, SIGKILL);
    platform::waitProgram(*live);
}

TEST_F(PhoneBookStore, ARemovedRecordLeavesNoFavouriteEntryOrMembership)
{
    const int32_t group = addGroup("G", {addFax("Keep")});
    for (const int flag : {0, 1}) {
        const int32_t gone = addFax("Gone", kRootFolderId, "true");
        int32_t id = group;
        ASSERT_EQ(book.CreateNewGroup("G", kRootFolderId, id, 1), 1);
        ASSERT_EQ(book.AddRecordValue(group, PB_RECORD_GROUP, "frequentlyUsed", "false"), 1);
        for (const int32_t m : {members(group)[0], gone})
            ASSERT_EQ(book.AddRecord2Group(group, m), 1);
        ASSERT_EQ(book.FlushGroup(group, 1), 1);
        ASSERT_EQ(book.RemoveRecord(gone, flag), 1);
        EXPECT_EQ(members(group).size(), 1u) << flag;
        EXPECT_EQ(list(kFavoriteFolderId), std::vector<int32_t>{}) << flag;
        const std::vector<int32_t> rootList = list(kRootFolderId);
        EXPECT_EQ(std::count(rootList.begin(), rootList.end(), gone), flag ? 0 : 1) << "only the flag takes the folder entry";
    }
    // A book reached through a link stays a link: the change goes to the file it leads to.
    const std::string target = root.path() + "/elsewhere.xml";
    ASSERT_EQ(::rename(path.c_str(), target.c_str()), 0);
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    ASSERT_EQ(book.Initiate(path, 1), 1);
    addFax("Through the link");
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_NE(readTextFile(target).find("Through the link"), std::string::npos);
}

TEST_F(PhoneBookStore, UnreadableBooksAreNeverReplaced)
{
    const std::string damaged[] = {
        kNewBook.substr(0, kNewBook.size() / 2),                         // cut short
        "",                                                              // empty
        "not xml at all",                                                // another file altogether
        "<system><newid><data>10</data></newid></system>",               // no version
        "<system><version>1.0</version><newid><data/></newid></system>", // empty counter
        std::string("<system><version>1.0</version>\0<newid>", 38),       // ends at a zero byte
    };
    for (const std::string& text : damaged) {
        writeTextFile(path, text);
        CPhoneBook store;
        EXPECT_EQ(store.Initiate(path, 0), 0) << text;
        EXPECT_EQ(readTextFile(path), text);
        EXPECT_FALSE(store.IsInitiated());
    }
    // A book that turns bad under an open store: its changes fail and the file stays.
    writeTextFile(path, kNewBook);
    ASSERT_EQ(book.Initiate(path, 1), 1);
    writeTextFile(path, "garbage");
    int32_t id = 0;
    EXPECT_EQ(book.CreateNewRecord(PB_RECORD_FAX, "x", kRootFolderId, id, 0), 0);
    EXPECT_EQ(readTextFile(path), "garbage");

    // Names that are not book names, and folders that do not exist.
    CPhoneBook store;
    for (const char* name : {".hidden.xml", "#0000000b.xml", "..", "", "Book.xml/"})
        EXPECT_EQ(store.Initiate(directory + "/" + std::string(name), 0), 0) << name;
    EXPECT_EQ(store.Initiate(directory + "/missing/Book.xml", 0), 0);
    EXPECT_EQ(store.Initiate(directory + "\\O'Brien.xml", 0), 1); // a stored path with '\' and an apostrophe
    EXPECT_TRUE(platform::pathExists(directory + "/O'Brien.xml"));
}

TEST_F(PhoneBookStore, BooksOfOtherShapesKeepEverythingTheyHold)
{
    // Written by hand: double quotes, empty lists, something the store does not know, a second
    // profile with an id in use, an entry with white space inside.
    const std::string handMade =
        "<system>\n <version>1.0</version><newid><data>12</data></newid><folders>"
        "<root id=\"1\"><name><data><value>root</value></data></name><id><data><value>1</value></data></id>"
        "<records>\n  <record>\n   <id type=\"fax\">11</id><name>Old</name></record>\n </records></root>"
        "<favorite id=\"2\"><name><data><value>favorite</value></data></name><id><data><value>2</value></data></id>"
        "<records/></favorite><note>kept</note></folders>"
        "<profiles><profile id=\"11\"><fax><parentID><data><value>1</value></data></parentID><id><data><value>11"
        "</value></data></id><fullName><data><value>Old</value></data></fullName><frequentlyUsed><data><value/>"
        "</data></frequentlyUsed></fax></profile><extra/><profile id=\"11\"><fax><fullName><data><value>Shadow"
        "</value></data></fullName></fax></profile></profiles></system>";
    writeTextFile(path, handMade);
    ASSERT_EQ(book.Initiate(path, 1), 1);
    int32_t type = 0, parent = 0;
    std::string name;
    ASSERT_EQ(book.GetRecordInfo(11, type, name, parent), 1);
    EXPECT_EQ(name, "Old"); // the first profile of an id is the record
    EXPECT_EQ(readTextFile(path), handMade); // opening wrote nothing

    const int32_t added = addFax("New", kRootFolderId, "true");
    EXPECT_EQ(added, 13);
    // The file is exactly what the document writer makes of the book it holds.
    auto canonical = [](const std::string& text) {
        const auto doc = mfpif_Halvet_R1::adopt(createDocument());
        doc->addRef();
        const auto parsed = doc->loadXML(text.c_str(), true);
        return parsed ? std::string(parsed->getXML().c_str()) : std::string();
    };
    std::string text = file();
    EXPECT_EQ(canonical(text), text);
    for (const char* kept : {"<note>kept</note>", "<extra/>", "Shadow", "<records>&#x0a;  <record>&#x0a;   <id type='fax'>11"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept;
    EXPECT_EQ(list(kRootFolderId), (std::vector<int32_t>{11, added}));
    EXPECT_EQ(list(kFavoriteFolderId), std::vector<int32_t>{added});
    ASSERT_EQ(book.MoveRecord(11, kRootFolderId, kRootFolderId), 1);
    text = file();
    EXPECT_EQ(canonical(text), text);
    EXPECT_EQ(list(kRootFolderId), (std::vector<int32_t>{added, 11}));
    ASSERT_EQ(book.RemoveRecord(11, 1), 1);
    EXPECT_EQ(list(kRootFolderId), std::vector<int32_t>{added});
    ASSERT_EQ(book.GetRecordValue(11, "fullName", name), 1);
    EXPECT_EQ(name, "Shadow"); // the second profile of that id comes forward, as the path finds it
}

// A book of more than 32 MB (read into memory of its own, written out in pieces larger than the
// store's buffer) opens, changes and reads back as a small one does; after a zero byte nothing counts.
TEST_F(PhoneBookStore, LargeBooksReadAndWriteAsSmallOnes)
{
    const std::string note = "<note>" + std::string(33u << 20, 'x') + "</note>";
    const std::string large = "<system><version>1.0</version><newid><data>12</data></newid><folders>"
                              "<root id='1'><name><data><value>root</value></data></name><id><data><value>1</value>"
                              "</data></id><records><record><id type='fax'>11</id><name>Old</name></record></records>"
                              "</root><favorite id='2'><name><data><value>favorite</value></data></name><id><data>"
                              "<value>2</value></data></id><records/></favorite>"
                              + note
                              + "</folders><profiles><profile id='11'><fax><parentID><data><value>1</value></data>"
                                "</parentID><id><data><value>11</value></data></id><fullName><data><value>Old</value>"
                                "</data></fullName></fax></profile></profiles></system>";
    for (const std::string& text : {large, large + std::string("\0<junk", 6)}) {
        writeTextFile(path, text);
        ASSERT_EQ(book.Initiate(path, 1), 1);
        int32_t type = 0, parent = 0;
        std::string name;
        ASSERT_EQ(book.GetRecordInfo(11, type, name, parent), 1);
        EXPECT_EQ(name, "Old");
        const int32_t added = addFax("New");
        EXPECT_EQ(list(kRootFolderId), (std::vector<int32_t>{11, added}));
        const std::string written = file();
        EXPECT_NE(written.find(note), std::string::npos);
        EXPECT_EQ(written.find("junk"), std::string::npos);
        CPhoneBook again;
        ASSERT_EQ(again.Initiate(path, 0), 1);
        ASSERT_EQ(again.GetRecordInfo(added, type, name, parent), 1);
        EXPECT_EQ(name, "New");
    }
}

TEST_F(PhoneBookStore, BookListingSkipsWhatIsNoBook)
{
    ScopedStateRoot fresh;
    EXPECT_EQ(CPhoneBook::CountPhoneBooks(), -1); // no .xml file at all
    const std::string dir = GetPhoneBookDirectory();
    writeTextFile(dir + "/#0000000b.xml", "<profile id='11'/>");
    EXPECT_EQ(CPhoneBook::CountPhoneBooks(), 0);
    writeTextFile(dir + "/zeta.xml", kNewBook);
    writeTextFile(dir + "/Alpha.XML", kNewBook);
    writeTextFile(dir + "/beta.xml", kNewBook);
    writeTextFile(dir + "/v2.xml", "<system><version>2.0</version></system>");
    writeTextFile(dir + "/late.xml", "<system>" + std::string(260, ' ') + "<version>1.0</version></system>");
    writeTextFile(dir + "/notes.txt", kNewBook);
    ASSERT_EQ(CPhoneBook::CountPhoneBooks(), 3);
    std::vector<std::string> names;
    for (int32_t i = 0; i < 4; ++i) {
        std::string path;
        std::time_t written = 0;
        if (CPhoneBook::GetPhoneBookPath(i, path, written)) {
            names.push_back(platform::fileNameOf(path));
            EXPECT_GT(written, 0);
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha.XML", "beta.xml", "zeta.xml"}));
    EXPECT_EQ(CPhoneBook::IsPhoneBookFile(dir + "/late.xml", 1), 1);
    EXPECT_EQ(CPhoneBook::IsPhoneBookFile(dir + "/late.xml", 0), 0);
    EXPECT_EQ(CPhoneBook::IsPhoneBookFile(dir + "/none.xml", 0), 0);
}

TEST_F(PhoneBookStore, FourProcessesCreatingRecordsInOneBook)
{
    std::vector<platform::StartedProgram> workers;
    for (int w = 0; w < 4; ++w) {
        auto p = platform::startProgram(helperProgram("phonebook_worker"), {"create", path, "w" + std::to_string(w), "200"});
        ASSERT_TRUE(p);
        workers.push_back(*p);
    }
    for (const auto& p : workers)
        EXPECT_EQ(platform::waitProgram(p), 0);

    ASSERT_EQ(book.Initiate(path, 1), 1);
    const std::vector<int32_t> ids = list(kRootFolderId);
    ASSERT_EQ(ids.size(), 800u);
    EXPECT_EQ(std::set<int32_t>(ids.begin(), ids.end()).size(), 800u);
    std::set<std::string> names;
    for (const int32_t id : ids) {
        int32_t type = 0, parent = 0;
        std::string name;
        ASSERT_EQ(book.GetRecordInfo(id, type, name, parent), 1) << id;
        names.insert(name);
    }
    for (int w = 0; w < 4; ++w)
        for (int i = 0; i < 200; ++i)
            EXPECT_TRUE(names.count("w" + std::to_string(w) + "-" + std::to_string(i))) << w << "-" << i;
    EXPECT_EQ(book.GetNewID(), 811);
    EXPECT_TRUE(platform::listFiles(directory, "#*.xml").empty());
}

TEST_F(PhoneBookStore, ReaderNeverSeesAPartialBook)
{
    const std::string stop = root.path() + "/stop";
    auto reader = platform::startProgram(helperProgram("phonebook_worker"), {"read-until", path, stop});
    ASSERT_TRUE(reader);
    auto writer = platform::startProgram(helperProgram("phonebook_worker"), {"create", path, "w", "300"});
    ASSERT_TRUE(writer);
    EXPECT_EQ(platform::waitProgram(*writer), 0);
    writeTextFile(stop, "");
    EXPECT_EQ(platform::waitProgram(*reader), 0);
}

} // namespace

// Another user swapped the book for a link to their copy while an earlier umask left the folder
// open to them. Mended at start, the link is moved aside and the changes go to a book of the
// user's own; unmended, the store refuses the book. Their copy never takes a change either way.
TEST(PlantedByAnotherUser, ABookLinkedToTheirCopyNeverTakesTheChanges)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "planting as another user takes root";
    for (const bool mended : {true, false}) {
        SCOPED_TRACE(mended ? "mended" : "unmended");
        ScopedStateRoot root;
        const std::string directory = GetPhoneBookDirectory();
        const std::string path = directory + "/Office.xml", theirs = root.path() + "/theirs";
        CPhoneBook book;
        ASSERT_EQ(book.Initiate(path, 0), 1);
        ASSERT_EQ(::mkdir(theirs.c_str(), 0755), 0);
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
        for (std::string level = directory; level.size() >= root.path().size(); level = platform::parentPath(level))
            ASSERT_EQ(::chmod(level.c_str(), level == directory ? 0777 : 0755), 0) << level;
        const int planted = qelta::test::runInChild([&] {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                return 2;
            writeTextFile(theirs + "/Office.xml", kNewBook);
            return ::unlink(path.c_str()) == 0 && ::symlink((theirs + "/Office.xml").c_str(), path.c_str()) == 0 ? 0 : 3;
        });
        ASSERT_EQ(planted, 0);
        if (mended) {
            ::testing::internal::CaptureStderr();
            MendUserFolders();
            EXPECT_NE(::testing::internal::GetCapturedStderr().find("Office.xml belongs to user 65534"), std::string::npos);
            EXPECT_TRUE(platform::pathExists(path + ".foreign"));
        } else {
            ASSERT_EQ(::chmod(directory.c_str(), 0700), 0);
        }
        // A program started after the mend, and the store that had the book open before.
        CPhoneBook started;
        int32_t id = 0;
        if (mended) {
            ASSERT_EQ(started.Initiate(path, 0), 1);
            ASSERT_EQ(started.CreateNewRecord(PB_RECORD_FAX, "Ann", kRootFolderId, id, 0), 1);
            EXPECT_EQ(started.FlushRecord(id, 0), 1);
            EXPECT_NE(readTextFile(path).find("Ann"), std::string::npos);
            EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(path)));
        } else {
            EXPECT_EQ(started.Initiate(path, 0), 0);
            EXPECT_EQ(book.CreateNewRecord(PB_RECORD_FAX, "Ann", kRootFolderId, id, 0), 0);
        }
        EXPECT_EQ(readTextFile(theirs + "/Office.xml"), kNewBook);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(theirs), {}), 1);
    }
}
