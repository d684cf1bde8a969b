// The dialogs' phone book on real files: the search and its file, folders by name, book files.
#include "common/data_folders.h"
#include "phonebook/dialogs/picker_phone_book.h"
#include "platform/files.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/resource.h>
#include <vector>

using qelta::test::readTextFile;
using qelta::test::runInChild;
using qelta::test::writeTextFile;

namespace {

constexpr int kAll = PB_MASK_FAX | PB_MASK_IFAX | PB_MASK_GROUP;

class PickerBook : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = CPickerPhoneBook::GetPhoneBookPath("Office");
        ASSERT_FALSE(path.empty());
        ASSERT_EQ(book.Initiate(path, 0), 1);
    }

    int32_t add(int32_t type, const std::string& name, const std::string& initial, int32_t folder = kRootFolderId)
    {
        int32_t id = 0;
        EXPECT_EQ(book.CreateNewRecord(type, name, folder, id, 0), 1);
        if (type != PB_RECORD_GROUP) {
            EXPECT_EQ(book.AddRecordValue(id, type, "initial", initial), 1);
        }
        EXPECT_EQ(book.FlushRecord(id, 0), 1);
        return id;
    }

    // The ids of a result list, checked against its count.
    std::vector<int32_t> ids(const mfpif_Halvet_R1::INodeListPtr& list)
    {
        std::vector<int32_t> out;
        const int32_t count = book.GetSearchCount(list);
        for (int32_t i = 0; i < count; ++i)
            out.push_back(book.GetSearchRecordID(list, i));
        EXPECT_EQ(book.GetSearchRecordID(list, count), 0);
        EXPECT_EQ(book.GetSearchRecordID(list, -1), 0);
        return out;
    }

    qelta::test::ScopedStateRoot root;
    std::string path;
    CPickerPhoneBook book;
};

} // namespace

TEST_F(PickerBook, SearchByNameOrRetrievalCharacters)
{
    const int32_t xabx = add(PB_RECORD_FAX, "xabx", "zz");
    const int32_t byInitial = add(PB_RECORD_IFAX, "Zed", "abc");
    const int32_t member = add(PB_RECORD_FAX, "ab member", "");
    int32_t group = 0;
    ASSERT_EQ(book.CreateNewGroup("cd", kRootFolderId, group, 0), 1);
    ASSERT_EQ(book.AddRecord2Group(group, member), 1);
    ASSERT_EQ(book.FlushGroup(group, 0), 1);
    const int32_t abGroup = add(PB_RECORD_GROUP, "the ab group", "");

    // Before any search there are no results, whatever an earlier run left in the search file.
    writeTextFile(CPickerPhoneBook::GetSearchPath(),
                  "<system><version>1.0</version><newid><data>99</data></newid><search><records><record><id "
                  "type='fax'>7</id><name>old</name></record></records></search></system>");
    EXPECT_EQ(ids(book.QueryRecords(kRootFolderId, nullptr, kAll)), std::vector<int32_t>{});
    EXPECT_EQ(book.GetNewID(), abGroup + 1) << "the search file is no book";

    const struct {
        const char* text;
        int mask;
        std::vector<int32_t> found;
    } searches[] = {
        {"ab", kAll, {xabx, byInitial, member, abGroup}}, // not the group "cd" whose member matches
        {"ab", PB_MASK_FAX, {xabx, member}},
        {"ab", PB_MASK_IFAX | PB_MASK_GROUP, {byInitial, abGroup}},
        {"AB", kAll, {}},                                 // case matters
        {"", PB_MASK_FAX, {xabx, member}},
        {"", kAll, {xabx, byInitial, member, group, abGroup}},
        {"zz", kAll, {xabx}},
        {"c", PB_MASK_GROUP, {group}},                    // groups by name only
    };
    for (const auto& s : searches) {
        const auto list = book.QueryRecords(kRootFolderId, s.text, s.mask);
        ASSERT_TRUE(list) << s.text;
        EXPECT_EQ(ids(list), s.found) << s.text << " " << s.mask;
        // Without a text: the last search's results, the same list.
        EXPECT_EQ(book.QueryRecords(kRootFolderId, nullptr, kAll), list);
        EXPECT_EQ(book.GetSearchCount(nullptr), -1);
    }
    const auto stale = book.QueryRecords(kRootFolderId, "x", kAll);
    book.QueryRecords(kRootFolderId, "x", kAll);
    EXPECT_EQ(book.GetSearchCount(stale), -1) << "a list of an earlier search";
    EXPECT_EQ(book.GetSearchRecordID(stale, 0), 0);

    // Opening the book again forgets the search.
    ASSERT_EQ(book.GetSearchCount(book.QueryRecords(kRootFolderId, "ab", kAll)), 4);
    ASSERT_EQ(book.Initiate(path, 1), 1);
    EXPECT_EQ(ids(book.QueryRecords(kRootFolderId, nullptr, kAll)), std::vector<int32_t>{});

    // A folder that does not exist, and a book that is not open.
    EXPECT_FALSE(book.QueryRecords(77, "ab", kAll));
    EXPECT_EQ(ids(book.QueryRecords(kRootFolderId, nullptr, kAll)), std::vector<int32_t>{});
    CPickerPhoneBook closed;
    EXPECT_FALSE(closed.QueryRecords(kRootFolderId, "ab", kAll));
}

