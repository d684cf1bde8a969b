// The PB2API exports driven offscreen through their real dialogs: a script of steps answers each
// modal dialog as it comes up (found by its control id), as a user would.
#include "common/data_folders.h"
#include "phonebook/dialogs/pb2api.h"
#include "phonebook/dialogs/picker_phone_book.h"
#include "phonebook/dialogs/sheet_logic.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/tests/support/test_support.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QApplication>
#include <QComboBox>
#include <QUrl>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <csignal>
#include <cstring>
#include <deque>
#include <functional>
#include <thread>

namespace {

// One step gets the active modal dialog and answers true once it has acted on it.
using Step = std::function<bool(QWidget*)>;

// Runs steps against the modal dialogs while call runs; fails (and closes what is open) when a
// step never finds its dialog or steps are left over.
int Drive(std::deque<Step> steps, const std::function<int()>& call)
{
    QTimer timer;
    int idle = 0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* active = QApplication::activeModalWidget();
        if (!steps.empty() && active && steps.front()(active)) {
            steps.pop_front();
            idle = 0;
        } else if (++idle > 500) { // 10 s without progress
            ADD_FAILURE() << "a dialog did not come up: " << (active ? active->objectName().toStdString() : "none");
            if (active)
                active->close();
            idle = 0;
        }
    });
    timer.start(20);
    const int result = call();
    EXPECT_TRUE(steps.empty()) << steps.size() << " steps left";
    return result;
}

template <typename T>
T* Child(QWidget* dialog, int id)
{
    T* child = dialog->findChild<T*>(QStringLiteral("id%1").arg(id));
    EXPECT_NE(child, nullptr) << "no control " << id << " in " << dialog->objectName().toStdString();
    return child;
}

Step Click(int dialogId, int buttonId)
{
    return [=](QWidget* d) {
        if (d->objectName() != QStringLiteral("id%1").arg(dialogId))
            return false;
        // Queued, so a dialog the click opens runs outside this timer's slot (which would block it).
        QMetaObject::invokeMethod(Child<QPushButton>(d, buttonId), &QPushButton::click, Qt::QueuedConnection);
        return true;
    };
}

// Selects the list row whose first column is text (waits until it is listed).
Step SelectRow(int dialogId, int listId, const QString& text)
{
    return [=](QWidget* d) {
        if (d->objectName() != QStringLiteral("id%1").arg(dialogId))
            return false;
        auto* list = Child<QTreeWidget>(d, listId);
        const auto found = list->findItems(text, Qt::MatchExactly, 0);
        if (found.isEmpty())
            return false;
        list->setCurrentItem(found.front());
        return true;
    };
}

Step Type(int dialogId, int editId, const QString& text)
{
    return [=](QWidget* d) {
        if (d->objectName() != QStringLiteral("id%1").arg(dialogId))
            return false;
        QTest::keyClicks(Child<QLineEdit>(d, editId), text);
        return true;
    };
}

// Records the object name of the control a dialog opened with the focus in (its focus widget).
Step OpenedIn(int dialogId, QString& focused)
{
    return [=, &focused](QWidget* d) {
        if (d->objectName() != QStringLiteral("id%1").arg(dialogId))
            return false;
        focused = d->focusWidget() ? d->focusWidget()->objectName() : QString();
        return true;
    };
}

// Answers a message box with OK, keeping its text and caption.
Step Acknowledge(QString& text, QString& caption)
{
    return [&text, &caption](QWidget* d) {
        auto* box = qobject_cast<QMessageBox*>(d);
        if (!box)
            return false;
        text = box->text();
        caption = box->windowTitle();
        QMetaObject::invokeMethod(box->button(QMessageBox::Ok), &QPushButton::click, Qt::QueuedConnection);
        return true;
    };
}

// Answers a message box with button, keeping its text.
Step Answer(QMessageBox::StandardButton button, QString& text)
{
    return [button, &text](QWidget* d) {
        auto* box = qobject_cast<QMessageBox*>(d);
        if (!box)
            return false;
        text = box->text();
        QMetaObject::invokeMethod(box->button(button), &QPushButton::click, Qt::QueuedConnection);
        return true;
    };
}

