// The document and the view logic over an in-memory phone book object and scripted dialogs.
#include "common/resource_locale.h"
#include "phonebook/editor/bookmanager_doc.h"
#include "phonebook/editor/folder_tree_logic.h"
#include "phonebook/editor/record_list_logic.h"
#include "phonebook/editor/tests/support/fake_book.h"

#include <gtest/gtest.h>

using qelta::test::FakeBook;
using qelta::test::InlineProgress;
using qelta::test::QueuedPrompter;
using qelta::test::ScriptedBookDialogs;
using platform::com::Ptr;

namespace {

using Values = std::map<std::string, std::string>;

Values Fax(const std::string& number, const std::string& fcode = "false")
{
    return {{"faxNumber", number}, {"faxFCode", fcode}, {"faxSubAddress", "s"}, {"faxPassCode", "p"}};
}

// A document over a fake book; the book stays reachable for its log.
struct Fixture {
    FakeBook* book = new FakeBook;
    Ptr<IBookmanagerTool> held{book};
    ScriptedBookDialogs dialogs;
    InlineProgress progress;
    CQeltapbDoc doc{dialogs, progress, [this] { return held; }};
    Fixture()
    {
        doc.SetPathName("/books/Office.xml");
        doc.SetLoadPause(std::chrono::milliseconds(0));
        book->folders = {{1, PB_FOLDER_ROOT, "root"}, {2, PB_FOLDER_FAVORITE, "fav"}, {5, PB_FOLDER_USER, "Customers"}};
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& r : doc.Records())
            names.push_back(r->m_strName + "|" + r->m_strNumber + "|" + std::to_string(r->m_bFCode) + "|" +
                            r->m_strPassCode);
        return names;
    }
};

struct LoadCase {
    const char* what;
    std::vector<FakeBook::Folder> folders;
    std::vector<FakeBook::Record> records;
    std::string failCall;
    std::vector<int> progress;
    std::vector<std::string> items;
};

} // namespace

TEST(BookDocument, LoadingReadsFoldersAndRecordsWithTheirProgress)
{
    const std::vector<FakeBook::Folder> three = {{1, PB_FOLDER_ROOT, "x"}, {2, PB_FOLDER_FAVORITE, "y"}, {5, PB_FOLDER_USER, "Customers"}};
    const LoadCase cases[] = {
        {"3 folders, 4 records", three,
         {{10, PB_RECORD_FAX, "Anna", 1, Fax("01", "true")}, {11, PB_RECORD_IFAX, "Bert", 1, {{"mailAddress", "b@x"}, {"receptionConfirm", "true"}}},
          {12, PB_RECORD_GROUP, "Team", 1, {}}, {13, PB_RECORD_FAX, "Cleo", 1, Fax("03")}},
         "",
         {5, 13, 26, 40, 55, 70, 85, 100, 100},
         {"Anna|01|1|p", "Bert|b@x|0|", "Team||0|", "Cleo|03|0|p"}},
        {"one folder", {{1, PB_FOLDER_ROOT, "x"}}, {{10, PB_RECORD_FAX, "Anna", 1, Fax("01")}}, "", {5, 40, 100, 100},
         {"Anna|01|0|p"}},
        {"no records", three, {}, "", {5, 13, 26, 40, 100}, {}},
        {"other types are skipped", three,
         {{10, 7, "Odd", 1, {}}, {11, PB_RECORD_GROUP, "Team", 1, {}}}, "", {5, 13, 26, 40, 100, 100}, {"Team||0|"}},
        {"a missing value is empty", three,
         {{10, PB_RECORD_FAX, "Anna", 1, {{"faxNumber", "01"}}}, {11, PB_RECORD_GROUP, "Team", 1, {}}}, "",
         {5, 13, 26, 40, 70, 100, 100}, {"Anna|01|0|", "Team||0|"}},
        {"a failing call ends the loading", three,
         {{10, PB_RECORD_FAX, "Anna", 1, Fax("01")}, {11, PB_RECORD_FAX, "Bert", 1, Fax("02")}, {12, PB_RECORD_GROUP, "T", 1, {}}},
         "GetRecordValue(11,faxFCode)", {5, 13, 26, 40, 60, 100}, {"Anna|01|0|p"}},
        {"a failing folder call still loads the root's records", three, {{10, PB_RECORD_GROUP, "T", 1, {}}},
         "GetFolderInfo(2)", {5, 13, 100, 100}, {"T||0|"}},
    };
    for (const LoadCase& c : cases) {
        Fixture f;
        f.book->folders = c.folders;
        f.book->records = c.records;
        f.book->failCall = c.failCall;
        f.doc.ReloadAll();
        EXPECT_EQ(f.progress.progress, c.progress) << c.what;
        EXPECT_EQ(f.Names(), c.items) << c.what;
        EXPECT_EQ(f.progress.captions, std::vector<std::string>{"Loading Address..."}) << c.what;
        if (c.failCall.empty()) {
            EXPECT_EQ(f.doc.CurrentFolderID(), 1) << c.what;
            EXPECT_EQ(f.doc.Folders().size(), c.folders.size()) << c.what;
            EXPECT_EQ(f.book->calls.front(), "Initiate(/books/Office.xml)") << c.what;
            EXPECT_EQ(f.book->calls.back(), "CloseRecords") << c.what;
        }
    }
    // The root and the favourite folder carry the program's names.
    Fixture f;
    f.doc.ReloadAll();
    ASSERT_EQ(f.doc.Folders().size(), 3u);
    EXPECT_EQ(f.doc.Folders()[0]->m_strName, "Address Lists");
    EXPECT_EQ(f.doc.Folders()[1]->m_strName, "Favorite");
    EXPECT_EQ(f.doc.Folders()[2]->m_strName, "Customers");
    // A folder chosen loads its records (from 40); the same one again does nothing.
    f.progress.progress.clear();
    f.doc.SelectFolder(5);
    f.doc.SelectFolder(5);
    EXPECT_EQ(f.progress.progress, (std::vector<int>{40, 100}));
    EXPECT_EQ(f.book->calls.back(), "CloseRecords");
}

