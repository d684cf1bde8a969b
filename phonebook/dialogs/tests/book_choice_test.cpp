// Choosing, creating and deleting phone books, naming folders, and the exports' bounded copy.
#include "common/data_folders.h"
#include "phonebook/dialogs/book_choice_logic.h"
#include "platform/files.h"
#include "platform/tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using qelta::test::writeTextFile;

namespace {

class ScriptedNotifier : public IMessageNotifier {
public:
    void Notify(void*, int textId, const std::string& caption, unsigned icon) override
    {
        EXPECT_EQ(icon, kIconWarning);
        messages.push_back({textId, caption});
    }
    bool AskYesNo(void*, int textId, const std::string& caption) override
    {
        EXPECT_FALSE(answers.empty()) << "unexpected question " << textId;
        questions.push_back({textId, caption});
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty())
            answers.erase(answers.begin());
        return yes;
    }
    std::vector<std::pair<int, std::string>> messages, questions;
    std::vector<bool> answers;
};

std::vector<std::string> namesOf(const std::vector<BookRow>& rows)
{
    std::vector<std::string> out;
    for (const BookRow& r : rows)
        out.push_back(r.name);
    return out;
}

} // namespace

TEST(SelectPhoneBook, ListChooseCreateAndDelete)
{
    qelta::test::ScopedStateRoot root;
    const std::string directory = GetPhoneBookDirectory();
    ScriptedNotifier notifier;
    CSelectPhoneBookLogic logic(notifier, "Select Phone Book", [](std::time_t t) { return "t" + std::to_string(t); }, true);
    // Nothing listed yet: OK tells the user to choose.
    logic.SetRows(logic.ListBooks());
    EXPECT_TRUE(logic.Rows().empty());
    EXPECT_FALSE(logic.Accept(nullptr));

    ASSERT_TRUE(AcceptNewPhoneBook(notifier, "Select Phone Book", "Office"));
    ASSERT_TRUE(AcceptNewPhoneBook(notifier, "Select Phone Book", "beta"));
    EXPECT_FALSE(AcceptNewPhoneBook(notifier, "Select Phone Book", ""));
    EXPECT_FALSE(AcceptNewPhoneBook(notifier, "Select Phone Book", "Office"));
    EXPECT_FALSE(AcceptNewPhoneBook(notifier, "Select Phone Book", "a/b"));
    writeTextFile(directory + "/notes.xml", "<notes/>");
    EXPECT_FALSE(AcceptNewPhoneBook(notifier, "Select Phone Book", "notes"));
    EXPECT_EQ(qelta::test::readTextFile(directory + "/notes.xml"), "<notes/>");
    CPickerPhoneBook searcher;
    ASSERT_EQ(searcher.Initiate(directory + "/Office.xml", 0), 1);
    ASSERT_TRUE(searcher.QueryRecords(kRootFolderId, "", PB_MASK_FAX)); // writes "#search.xml"

    std::vector<int> percents;
    logic.SetRows(logic.ListBooks([&](int p) { percents.push_back(p); }));
    EXPECT_EQ(namesOf(logic.Rows()), (std::vector<std::string>{"beta", "Office"}));
    EXPECT_EQ(percents, (std::vector<int>{0, 50, 100}));
    EXPECT_EQ(logic.Rows()[1].date,
              "t" + std::to_string(platform::fileStamp(directory + "/Office.xml").modifiedNs / 1000000000LL));
    logic.Sort(0); // same column: ascending
    EXPECT_EQ(namesOf(logic.Rows()), (std::vector<std::string>{"beta", "Office"}));
    logic.Sort(0);
    EXPECT_EQ(namesOf(logic.Rows()), (std::vector<std::string>{"Office", "beta"}));

    // OK without a choice takes the selected row but still asks for a choice first.
    const size_t selected = 0;
    EXPECT_FALSE(logic.Accept(&selected));
    EXPECT_EQ(logic.BookName(), "Office");
    EXPECT_EQ(logic.BookPath(), directory + "/Office.xml");
    EXPECT_TRUE(logic.Accept(nullptr));

    const std::vector<std::pair<int, std::string>> expected = {
        {IDS_NO_BOOK_SELECTED, "Select Phone Book"}, {IDS_NO_BOOK_NAME, "Select Phone Book"},
        {IDS_BOOK_EXISTS, "Select Phone Book"},      {IDS_BOOK_EXISTS, "Select Phone Book"},
        {IDS_BOOK_EXISTS, "Select Phone Book"},      {IDS_NO_BOOK_SELECTED, "Select Phone Book"}};
    EXPECT_EQ(notifier.messages, expected);

    // Delete asks; No keeps the book, Yes deletes it and clears the choice.
    notifier.answers = {false, true};
    EXPECT_FALSE(logic.Delete());
    EXPECT_TRUE(platform::pathExists(directory + "/Office.xml"));
    EXPECT_TRUE(logic.Delete());
    EXPECT_FALSE(platform::pathExists(directory + "/Office.xml"));
    EXPECT_EQ(logic.BookPath(), "");
    EXPECT_EQ(notifier.questions.size(), 2u);
    EXPECT_EQ(notifier.questions[0], (std::pair<int, std::string>{IDS_DELETE_BOOK, "Select Phone Book"}));
    EXPECT_FALSE(logic.Delete()) << "nothing chosen: no question";

    CSelectPhoneBookLogic noDelete(notifier, "Select Phone Book", {}, false);
    noDelete.SetRows(noDelete.ListBooks());
    noDelete.Select(0);
    EXPECT_FALSE(noDelete.CanDelete());
    EXPECT_FALSE(noDelete.Delete());
    EXPECT_TRUE(platform::pathExists(directory + "/beta.xml"));
}