// Waits until the list of the dialog shows (or no longer shows) a row; found gets its second column.
Step Listed(int dialogId, int listId, const QString& text, bool shown, QString* second = nullptr)
{
    return [=](QWidget* d) {
        if (d->objectName() != QStringLiteral("id%1").arg(dialogId))
            return false;
        const auto found = Child<QTreeWidget>(d, listId)->findItems(text, Qt::MatchExactly, 0);
        if (found.isEmpty() == shown)
            return false;
        if (second)
            *second = found.front()->text(1);
        return true;
    };
}

// F1 on a dialog, then Cancel.
Step HelpThenCancel(int dialogId)
{
    return [=](QWidget* d) {
        if (d->objectName() != QStringLiteral("id%1").arg(dialogId))
            return false;
        QTest::keyClick(d, Qt::Key_F1);
        QMetaObject::invokeMethod(Child<QPushButton>(d, 2), &QPushButton::click, Qt::QueuedConnection);
        return true;
    };
}

// Takes the help the dialogs open in place of the desktop's opener, as "<file>#<anchor>".
class HelpRecorder {
public:
    HelpRecorder() : m_opener("xdg-open", "printf '%s\\n' \"$1\" >> \"$(dirname \"$0\")/opened\"\n") {}
    std::vector<std::string> Addresses() const
    {
        std::vector<std::string> addresses;
        const QString opened = QString::fromStdString(qelta::test::readTextFile(m_opener.folder() + "/opened"));
        for (const QString& line : opened.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QUrl url(line);
            addresses.push_back((url.toLocalFile() + "#" + url.fragment()).toStdString());
        }
        return addresses;
    }

private:
    qelta::test::ScopedProgramOnPath m_opener;
};

// One click on a list's column header and what the list must show after it.
struct HeaderClick {
    int column;
    Qt::SortOrder order; // the direction the header shows
    int selectedRow;     // where the selected row is found after the sort
};

// Clicks the headers of a list in turn, checking after each that the header shows the sort and the
// row that was selected (first column text) is still the one selected, at its new place.
Step SortKeepsSelection(int dialogId, int listId, const QString& selected, std::vector<HeaderClick> clicks)
{
    return [=](QWidget* d) {
        if (d->objectName() != QStringLiteral("id%1").arg(dialogId))
            return false;
        auto* list = Child<QTreeWidget>(d, listId);
        QHeaderView* header = list->header();
        EXPECT_FALSE(header->isSortIndicatorShown()) << "list " << listId << " shows a sort before any";
        for (const HeaderClick& click : clicks) {
            const QPoint at(header->sectionViewportPosition(click.column) + header->sectionSize(click.column) / 2,
                            header->height() / 2);
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
            const std::string where = "list " + std::to_string(listId) + " after a click on column " +
                                      std::to_string(click.column);
            EXPECT_TRUE(header->isSortIndicatorShown()) << where;
            EXPECT_EQ(header->sortIndicatorSection(), click.column) << where;
            EXPECT_EQ(header->sortIndicatorOrder(), click.order) << where;
            const QList<QTreeWidgetItem*> items = list->selectedItems();
            EXPECT_EQ(items.size(), 1) << where;
            if (items.size() == 1) {
                EXPECT_EQ(items.front()->text(0), selected) << where;
                EXPECT_EQ(list->indexOfTopLevelItem(items.front()), click.selectedRow) << where;
                EXPECT_EQ(list->currentItem(), items.front()) << where;
            }
        }
        return true;
    };
}