TEST(BookDocument, FileCommandsFollowTheDialogsAnswers)
{
    struct Case {
        const char* what;
        int command;
        int answer;
        std::vector<std::string> items; // after the command
        size_t folders;
    };
    const Case cases[] = {
        {"new address", ID_FILE_NEWADDRESS, 1, {"Anna|01|0|p", "New|099|1|pc"}, 3},
        {"new Internet-fax address", -ID_FILE_NEWADDRESS, 1, {"Anna|01|0|p", "New|099|1|pc"}, 3},
        {"new address cancelled", ID_FILE_NEWADDRESS, 2, {"Anna|01|0|p"}, 3},
        {"new group (reloaded)", ID_FILE_NEWGROUP, 1, {"Anna|01|0|p"}, 3},
        {"new group cancelled", ID_FILE_NEWGROUP, 2, {"Anna|01|0|p"}, 3},
        {"new folder", ID_FILE_NEWFOLDER, 1, {"Anna|01|0|p"}, 4},
        {"new folder refused", ID_FILE_NEWFOLDER, -1, {"Anna|01|0|p"}, 3},
        {"another book", ID_FILE_OPENPHONEBOOK, 1, {}, 1},
        {"another book cancelled", ID_FILE_OPENPHONEBOOK, 2, {"Anna|01|0|p"}, 3},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.book->records = {{10, PB_RECORD_FAX, "Anna", 1, Fax("01")}};
        f.doc.ReloadAll();
        f.book->calls.clear();
        f.dialogs.answer = c.answer;
        f.dialogs.address = {"New", "099", "s", "pc", c.command < 0 ? 1 : 0, 1, 20};
        f.dialogs.name = "Other";
        f.dialogs.id = 21;
        f.dialogs.path = "/books/Other.xml";
        bool done = false;
        switch (c.command < 0 ? -c.command : c.command) {
        case ID_FILE_NEWADDRESS: done = f.doc.OnFileNewAddress(nullptr); break;
        case ID_FILE_NEWGROUP: done = f.doc.OnFileNewGroup(nullptr); break;
        case ID_FILE_NEWFOLDER: done = f.doc.OnFileNewFolder(nullptr); break;
        default:
            if (c.answer == 1) {
                f.book->folders = {{1, PB_FOLDER_ROOT, "r"}};
                f.book->records.clear();
            }
            done = f.doc.OnFileOpenPhoneBook(nullptr);
        }
        EXPECT_EQ(done, c.answer == 1) << c.what;
        EXPECT_EQ(f.Names(), c.items) << c.what;
        EXPECT_EQ(f.doc.Folders().size(), c.folders) << c.what;
        if (c.answer != 1) {
            EXPECT_TRUE(f.book->calls.empty()) << c.what;
            continue;
        }
        if (c.command == ID_FILE_NEWADDRESS || c.command == -ID_FILE_NEWADDRESS) {
            EXPECT_EQ(f.doc.Records().back()->m_nType, c.command < 0 ? PB_RECORD_IFAX : PB_RECORD_FAX) << c.what;
            EXPECT_EQ(f.dialogs.calls, std::vector<std::string>{"CreateNewAddress(/books/Office.xml,1)"}) << c.what;
            EXPECT_EQ(f.book->calls, std::vector<std::string>{"Initiate(/books/Office.xml)"}) << c.what;
        }
        if (c.command == ID_FILE_NEWFOLDER) {
            EXPECT_EQ(f.doc.Folders().back()->m_strName, "Other") << c.what;
            EXPECT_EQ(f.doc.Folders().back()->m_nType, PB_FOLDER_USER) << c.what;
        }
        if (c.command == ID_FILE_OPENPHONEBOOK) {
            EXPECT_EQ(f.dialogs.calls, std::vector<std::string>{"SelectPhoneBook(0,0)"}) << c.what;
            EXPECT_EQ(f.doc.Title(), "Other.xml") << c.what;
            EXPECT_EQ(f.book->calls.front(), "Initiate(/books/Other.xml)") << c.what;
        }
    }
}