TEST_F(PickerBook, ARecordWithoutRetrievalCharactersIsNoMatch)
{
    const int32_t plain = add(PB_RECORD_FAX, "plain", "q1");
    const int32_t bare = add(PB_RECORD_FAX, "bare", "q2");
    const int32_t found = add(PB_RECORD_FAX, "found", "q3");
    // Another program's book: the second record has no "initial" at all.
    std::string text = readTextFile(path);
    const std::string profile = "<profile id='" + std::to_string(bare) + "'>";
    const size_t at = text.find("<initial>", text.find(profile));
    ASSERT_NE(at, std::string::npos);
    text.erase(at, text.find("</initial>", at) + 10 - at);
    writeTextFile(path, text);
    CPickerPhoneBook other;
    ASSERT_EQ(other.Initiate(path, 0), 1);
    const auto list = other.QueryRecords(kRootFolderId, "q", kAll);
    ASSERT_TRUE(list);
    ASSERT_EQ(other.GetSearchCount(list), 2);
    EXPECT_EQ(other.GetSearchRecordID(list, 0), plain);
    EXPECT_EQ(other.GetSearchRecordID(list, 1), found);
}

TEST_F(PickerBook, TheSearchFileHoldsTheResults)
{
    add(PB_RECORD_FAX, "Anna", "");
    add(PB_RECORD_FAX, "Bob & Co", "");
    ASSERT_TRUE(book.QueryRecords(kRootFolderId, "&", kAll));
    EXPECT_EQ(readTextFile(CPickerPhoneBook::GetSearchPath()), "<system>&#x0d;&#x0a;&#x09;<search>&#x0d;&#x0a;&#x09;&#x09;<records>&#x0d;&#x0a;&#x09;&#x09;<record><id "
                                                                 "type='fax'>12</id><name>Bob &amp;amp; Co</name></record>"
                                                                 "</records>&#x0d;&#x0a;&#x09;</search>&#x0d;&#x0a;</system>");
    // A failed search with a text leaves the empty state in the file.
    EXPECT_FALSE(book.QueryRecords(77, "&", kAll));
    EXPECT_EQ(readTextFile(CPickerPhoneBook::GetSearchPath()), "<system>&#x0d;&#x0a;&#x09;<search>&#x0d;&#x0a;&#x09;&#x09;<records>&#x0d;&#x0a;"
                                                                 "&#x09;&#x09;</records>&#x0d;&#x0a;&#x09;</search>&#x0d;&#x0a;</system>");
}

TEST_F(PickerBook, FoldersAreFoundByTheirStoredNames)
{
    const std::string names[] = {"O'Brien", "Café", "Work", "a<b&c>\"d'", "root"};
    std::vector<int32_t> made;
    for (const std::string& name : names) {
        EXPECT_EQ(book.FindFolder(name), 0) << name;
        int32_t id = 0;
        ASSERT_EQ(book.CreateNewFolder(name, id), 1) << name;
        made.push_back(id);
        EXPECT_EQ(book.FindFolder(name), 1) << name;
    }
    EXPECT_EQ(made, (std::vector<int32_t>{11, 12, 13, 14, 15}));
    EXPECT_EQ(book.FindFolder("work"), 0);
    EXPECT_EQ(book.FindFolder("favorite"), 0);
    EXPECT_EQ(book.FindFolder("']|//*['"), 0);
    EXPECT_EQ(book.FindFolder(""), 0);
    // Another program sees them, with their names.
    CPickerPhoneBook other;
    ASSERT_EQ(other.Initiate(path, 0), 1);
    int32_t type = 0;
    std::string name;
    ASSERT_EQ(other.GetFolderInfo(made[1], type, name), 1);
    EXPECT_EQ(type, PB_FOLDER_USER);
    EXPECT_EQ(name, "Café");
    EXPECT_EQ(other.FindFolder("a<b&c>\"d'"), 1);
    CPickerPhoneBook closed;
    EXPECT_EQ(closed.FindFolder("Work"), 0);
    int32_t id = 0;
    EXPECT_EQ(closed.CreateNewFolder("x", id), 0);
}