class Exports : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(book.Initiate(CPickerPhoneBook::GetPhoneBookPath("Office"), 0), 1);
        anna = add("Anna", "0123");
        bert = add("Bert", "0456");
        book.Reset();
    }
    int32_t add(const std::string& name, const std::string& number)
    {
        int32_t id = 0;
        EXPECT_EQ(book.CreateNewRecord(PB_RECORD_FAX, name, kRootFolderId, id, 0), 1);
        EXPECT_EQ(book.AddRecordValue(id, PB_RECORD_FAX, "faxNumber", number), 1);
        EXPECT_EQ(book.FlushRecord(id, 0), 1);
        return id;
    }
    qelta::test::ScopedStateRoot root;
    CPickerPhoneBook book;
    int32_t anna = 0, bert = 0;
};

TEST_F(Exports, ABookAndTwoAddressesChosen)
{
    char path[300], name[300];
    const int chosen = Drive({SelectRow(5000, 1017, "Office"), Click(5000, 1)},
                             [&] { return PB2APISelectPhoneBook(nullptr, path, name, sizeof path, 1, 1); });
    ASSERT_EQ(chosen, 1);
    EXPECT_STREQ(name, "Office");
    EXPECT_EQ(std::string(path), CPickerPhoneBook::GetPhoneBookPath("Office"));

    PB2APISelection* selection = nullptr;
    const int result = Drive({SelectRow(2000, 1002, "Bert"), Click(2000, 1005), SelectRow(2000, 1002, "Anna"),
                              Click(2000, 1005), Click(2000, 1)},
                             [&] { return PB2APISelectDestinationWithPhoneBook(nullptr, name, &selection, 99); });
    ASSERT_EQ(result, 1);
    ASSERT_NE(selection, nullptr);
    EXPECT_EQ(selection->flag, 0);
    ASSERT_EQ(selection->count, 2);
    EXPECT_EQ(selection->ids[0], bert);
    EXPECT_EQ(selection->ids[1], anna);
    PB2APIFree(selection);

    // Enter in the search box searches (and closes nothing).
    selection = nullptr;
    const Step enter = [](QWidget* d) {
        if (d->objectName() != QStringLiteral("id2000"))
            return false;
        auto* box = Child<QLineEdit>(d, 1008);
        box->setFocus();
        // Queued, as a click: the search runs its own modal display.
        QMetaObject::invokeMethod(box, [box] { QTest::keyClick(box, Qt::Key_Return); }, Qt::QueuedConnection);
        return true;
    };
    // Choosing the folder box's entry already shown, as a user picks it from its list, lists that
    // folder again in place of the results.
    const Step chooseShownFolder = [](QWidget* d) {
        if (d->objectName() != QStringLiteral("id2000"))
            return false;
        auto* folders = Child<QComboBox>(d, 1021);
        folders->showPopup();
        QTest::keyClick(folders->view(), Qt::Key_Return);
        return true;
    };
    ASSERT_EQ(Drive({Type(2000, 1008, "Bert"), enter, Listed(2000, 1002, "Anna", false), chooseShownFolder,
                     Listed(2000, 1002, "Anna", true), Click(2000, 1009), Listed(2000, 1002, "Anna", false),
                     SelectRow(2000, 1002, "Bert"), Click(2000, 1005), Click(2000, 1)},
                    [&] { return PB2APISelectDestinationWithPhoneBook(nullptr, name, &selection, 99); }),
              1);
    ASSERT_NE(selection, nullptr);
    ASSERT_EQ(selection->count, 1);
    EXPECT_EQ(selection->ids[0], bert);
    PB2APIFree(selection);

    // Cancel leaves the result alone; an unknown book is not opened, with nothing shown.
    PB2APISelection* untouched = nullptr;
    EXPECT_EQ(Drive({Click(2000, 2)}, [&] { return PB2APISelectDestinationWithPhoneBook(nullptr, "Office", &untouched, 1); }), 2);
    EXPECT_EQ(untouched, nullptr);
    EXPECT_EQ(PB2APISelectDestinationWithPhoneBook(nullptr, "../Office", &untouched, 1), -1);
}