TEST(BookDocument, RowsSortDeleteOpenAndDrop)
{
    Fixture f;
    f.book->records = {{10, PB_RECORD_FAX, "bert", 1, Fax("2")}, {11, PB_RECORD_FAX, "Anna", 1, Fax("3")},
                       {12, PB_RECORD_FAX, "Cleo", 1, Fax("1")}};
    QueuedPrompter prompter;
    CQeltapbViewLogic list(f.doc, f.dialogs, prompter);
    std::optional<std::string> renamed;
    CQeltapbTreeViewLogic tree(f.doc, prompter, [&](const std::string&, const FolderNameInUse&) { return renamed; });
    f.doc.ReloadAll();
    auto names = [&] {
        std::string all;
        for (int i = 0; i < list.RowCount(); ++i)
            all += list.Row(i)->m_strName + " ";
        return all;
    };
    EXPECT_EQ(names(), "bert Anna Cleo ");
    // Name: ascending first, then descending; another column starts descending.
    const std::pair<int, const char*> clicks[] = {{0, "Anna bert Cleo "}, {0, "Cleo bert Anna "}, {1, "Anna bert Cleo "},
                                                  {1, "Cleo bert Anna "}};
    for (const auto& [column, order] : clicks) {
        list.SortByColumn(column);
        EXPECT_EQ(names(), order) << column;
    }
    // The root's folder commands are off; Delete asks, No keeps the row, Yes deletes it.
    EXPECT_FALSE(tree.CanEditFolder());
    EXPECT_FALSE(tree.DeleteFolder());
    prompter.answers = {IDNO, IDYES};
    EXPECT_FALSE(list.DeleteRow(0));
    EXPECT_TRUE(list.DeleteRow(0));
    EXPECT_EQ(names(), "bert Anna ");
    EXPECT_EQ(f.book->calls.back(), "DeleteRecord(12,1)");
    EXPECT_EQ(prompter.shown.back(), "Phone Book Editor: May I delete selected item ?");
    // A failed deletion keeps the row.
    prompter.answers = {IDYES};
    f.book->failCall = "DeleteRecord(11,1)";
    EXPECT_FALSE(list.DeleteRow(1));
    EXPECT_EQ(names(), "bert Anna ");
    f.book->failCall.clear();
    // Open reads a stored change back into the row.
    f.dialogs.changed = 1;
    f.dialogs.onShow = [&] { f.book->records[0].values["faxNumber"] = "777"; };
    list.OpenRow(0, nullptr);
    EXPECT_EQ(list.Row(0)->m_strNumber, "777");
    EXPECT_EQ(RecordStatusText(*list.Row(0)), "bert, 777");
    // Drops: not on the favourite folder nor the current one; a move removes the row.
    const CFolder favorite{PB_FOLDER_FAVORITE, 2, "Favorite"}, root{PB_FOLDER_ROOT, 1, "r"}, user{PB_FOLDER_USER, 5, "C"};
    EXPECT_FALSE(tree.CanDropOn(&favorite));
    EXPECT_FALSE(tree.CanDropOn(&root));
    EXPECT_TRUE(tree.Drop(10, &user));
    EXPECT_EQ(names(), "Anna ");
    EXPECT_EQ(f.book->calls.back(), "MoveRecord(10,1,5)");
    f.book->failCall = "MoveRecord(11,1,5)";
    EXPECT_FALSE(tree.Drop(11, &user));
    EXPECT_EQ(names(), "Anna ");
    // In the favourite folder Delete only clears the flag, and Open drops a record no longer a
    // favourite; both take the row.
    f.book->failCall.clear();
    f.book->records = {{10, PB_RECORD_FAX, "bert", 5, Fax("2")}, {11, PB_RECORD_FAX, "Anna", 2, Fax("3")},
                       {12, PB_RECORD_FAX, "Cleo", 2, Fax("1")}};
    f.doc.SelectFolder(2);
    EXPECT_EQ(names(), "Anna Cleo ");
    // A drag out of the favourites moves the record but keeps its row: it stays a favourite.
    EXPECT_TRUE(tree.Drop(11, &user));
    EXPECT_EQ(names(), "Anna Cleo ");
    prompter.answers = {IDYES};
    EXPECT_TRUE(list.DeleteRow(0));
    EXPECT_EQ(f.book->calls.back(), "UpdateRecordValue(11,frequentlyUsed,false)");
    f.dialogs.changed = 0;
    f.dialogs.onShow = nullptr;
    f.book->records[2].values["frequentlyUsed"] = "false";
    list.OpenRow(0, nullptr);
    EXPECT_EQ(names(), "");
    EXPECT_EQ(f.dialogs.calls.back(), "ShowAddress(/books/Office.xml,12)");
    // Rename: the same name calls nothing; a new one renames and reloads.
    f.doc.SelectFolder(5);
    renamed = "Customers";
    f.book->calls.clear();
    EXPECT_FALSE(tree.RenameFolder());
    EXPECT_EQ(f.book->calls, std::vector<std::string>{"GetFolderInfo(5)"});
    renamed = "Clients";
    EXPECT_TRUE(tree.RenameFolder());
    EXPECT_EQ(f.book->calls[2], "RenameFolder(5,Clients)");
    EXPECT_TRUE(prompter.answers.empty());
}