TEST_F(PickerBook, ANewFolderTakesAnIdAboveEveryOtherAndHoldsRecords)
{
    // Another program adds a record after this one read the book.
    CPickerPhoneBook other;
    ASSERT_EQ(other.Initiate(path, 0), 1);
    int32_t record = 0;
    ASSERT_EQ(other.CreateNewRecord(PB_RECORD_FAX, "Elsewhere", kRootFolderId, record, 0), 1);
    ASSERT_EQ(other.FlushRecord(record, 0), 1);
    ASSERT_EQ(record, 11);

    int32_t folder = 0;
    ASSERT_EQ(book.CreateNewFolder("Sales", folder), 1);
    EXPECT_EQ(folder, 12);
    const std::string text = readTextFile(path);
    EXPECT_NE(text.find("<newid><data>12</data></newid>"), std::string::npos);
    EXPECT_NE(text.find("<folder id='12'>&#x0d;&#x0a;&#x09;<name><data><value>Sales</value></data></name>&#x0d;&#x0a;"
                        "&#x09;<id><data><value>12</value></data></id>&#x0d;&#x0a;&#x09;<records>&#x0d;&#x0a;&#x09;"
                        "</records>&#x0d;&#x0a;</folder>"),
              std::string::npos)
        << text;
    // The other program's record stays, and records go into the new folder at once.
    const PhoneBookList all = book.FindRecords(kRootFolderId, kAll);
    EXPECT_EQ(book.GetRecordListCount(all), 1);
    int32_t inFolder = 0;
    ASSERT_EQ(book.CreateNewRecord(PB_RECORD_FAX, "Inside", folder, inFolder, 0), 1);
    ASSERT_EQ(book.FlushRecord(inFolder, 0), 1);
    const PhoneBookList list = book.FindRecords(folder, kAll);
    ASSERT_EQ(book.GetRecordListCount(list), 1);
    EXPECT_EQ(book.GetRecordID(list, 0), inFolder);
    EXPECT_EQ(book.GetSearchCount(book.QueryRecords(folder, "Ins", kAll)), 1);
}

TEST_F(PickerBook, AFailedSaveOfANewFolderChangesNothing)
{
    const std::string before = readTextFile(path);
    // The file may not grow: the write of the book fails (also for root, unlike a read-only folder).
    const int result = runInChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{before.size(), before.size()};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            return 10;
        int32_t id = 0;
        if (book.CreateNewFolder("Sales", id) != 0 || id != 0)
            return 11;
        if (book.FindFolder("Sales") != 0 || book.GetNewID() != 11)
            return 12;
        const PhoneBookList folders = book.FindFolders();
        return book.GetFolderListCount(folders) == 2 ? 0 : 13;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(readTextFile(path), before);
}

TEST_F(PickerBook, BookFilesByName)
{
    const std::string directory = GetPhoneBookDirectory();
    // Names that are no book names build no path and touch nothing.
    for (const std::string& bad : std::vector<std::string>{"", "a/b", "..", ".hidden", "#search", "a\\b", "tab\tname", std::string("nul\0x", 5)}) {
        EXPECT_EQ(CPickerPhoneBook::GetPhoneBookPath(bad), "") << bad;
        CPickerPhoneBook b;
        EXPECT_EQ(b.CreatePhoneBook(bad), 0) << bad;
        EXPECT_EQ(CPickerPhoneBook::DeletePhoneBook(bad), 0) << bad;
    }
    // A new book is made and opened; an existing one is never replaced, a phone book or not.
    CPickerPhoneBook made;
    ASSERT_EQ(made.CreatePhoneBook("New"), 1);
    EXPECT_TRUE(made.IsInitiated());
    EXPECT_EQ(made.GetBookPath(), directory + "/New.xml");
    EXPECT_EQ(CPhoneBook::IsPhoneBookFile(directory + "/New.xml", 1), 1);
    EXPECT_EQ(made.CreatePhoneBook("New"), 0);
    EXPECT_EQ(book.CreatePhoneBook("Office"), 0);
    const std::string notABook = "<notes>keep me</notes>";
    writeTextFile(directory + "/x.xml", notABook);
    writeTextFile(directory + "/notes.xml", "plain text");
    CPickerPhoneBook x;
    EXPECT_EQ(x.CreatePhoneBook("x"), 0);
    EXPECT_FALSE(x.IsInitiated());
    EXPECT_EQ(CPickerPhoneBook::DeletePhoneBook("x"), 0);
    EXPECT_EQ(readTextFile(directory + "/x.xml"), notABook);

    // The listing skips what is no book, the search file among them.
    ASSERT_TRUE(book.QueryRecords(kRootFolderId, "", kAll));
    ASSERT_TRUE(platform::pathExists(CPickerPhoneBook::GetSearchPath()));
    std::vector<CPhoneBook::BookFile> books;
    ASSERT_TRUE(CPhoneBook::ListPhoneBooks(books));
    ASSERT_EQ(books.size(), 2u);
    EXPECT_EQ(books[0].path, directory + "/New.xml");
    EXPECT_EQ(books[1].path, directory + "/Office.xml");
    EXPECT_GT(books[0].lastWrite, 0);

    EXPECT_EQ(CPickerPhoneBook::DeletePhoneBook("New"), 1);
    EXPECT_FALSE(platform::pathExists(directory + "/New.xml"));
    EXPECT_EQ(CPickerPhoneBook::DeletePhoneBook("New"), 0);
    EXPECT_TRUE(made.IsInitiated()) << "the object's own state is not touched";
}