TEST_F(Exports, EveryDialogOpensItsSectionOfTheShippedHelp)
{
    HelpRecorder help;
    char path[300], name[300], number[64], sub[64], pass[64];
    int isIfax = 0, withSub = 0;
    PB2APISelection* selection = nullptr;
    const std::vector<std::pair<int, std::function<int()>>> dialogs = {
        {5000, [&] { return PB2APISelectPhoneBook(nullptr, path, name, 300, 1, 1); }},
        {2000, [&] { return PB2APISelectDestinationWithPhoneBook(nullptr, "Office", &selection, 99); }},
        {3000, [&] { return PB2APICreateNewAddress(nullptr, 99, name, number, sub, pass, &isIfax, &withSub, 64); }},
        {4000, [&] { return PB2APICreateNewGroup(nullptr, name, 64, 99); }},
        {1000, [&] { return PB2APICreateNewFolder(nullptr, name, 64); }},
    };
    for (const auto& [dialog, call] : dialogs) {
        const size_t before = help.Addresses().size();
        Drive({HelpThenCancel(dialog)}, call);
        // The desktop's opener runs on its own: its file is waited for.
        ASSERT_TRUE(QTest::qWaitFor([&] { return help.Addresses().size() == before + 1; }, 5000))
            << "F1 on dialog " << dialog << " opened nothing";
        EXPECT_EQ(qelta::test::missingHelpAnchor(help.Addresses().back()), "") << "dialog " << dialog;
        // F1 does nothing while an opener runs: this one ends a moment after it wrote.
        QTest::qWait(300);
    }
    EXPECT_EQ(selection, nullptr);
}