TEST(BookDocument, DragDataIsTheRecordOfThisProcess)
{
    const auto data = EncodeRecordDrag(4711);
    const std::string own(reinterpret_cast<const char*>(data.data()), data.size());
    EXPECT_EQ(DecodeRecordDrag(own), 4711);
    std::string foreign = own;
    foreign[4] = static_cast<char>(foreign[4] + 1);
    EXPECT_EQ(DecodeRecordDrag(foreign), std::nullopt);
    EXPECT_EQ(DecodeRecordDrag(own.substr(0, 8)), std::nullopt);
}

TEST(BookDocument, EveryTextTheEditorUsesIsInItsOwnTables)
{
    const uint32_t ids[] = {IDS_ADDRESS_LISTS, IDS_FAVORITE, IDS_COLUMN_NAME, IDS_COLUMN_NUMBER, IDS_COLUMN_SUBADDRESS,
                            IDS_COLUMN_PASSCODE, IDS_TREE_ROOT, IDS_LOADING_ADDRESS, IDS_SYSTEM_ERROR, 5001,
                            IDS_DELETE_QUESTION, 5003, IDS_BOOK_MISSING, IDS_RESTORE_FAILED, IDS_LEFTOVER_BACKUP, IDS_BACKUP_KEPT, IDS_BOOK_UNREADABLE, IDS_EDITOR_TITLE, ID_FILE_NEWADDRESS, ID_FILE_NEWGROUP,
                            ID_FILE_NEWFOLDER, ID_EDIT_DELETE, ID_EDIT_OPEN, ID_FILE_OPENPHONEBOOK, ID_VIEW_REFRESH,
                            ID_EDIT_DELETEFOLDER, ID_EDIT_RENAMEFOLDER, 57664, 57665, 57670, 59392, 59393, 57653};
    for (const uint32_t id : ids)
        EXPECT_FALSE(LoadResourceString(id).empty()) << id;
    EXPECT_EQ(LoadResourceString(ID_VIEW_REFRESH), "Update View\nRefresh");
}