TEST(FolderName, EmptyAndExistingNamesAreRefused)
{
    qelta::test::ScopedStateRoot root;
    ScriptedNotifier notifier;
    CPickerPhoneBook book;
    ASSERT_EQ(book.CreatePhoneBook("Office"), 1);
    int32_t id = 0;
    ASSERT_EQ(book.CreateNewFolder("Work", id), 1);
    EXPECT_FALSE(AcceptFolderName(notifier, "Create a New Folder", "", &book));
    EXPECT_FALSE(AcceptFolderName(notifier, "Create a New Folder", "Work", &book));
    EXPECT_TRUE(AcceptFolderName(notifier, "Create a New Folder", "work", &book));
    EXPECT_TRUE(AcceptFolderName(notifier, "Create a New Folder", "Work", nullptr)) << "no book: only the name";
    EXPECT_FALSE(AcceptFolderName(notifier, "Create a New Folder", "", nullptr));
    EXPECT_EQ(notifier.messages, (std::vector<std::pair<int, std::string>>{{IDS_NO_FOLDER_NAME, "Create a New Folder"},
                                                                           {IDS_FOLDER_EXISTS, "Create a New Folder"},
                                                                           {IDS_NO_FOLDER_NAME, "Create a New Folder"}}));
}

TEST(CopyBounded, EndsWithAZeroAndNeverSplitsACharacter)
{
    const struct {
        int size, reserve;
        std::string text, expected;
    } cases[] = {
        {1, 1, "abc", ""},
        {4, 1, "abc", "abc"},
        {3, 1, "abc", "ab"},
        {5, 1, "Caf\xc3\xa9!", "Caf"},
        {6, 1, "Caf\xc3\xa9!", "Caf\xc3\xa9"},
        {10, 2, "Folder name", "Folder n"}, // a folder name: at most size - 2
        {2, 2, "x", ""},
    };
    for (const auto& c : cases) {
        char buffer[16];
        std::memset(buffer, 'Z', sizeof buffer);
        EXPECT_EQ(CopyBounded(buffer, c.size, c.text, c.reserve), c.expected.size()) << c.size << " " << c.text;
        EXPECT_EQ(std::string(buffer), c.expected);
        EXPECT_EQ(buffer[c.size], 'Z') << "nothing written past the buffer";
    }
    char untouched = 'Z';
    EXPECT_EQ(CopyBounded(&untouched, 0, "abc"), 0u);
    EXPECT_EQ(CopyBounded(&untouched, -5, "abc"), 0u);
    EXPECT_EQ(untouched, 'Z');
}