TEST_F(Exports, EveryListShowsItsSortAndKeepsTheSelectedRow)
{
    {
        CPickerPhoneBook home;
        ASSERT_EQ(home.Initiate(CPickerPhoneBook::GetPhoneBookPath("Home"), 0), 1);
    }
    // Name first sorts ascending (the list starts as sorted descending by name), another column
    // descending, the same column again the other way.
    const std::vector<HeaderClick> anna = {{0, Qt::AscendingOrder, 0}, {0, Qt::DescendingOrder, 1},
                                           {1, Qt::DescendingOrder, 1}, {1, Qt::AscendingOrder, 0}};
    char path[300], name[300];
    int newId = 0;
    PB2APISelection* selection = nullptr;
    const struct {
        const char* list;
        std::deque<Step> steps;
        std::function<int()> call;
    } cases[] = {
        {"phone books",
         {SelectRow(5000, 1017, "Office"),
          SortKeepsSelection(5000, 1017, "Office", {{0, Qt::AscendingOrder, 1}, {0, Qt::DescendingOrder, 0}}),
          Click(5000, 2)},
         [&] { return PB2APISelectPhoneBook(nullptr, path, name, 300, 1, 1); }},
        {"addresses",
         {SelectRow(2000, 1002, "Anna"), SortKeepsSelection(2000, 1002, "Anna", anna), Click(2000, 2)},
         [&] { return PB2APISelectDestinationWithPhoneBook(nullptr, "Office", &selection, 99); }},
        {"chosen destinations",
         {SelectRow(2000, 1002, "Anna"), Click(2000, 1005), SelectRow(2000, 1002, "Bert"), Click(2000, 1005),
          SelectRow(2000, 1004, "Anna"), SortKeepsSelection(2000, 1004, "Anna", anna), Click(2000, 2)},
         [&] { return PB2APISelectDestinationWithPhoneBook(nullptr, "Office", &selection, 99); }},
        {"group members",
         {Click(4000, 1007), SelectRow(2000, 1002, "Bert"), Click(2000, 1005), SelectRow(2000, 1002, "Anna"),
          Click(2000, 1005), Click(2000, 1), SelectRow(4000, IDC_GROUP_MEMBERS, "Anna"),
          SortKeepsSelection(4000, IDC_GROUP_MEMBERS, "Anna", anna), Click(4000, 2)},
         [&] { return PB2APICreateNewGroupWithPhoneBook("Office", kRootFolderId, nullptr, 99, name, 64, &newId); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        EXPECT_EQ(Drive(c.steps, c.call), 2);
    }
    EXPECT_EQ(selection, nullptr);
}

TEST_F(Exports, AFolderCreated)
{
    char name[10];
    int newId = 0;
    const int result = Drive({Type(1000, 1001, "Customers"), Click(1000, 1)},
                             [&] { return PB2APICreateNewFolderWithPhoneBook("Office", nullptr, name, sizeof name, &newId); });
    ASSERT_EQ(result, 1);
    EXPECT_STREQ(name, "Customer"); // at most size - 2 bytes
    EXPECT_GT(newId, 0);
    ASSERT_EQ(book.Initiate(CPickerPhoneBook::GetPhoneBookPath("Office"), 1), 1);
    EXPECT_EQ(book.FindFolder("Customers"), 1);
    EXPECT_EQ(PB2APICreateNewFolderWithPhoneBook("no/such", nullptr, name, sizeof name, &newId), -1);
}

TEST_F(Exports, ABookHandedOverByItsFullPathIsChangedWhereItLies)
{
    // The editor shows a book outside the phone book directory: the folder goes into that file,
    // and no book of the same name is made in the directory.
    const std::string office = CPickerPhoneBook::GetPhoneBookPath("Office");
    const std::string clients = root.path() + "/elsewhere/Clients.XML";
    ASSERT_TRUE(platform::createDirectories(platform::parentPath(clients)));
    ASSERT_TRUE(platform::copyFileAtomic(office, clients));
    const std::string before = qelta::test::readTextFile(office);
    char name[32];
    int newId = 0;
    ASSERT_EQ(Drive({Type(1000, 1001, "Projects"), Click(1000, 1)},
                    [&] { return PB2APICreateNewFolderWithPhoneBook(clients.c_str(), nullptr, name, sizeof name, &newId); }),
              1);
    CPickerPhoneBook outside;
    ASSERT_EQ(outside.Initiate(clients, 0), 1);
    EXPECT_EQ(outside.FindFolder("Projects"), 1);
    EXPECT_EQ(qelta::test::readTextFile(office), before);
    EXPECT_FALSE(platform::pathExists(platform::joinPath(GetPhoneBookDirectory(), "Clients.xml")));
    // A full path names an existing file only: none is made up.
    const std::string missing = root.path() + "/elsewhere/Missing.xml";
    EXPECT_EQ(PB2APICreateNewFolderWithPhoneBook(missing.c_str(), nullptr, name, sizeof name, &newId), -1);
    EXPECT_FALSE(platform::pathExists(missing));
}

TEST_F(Exports, AGroupBuiltThroughSelect)
{
    char name[64];
    int newId = 0;
    QString focused;
    const int result = Drive({OpenedIn(4000, focused), Type(4000, 1011, "Team"), Click(4000, 1007), SelectRow(2000, 1002, "Anna"),
                              Click(2000, 1005), SelectRow(2000, 1002, "Bert"), Click(2000, 1005), Click(2000, 1),
                              Click(4000, 1)},
                             [&] {
                                 return PB2APICreateNewGroupWithPhoneBook("Office", kRootFolderId, nullptr, 99, name,
                                                                          sizeof name, &newId);
                             });
    ASSERT_EQ(result, 1);
    EXPECT_EQ(focused.toStdString(), "id1011") << "the first field takes the focus";
    EXPECT_STREQ(name, "Team");
    ASSERT_EQ(book.Initiate(CPickerPhoneBook::GetPhoneBookPath("Office"), 1), 1);
    ASSERT_EQ(book.GetRecordCount(newId), 2);
    EXPECT_EQ(book.GetRecordID(newId, 0), anna);
    EXPECT_EQ(book.GetRecordID(newId, 1), bert);
}

TEST_F(Exports, ADestinationCreatedInTheDialogIsListedAndFlagged)
{
    PB2APISelection* selection = nullptr;
    QString focused;
    const int result = Drive({Click(2000, 1007), OpenedIn(3000, focused), Type(3000, IDC_ADDRESS_NAME, "Carl"),
                              Type(3000, IDC_FAX_NUMBER, "0789"), Click(3000, 1), SelectRow(2000, 1002, "Carl"),
                              Click(2000, 1005), Click(2000, 1)},
                             [&] { return PB2APISelectDestinationWithPhoneBook(nullptr, "Office", &selection, 1); });
    ASSERT_EQ(result, 1);
    EXPECT_EQ(focused.toStdString(), "id" + std::to_string(IDC_ADDRESS_NAME)) << "the first field takes the focus";
    ASSERT_NE(selection, nullptr);
    EXPECT_EQ(selection->flag, 1);
    ASSERT_EQ(selection->count, 1);
    ASSERT_EQ(book.Initiate(CPickerPhoneBook::GetPhoneBookPath("Office"), 1), 1);
    int32_t type = 0, parent = 0;
    std::string stored, number;
    ASSERT_EQ(book.GetRecordInfo(selection->ids[0], type, stored, parent), 1);
    EXPECT_EQ(stored, "Carl");
    EXPECT_EQ(parent, kRootFolderId);
    EXPECT_EQ(book.GetRecordValue(selection->ids[0], "faxNumber", number), 1);
    EXPECT_EQ(number, "0789");
    PB2APIFree(selection);
}

TEST_F(Exports, TheEditorOfAnotherProgramLocksTheBook)
{
    const std::string ready = root.path() + "/editor-ready";
    const auto editor = platform::startProgram(qelta::test::helperProgram("bookpicker_lock_worker"),
                                               {"hold", "QELTA-PhoneBookEditor", "Phone book editor - Office", ready});
    ASSERT_TRUE(editor);
    for (int i = 0; i < 500 && !platform::pathExists(ready); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(platform::pathExists(ready));

    char path[300], name[300];
    QString text, caption;
    EXPECT_EQ(Drive({Acknowledge(text, caption)}, [&] { return PB2APISelectPhoneBook(nullptr, path, name, 300, 1, 1); }), 0);
    EXPECT_EQ(text, "The phone book was locked.  You can open phonebook after it was closed.");
    EXPECT_EQ(caption, "Select Phone Book");
    PB2APISelection* selection = nullptr;
    EXPECT_EQ(Drive({Acknowledge(text, caption)},
                    [&] { return PB2APISelectDestinationWithPhoneBook(nullptr, "Office", &selection, 99); }),
              0);
    EXPECT_EQ(caption, ""); // the application title comes from a language module only
    EXPECT_EQ(selection, nullptr);
    // Without the check the dialog runs anyway.
    EXPECT_EQ(Drive({Click(5000, 2)}, [&] { return PB2APISelectPhoneBook(nullptr, path, name, 300, 0, 1); }), 2);
    ::kill(editor->pid, SIGKILL);
    platform::waitProgram(*editor);
}

TEST_F(Exports, OnlyOnTheApplicationThread)
{
    int fromThread = 0;
    std::thread([&] {
        char name[32];
        fromThread = PB2APICreateNewFolder(nullptr, name, sizeof name);
    }).join();
    EXPECT_EQ(fromThread, -1);
    char directory[4] = "xyz";
    EXPECT_EQ(PB2APIGetPhoneBookDirectory(directory, 4), 1);
    EXPECT_EQ(std::strlen(directory), 3u);
    PB2APIFree(nullptr);
}

} // namespace

TEST_F(Exports, SelectPhoneBookNewAndDeleteWithDatesInAPinnedLocale)
{
    // English (United States) in UTC, whatever the machine's settings.
    qputenv("TZ", "UTC");
    tzset();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const std::string office = CPickerPhoneBook::GetPhoneBookPath("Office");
    const std::string home = CPickerPhoneBook::GetPhoneBookPath("Home");
    std::filesystem::last_write_time(
        office, std::chrono::file_clock::from_sys(std::chrono::sys_seconds{std::chrono::seconds{1'600'000'000}}));

    QString date, noName, noNameCaption, exists, existsCaption, ask;
    char path[300], name[300];
    const auto setName = [](const QString& text) {
        return [text](QWidget* d) {
            if (d->objectName() != QStringLiteral("id5001"))
                return false;
            Child<QLineEdit>(d, 1020)->setText(text);
            return true;
        };
    };
    const int result = Drive({Listed(5000, 1017, "Office", true, &date), Click(5000, 3), Click(5001, 1),
                              Acknowledge(noName, noNameCaption), setName("Office"), Click(5001, 1),
                              Acknowledge(exists, existsCaption), setName("Home"), Click(5001, 1),
                              SelectRow(5000, 1017, "Home"), Click(5000, 1009), Answer(QMessageBox::Yes, ask),
                              Listed(5000, 1017, "Home", false), Click(5000, 2)},
                             [&] { return PB2APISelectPhoneBook(nullptr, path, name, sizeof path, 1, 1); });
    QLocale::setDefault(QLocale::system());
    EXPECT_EQ(result, 2);
    EXPECT_EQ(date.toStdString(), "9/13/20 12:26 PM");
    EXPECT_EQ(noName.toStdString(), "The phone book name does not reserved.");
    EXPECT_EQ(noNameCaption.toStdString(), "Select Phone Book");
    EXPECT_EQ(exists.toStdString(),
              "The phone book name which you described was invalid. The same phone book has already existed.");
    EXPECT_EQ(existsCaption.toStdString(), "Select Phone Book");
    EXPECT_EQ(ask.toStdString(), "May I delete selected item ?");
    EXPECT_FALSE(platform::pathExists(home));
    EXPECT_TRUE(platform::pathExists(office));
}

// Replaces the text of an edit of the active dialog as typing would (select all, then type).
Step Retype(int dialogId, int editId, const QString& text)
{
    return [=](QWidget* d) {
        if (d->objectName() != QStringLiteral("id%1").arg(dialogId))
            return false;
        auto* line = Child<QLineEdit>(d, editId);
        line->selectAll();
        QTest::keyClick(line, Qt::Key_Backspace);
        QTest::keyClicks(line, text);
        return true;
    };
}

TEST_F(Exports, CancelAfterApplyStoresWhatApplyAccepted)
{
    // An address: applied with a new name, then a number that never passed the checks and F-code, then Cancel.
    int changed = -1;
    const int shown = Drive({Retype(3000, IDC_ADDRESS_NAME, "Anna B"), Click(3000, 0x3021), Retype(3000, IDC_FAX_NUMBER, "12R3"),
                             [](QWidget* d) {
                                 if (d->objectName() != QStringLiteral("id3000"))
                                     return false;
                                 Child<QAbstractButton>(d, IDC_USE_FCODE)->click();
                                 return true;
                             },
                             Click(3000, 2)},
                            [&] { return PB2APIShowAddressWithPhoneBook(nullptr, 99, "Office", anna, 0, &changed); });
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(changed, 1);
    ASSERT_EQ(book.Initiate(CPickerPhoneBook::GetPhoneBookPath("Office"), 1), 1);
    int32_t type = 0, parent = 0;
    std::string name, number, fcode;
    ASSERT_EQ(book.GetRecordInfo(anna, type, name, parent), 1);
    EXPECT_EQ(name, "Anna B");
    ASSERT_EQ(book.GetRecordValue(anna, "faxNumber", number), 1);
    EXPECT_EQ(number, "0123");
    ASSERT_EQ(book.GetRecordValue(anna, "faxFCode", fcode), 1);
    EXPECT_NE(fcode, "true");

    // A group: applied as "Team", its name then emptied, then Cancel.
    char groupName[64] = "";
    int newId = 0;
    const int created = Drive({Type(4000, 1011, "Team"), Click(4000, 1007), SelectRow(2000, 1002, "Bert"), Click(2000, 1005),
                               Click(2000, 1), Click(4000, 0x3021), Retype(4000, 1011, ""), Click(4000, 2)},
                              [&] {
                                  return PB2APICreateNewGroupWithPhoneBook("Office", kRootFolderId, nullptr, 99, groupName,
                                                                           sizeof groupName, &newId);
                              });
    EXPECT_EQ(created, 1);
    EXPECT_STREQ(groupName, "Team");
    ASSERT_EQ(book.Initiate(CPickerPhoneBook::GetPhoneBookPath("Office"), 1), 1);
    ASSERT_EQ(book.GetRecordInfo(newId, type, name, parent), 1);
    EXPECT_EQ(name, "Team");
    EXPECT_EQ(book.GetRecordCount(newId), 1);
}

TEST_F(Exports, ABookWithAnUpperCaseExtensionIsOpenedAsItselfAndAnOnlyBookIsChosen)
{
    // Copied from another system: "Work.XML", the only book there is.
    const std::string office = CPickerPhoneBook::GetPhoneBookPath("Office");
    const std::string work = platform::joinPath(platform::parentPath(office), "Work.XML");
    ASSERT_EQ(::rename(office.c_str(), work.c_str()), 0);
    char path[300], name[300];
    ASSERT_EQ(Drive({Listed(5000, 1017, "Work", true), Click(5000, 1)},
                    [&] { return PB2APISelectPhoneBook(nullptr, path, name, sizeof path, 1, 1); }),
              1);
    EXPECT_STREQ(name, "Work");
    EXPECT_EQ(std::string(path), work);

    PB2APISelection* selection = nullptr;
    ASSERT_EQ(Drive({SelectRow(2000, 1002, "Anna"), Click(2000, 1005), Click(2000, 1)},
                    [&] { return PB2APISelectDestinationWithPhoneBook(nullptr, name, &selection, 99); }),
              1);
    ASSERT_NE(selection, nullptr);
    ASSERT_EQ(selection->count, 1);
    EXPECT_EQ(selection->ids[0], anna);
    PB2APIFree(selection);
    EXPECT_EQ(platform::listFiles(platform::parentPath(work), "*.xml"), std::vector<std::string>{"Work.XML"});
}

TEST_F(Exports, AFailedApplyOnTheAddressSheetShowsTheStoredValuesAgain)
{
    QString refusal, caption, shownAfter;
    const auto edit = [](int id, const QString& text) {
        return [=](QWidget* d) {
            if (d->objectName() != QStringLiteral("id3000"))
                return false;
            auto* line = Child<QLineEdit>(d, id);
            line->clear();
            QTest::keyClicks(line, text);
            return true;
        };
    };
    const auto readFax = [&](QWidget* d) {
        if (d->objectName() != QStringLiteral("id3000"))
            return false;
        shownAfter = Child<QLineEdit>(d, IDC_FAX_NUMBER)->text();
        return true;
    };
    // The sheet shows the stored values once the refusal's box has returned: a tick may come while
    // the box's loop ends, so the field is read one tick after the sheet is active again.
    const auto settle = [](QWidget* d) { return d->objectName() == QStringLiteral("id3000"); };
    int changed = -1;
    const int result = Drive(
        {edit(IDC_FAX_NUMBER, "12R3"), Click(3000, 0x3021), Acknowledge(refusal, caption), settle, readFax, Click(3000, 2)},
              [&] { return PB2APIShowAddressWithPhoneBook(nullptr, 99, "Office", anna, 0, &changed); });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(changed, 0);
    EXPECT_FALSE(refusal.isEmpty());
    EXPECT_EQ(shownAfter.toStdString(), "0123");
    std::string stored;
    ASSERT_EQ(book.Initiate(CPickerPhoneBook::GetPhoneBookPath("Office"), 0), 1);
    ASSERT_EQ(book.GetRecordValue(anna, "faxNumber", stored), 1);
    EXPECT_EQ(stored, "0123");
}
