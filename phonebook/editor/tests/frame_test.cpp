// The editor's frame over the real phone book store and component, offscreen: the sample book
// loaded, records changed, deleted and dropped, folders renamed and deleted, sorting, status
// texts, the grey rules, help, and books that are never written. Modal answers are injected.
#include "phonebook/dialogs/picker_phone_book.h"
#include "common/registry_helper.h"
#include "common/resource_locale.h"
#include "phonebook/editor/app/converter_dialog.h"
#include "phonebook/editor/app/editor_dialogs.h"
#include "phonebook/editor/app/main_frame.h"
#include "phonebook/editor/tests/support/converter_fixture.h"
#include "phonebook/editor/tests/support/fake_book.h"
#include "platform/state.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/tests/support/test_support.h"
#include "sample/sample_run.h"
#include "uiwidgets/control_name.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

using qelta::test::QueuedPrompter;
using qelta::test::ScriptedBookDialogs;

namespace {

class EditorFrame : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RegisterServerLibraries(std::array{"booktool.dll"}).empty());
        std::string error;
        ASSERT_TRUE(WriteSamplePhoneBook(error)) << error;
        path = SamplePhoneBookPath();
        frame = std::make_unique<CMainFrame>(prompter, dialogs, path);
        frame->Document().SetLoadPause(std::chrono::milliseconds(0));
        frame->SetHelpOpener([this](const std::string& address) {
            help.push_back(address);
            return true;
        });
        frame->show();
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
        frame->Document().ReloadAll();
    }
    void TearDown() override { EXPECT_TRUE(prompter.answers.empty()) << "answers left"; }

    QTreeWidgetItem* Folder(const QString& name) const
    {
        const auto found = frame->TreeView()->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.front();
    }
    void Choose(const QString& folder)
    {
        QTreeWidgetItem* item = Folder(folder);
        ASSERT_NE(item, nullptr) << folder.toStdString();
        frame->TreeView()->setCurrentItem(item);
    }
    QStringList Rows(int column = 0) const
    {
        QStringList rows;
        QAbstractItemModel* model = frame->ListView()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            rows << model->index(row, column).data().toString();
        return rows;
    }
    int Select(const QString& name)
    {
        const int row = static_cast<int>(Rows().indexOf(name));
        frame->ListView()->setCurrentIndex(frame->ListView()->model()->index(row, 0));
        return row;
    }
    bool Enabled(int id) const { return frame->Action(id)->isEnabled(); }
    // Sends one drag event of the record format (or another) to the tree's viewport at an item.
    bool Drag(QEvent::Type type, QTreeWidgetItem* item, const QByteArray& data,
              const QString& format = QStringLiteral("Bookmanager - Record"))
    {
        QMimeData mime;
        mime.setData(format, data);
        QWidget* viewport = frame->TreeView()->viewport();
        const QPointF at = item ? QPointF(frame->TreeView()->visualItemRect(item).center()) : QPointF(2, 2);
        if (type == QEvent::DragEnter) {
            QDragEnterEvent event(at.toPoint(), Qt::MoveAction, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(viewport, &event);
            return event.isAccepted();
        }
        if (type == QEvent::DragMove) {
            QDragMoveEvent event(at.toPoint(), Qt::MoveAction, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(viewport, &event);
            return event.isAccepted();
        }
        // A drop comes at the end of a drag over the tree, as the desktop delivers it.
        QDragEnterEvent enter(at.toPoint(), Qt::MoveAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(at.toPoint(), Qt::MoveAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &move);
        QDropEvent event(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &event);
        return event.isAccepted();
    }
    static QByteArray DragOf(int id)
    {
        const auto bytes = EncodeRecordDrag(id);
        return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    }
    int IdOf(const QString& name)
    {
        for (const auto& r : frame->Document().Records())
            if (QtText(r->m_strName) == name)
                return r->m_nID;
        ADD_FAILURE() << "no record " << name.toStdString();
        return 0;
    }
    // The folder a record is in, read from the book file.
    int32_t ParentOf(int32_t id)
    {
        CPickerPhoneBook book;
        EXPECT_EQ(book.Initiate(path, 0), 1);
        int32_t type = 0, parent = 0;
        std::string name;
        book.GetRecordInfo(id, type, name, parent);
        return parent;
    }

    qelta::test::ScopedStateRoot root;
    QueuedPrompter prompter;
    ScriptedBookDialogs dialogs;
    std::string path;
    std::vector<std::string> help;
    std::unique_ptr<CMainFrame> frame;
};

} // namespace

TEST_F(EditorFrame, LoadsTheBookWithItsStatusTextsAndGreyRules)
{
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Sample.xml - Phone Book Editor"));
    ASSERT_EQ(frame->TreeView()->topLevelItemCount(), 1);
    QTreeWidgetItem* top = frame->TreeView()->topLevelItem(0);
    EXPECT_EQ(top->text(0), QStringLiteral("Address Lists"));
    ASSERT_EQ(top->childCount(), 2);
    EXPECT_EQ(top->child(0)->text(0), QStringLiteral("Favorite"));
    EXPECT_EQ(top->child(1)->text(0), QStringLiteral("Customers"));
    EXPECT_EQ(Rows(), (QStringList{"Anna Berg", "Bruno Costa", "Head office", "Scan desk", "Sales team"}));
    EXPECT_EQ(frame->ListView()->header()->sectionSize(0), 160);
    EXPECT_EQ(frame->ListView()->header()->sectionSize(1), 150);
    // The root: no folder commands; no row: no Delete or Open.
    EXPECT_TRUE(Enabled(ID_FILE_NEWADDRESS));
    EXPECT_FALSE(Enabled(ID_EDIT_DELETEFOLDER));
    EXPECT_FALSE(Enabled(ID_EDIT_RENAMEFOLDER));
    EXPECT_FALSE(Enabled(ID_EDIT_DELETE));
    Select("Scan desk");
    EXPECT_TRUE(Enabled(ID_EDIT_OPEN));
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Scan desk, scan@example.com"));
    Select("Sales team");
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Sales team"));
    // A user folder: its records, with the F-code summary; the favourites: no new records.
    Choose("Customers");
    EXPECT_EQ(Rows(), (QStringList{"Delta Print", "Echo Labs"}));
    EXPECT_TRUE(Enabled(ID_EDIT_RENAMEFOLDER));
    Select("Delta Print");
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Delta Print, 0715554443 [ 12, 3456 ]"));
    Choose("Favorite");
    EXPECT_EQ(Rows(), (QStringList{"Anna Berg", "Head office"}));
    EXPECT_FALSE(Enabled(ID_FILE_NEWADDRESS));
    EXPECT_FALSE(Enabled(ID_FILE_NEWGROUP));
    EXPECT_FALSE(Enabled(ID_EDIT_DELETEFOLDER));
    // The status tips and tool tips of the prompts; help always opens the one context.
    EXPECT_EQ(frame->Action(ID_VIEW_REFRESH)->statusTip(), QStringLiteral("Update View"));
    EXPECT_EQ(frame->Action(ID_VIEW_REFRESH)->toolTip(), QStringLiteral("Refresh"));
    EXPECT_EQ(frame->Action(32785)->objectName(), QStringLiteral("id32785"));
    QTest::keyClick(frame->ListView(), Qt::Key_F1);
    frame->Action(57670)->trigger();
    ASSERT_EQ(help.size(), 2u);
    EXPECT_EQ(help[0], platform::dataFolder() + "/Sendwizard2.html#131207");
    EXPECT_EQ(qelta::test::missingHelpAnchor(help[0]), "");
    // Sorting by Name: ascending, then descending.
    Choose("Address Lists");
    QHeaderView* header = frame->ListView()->header();
    const QPoint name(header->sectionViewportPosition(0) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
    EXPECT_EQ(Rows().front(), QStringLiteral("Anna Berg"));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, name);
    EXPECT_EQ(Rows().front(), QStringLiteral("Scan desk"));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
}

TEST_F(EditorFrame, ChangesDeletesAndMovesRecords)
{
    // A change stored by the address dialog comes back into the row.
    const int bruno = IdOf("Bruno Costa");
    dialogs.changed = 1;
    dialogs.onShow = [&] {
        CPickerPhoneBook book;
        ASSERT_EQ(book.Initiate(path, 0), 1);
        ASSERT_EQ(book.UpdateRecordValue(bruno, "faxNumber", "0555"), 1);
    };
    Select("Bruno Costa");
    frame->Action(ID_EDIT_OPEN)->trigger();
    EXPECT_EQ(Rows(1).at(1), QStringLiteral("0555"));
    EXPECT_EQ(dialogs.calls.back(), "ShowAddress(" + path + "," + std::to_string(bruno) + ")");
    // Delete in a folder: gone from the book.
    prompter.answers = {IDYES};
    Select("Scan desk");
    frame->Action(ID_EDIT_DELETE)->trigger();
    EXPECT_FALSE(Rows().contains(QStringLiteral("Scan desk")));
    // Delete in the favourites: the record stays in its folder.
    const int anna = IdOf("Anna Berg");
    Choose("Favorite");
    prompter.answers = {IDYES};
    Select("Anna Berg");
    frame->Action(ID_EDIT_DELETE)->trigger();
    EXPECT_EQ(Rows(), QStringList{"Head office"});
    EXPECT_EQ(ParentOf(anna), kRootFolderId);
    // Drops: refused on the favourites, the current folder and in a foreign format; a drop on a
    // folder moves the record and takes its row.
    Choose("Address Lists");
    const int head = IdOf("Head office");
    EXPECT_TRUE(Drag(QEvent::DragEnter, Folder("Customers"), DragOf(head)));
    EXPECT_FALSE(Drag(QEvent::DragMove, Folder("Favorite"), DragOf(head)));
    EXPECT_EQ(frame->TreeView()->DropHighlight(), nullptr);
    EXPECT_FALSE(Drag(QEvent::DragMove, Folder("Address Lists"), DragOf(head)));
    EXPECT_TRUE(Drag(QEvent::DragMove, Folder("Customers"), DragOf(head)));
    EXPECT_EQ(frame->TreeView()->DropHighlight(), Folder("Customers"));
    EXPECT_FALSE(Drag(QEvent::Drop, Folder("Favorite"), DragOf(head)));
    EXPECT_FALSE(Drag(QEvent::Drop, Folder("Address Lists"), DragOf(head)));
    EXPECT_FALSE(Drag(QEvent::DragEnter, Folder("Customers"), DragOf(head), QStringLiteral("text/plain")));
    QByteArray foreign = DragOf(head);
    foreign[4] = static_cast<char>(foreign[4] ^ 0x55);
    EXPECT_FALSE(Drag(QEvent::DragEnter, Folder("Customers"), foreign));
    EXPECT_EQ(ParentOf(head), kRootFolderId);
    const int customers = CQeltapbTreeView::FolderOf(Folder("Customers"))->m_nID;
    EXPECT_TRUE(Drag(QEvent::Drop, Folder("Customers"), DragOf(head)));
    EXPECT_EQ(frame->TreeView()->DropHighlight(), nullptr);
    EXPECT_FALSE(Rows().contains(QStringLiteral("Head office")));
    EXPECT_EQ(ParentOf(head), customers);
}

TEST_F(EditorFrame, AFavoriteGroupLeavesTheFavoritesAndTheStatusBarShowsTheRecordAsItIs)
{
    // Sales team becomes a favourite, with its members.
    const int team = IdOf("Sales team");
    {
        CPickerPhoneBook book;
        ASSERT_EQ(book.Initiate(path, 0), 1);
        std::vector<int32_t> members;
        for (int32_t i = 0; i < book.GetRecordCount(team); ++i)
            members.push_back(book.GetRecordID(team, i));
        ASSERT_EQ(members.size(), 2u);
        int32_t id = team;
        ASSERT_EQ(book.CreateNewGroup("Sales team", kRootFolderId, id, 1), 1);
        for (const int32_t member : members)
            ASSERT_EQ(book.AddRecord2Group(team, member), 1);
        ASSERT_EQ(book.AddRecordValue(team, PB_RECORD_GROUP, "frequentlyUsed", "true"), 1);
        ASSERT_EQ(book.FlushGroup(team, 1), 1);
    }
    frame->Action(ID_VIEW_REFRESH)->trigger();
    Choose("Favorite");
    ASSERT_TRUE(Rows().contains("Sales team"));
    Select("Sales team");
    prompter.answers = {IDYES};
    frame->Action(ID_EDIT_DELETE)->trigger();
    EXPECT_FALSE(Rows().contains("Sales team"));
    frame->Action(ID_VIEW_REFRESH)->trigger();
    Choose("Favorite");
    EXPECT_FALSE(Rows().contains("Sales team"));
    CPickerPhoneBook book;
    ASSERT_EQ(book.Initiate(path, 0), 1);
    EXPECT_EQ(book.GetRecordCount(team), 2);
    EXPECT_EQ(ParentOf(team), kRootFolderId);

    // The status bar: the selected record as it is now, the idle text without one.
    Choose("Address Lists");
    const int bruno = IdOf("Bruno Costa");
    Select("Bruno Costa");
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Bruno Costa, 0409876543"));
    dialogs.changed = 1;
    dialogs.onShow = [&] {
        CPickerPhoneBook changer;
        ASSERT_EQ(changer.Initiate(path, 0), 1);
        ASSERT_EQ(changer.UpdateRecordValue(bruno, "faxNumber", "0555"), 1);
    };
    frame->Action(ID_EDIT_OPEN)->trigger();
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Bruno Costa, 0555"));
    Choose("Customers");
    EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("Ready"));
}

TEST_F(EditorFrame, RowsSortByTheLocalesCollationAndRefreshDropsTheSortArrow)
{
    {
        CPhoneBook book;
        ASSERT_EQ(book.Initiate(path, 0), 1);
        for (const char* name : {"\xC3\x89" "mile", "\xC3\xA9" "clair"}) {
            int32_t id = 0;
            ASSERT_EQ(book.CreateNewRecord(PB_RECORD_FAX, name, kRootFolderId, id, 0), 1);
            ASSERT_EQ(book.AddRecordValue(id, PB_RECORD_FAX, "faxNumber", "1"), 1);
            ASSERT_EQ(book.FlushRecord(id, 0), 1);
        }
    }
    const QLocale was;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    frame->Action(ID_VIEW_REFRESH)->trigger();
    QHeaderView* header = frame->ListView()->header();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(0) + 5, header->height() / 2));
    QLocale::setDefault(was);
    EXPECT_EQ(Rows(), (QStringList{"Anna Berg", "Bruno Costa", QString::fromUtf8("\xC3\xA9" "clair"),
                                   QString::fromUtf8("\xC3\x89" "mile"), "Head office", "Sales team", "Scan desk"}));
    EXPECT_TRUE(header->isSortIndicatorShown());
    frame->Action(ID_VIEW_REFRESH)->trigger();
    EXPECT_FALSE(header->isSortIndicatorShown());
}

TEST_F(EditorFrame, RenamesAndDeletesFolders)
{
    const std::string before = qelta::test::readTextFile(path);
    // The same name calls nothing: the book is unchanged; a new one renames.
    std::optional<std::string> answer = "Customers";
    int asked = 0;
    frame->SetRenameDialog([&](const std::string& old, const FolderNameInUse&) {
        EXPECT_EQ(old, "Customers");
        ++asked;
        return answer;
    });
    Choose("Customers");
    EXPECT_EQ(frame->Action(ID_EDIT_RENAMEFOLDER)->shortcut(), QKeySequence(Qt::Key_F2));
    frame->Action(ID_EDIT_RENAMEFOLDER)->trigger();
    EXPECT_EQ(qelta::test::readTextFile(path), before);
    answer = "Clients";
    frame->Action(ID_EDIT_RENAMEFOLDER)->trigger();
    ASSERT_NE(Folder("Clients"), nullptr);
    EXPECT_EQ(asked, 2);
    // An empty name is refused with STRING 5003 and the dialog stays.
    CDFolderNameLogic logic(prompter, "Clients");
    CDFolderName dialog(logic);
    dialog.show();
    dialog.findChild<QLineEdit*>(ControlName(IDC_FOLDER_NAME))->clear();
    prompter.answers = {IDOK};
    dialog.findChild<QPushButton*>(ControlName(1))->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(prompter.shown.back(),
              "Phone Book Editor: The folder name was not addressed. Please address folder name.");
    dialog.close();
    // The name of another folder is refused, with the phone book dialogs' message, and the dialog
    // stays; the book keeps both folders as they were.
    {
        CPickerPhoneBook book;
        ASSERT_EQ(book.Initiate(path, 0), 1);
        int32_t id = 0;
        ASSERT_EQ(book.CreateNewFolder("Suppliers", id), 1);
    }
    frame->Action(ID_VIEW_REFRESH)->trigger();
    Choose("Clients");
    const std::string twoFolders = qelta::test::readTextFile(path);
    frame->SetRenameDialog([&](const std::string& old, const FolderNameInUse& inUse) -> std::optional<std::string> {
        CDFolderNameLogic renaming(prompter, old, inUse);
        CDFolderName renameDialog(renaming);
        renameDialog.show();
        auto* edit = renameDialog.findChild<QLineEdit*>(ControlName(IDC_FOLDER_NAME));
        auto* ok = renameDialog.findChild<QPushButton*>(ControlName(1));
        edit->setText("Suppliers");
        prompter.answers = {IDOK};
        prompter.shown.clear();
        ok->click();
        EXPECT_TRUE(renameDialog.isVisible());
        EXPECT_EQ(prompter.shown, std::vector<std::string>{"Phone Book Editor: The folder name was already existed. "});
        edit->setText("Clients"); // its own name is no other folder's
        ok->click();
        EXPECT_FALSE(renameDialog.isVisible());
        EXPECT_EQ(prompter.shown.size(), 1u);
        return renaming.Name();
    });
    frame->Action(ID_EDIT_RENAMEFOLDER)->trigger();
    EXPECT_EQ(qelta::test::readTextFile(path), twoFolders);
    ASSERT_NE(Folder("Suppliers"), nullptr);
    ASSERT_NE(Folder("Clients"), nullptr);
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    // A right-click on a folder makes it current before the menu opens; Delete Folder acts on it.
    Choose("Favorite");
    QTimer::singleShot(50, [] {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    });
    QTreeWidgetItem* clients = Folder("Clients");
    emit frame->TreeView()->customContextMenuRequested(frame->TreeView()->visualItemRect(clients).center());
    EXPECT_EQ(frame->Document().CurrentFolderID(), CQeltapbTreeView::FolderOf(clients)->m_nID);
    EXPECT_TRUE(Enabled(ID_EDIT_DELETEFOLDER));
    prompter.answers = {IDYES};
    EXPECT_EQ(frame->Action(ID_EDIT_DELETEFOLDER)->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
    frame->Action(ID_EDIT_DELETEFOLDER)->trigger();
    EXPECT_EQ(Folder("Clients"), nullptr);
    EXPECT_EQ(frame->TreeView()->topLevelItem(0)->childCount(), 2);
}

TEST_F(EditorFrame, MenuAndDialogTextsComeFromTheLanguageModule)
{
    // A German module beside a program: its texts replace the English ones, what it lacks stays.
    const std::string folder = root.path() + "/app";
    ASSERT_TRUE(platform::createDirectories(folder + "/resources"));
    std::filesystem::copy_file(DEU_MODULE, folder + "/resources/resBOOKMANAGERDEU.so");
    CSDLocale locale(folder + "/bookmanager", kEditorModuleCode);
    ASSERT_EQ(locale.LoadLocale(0x0407), 1);
    SetCurrentResourceLocale(&locale);
    CMainFrame german(prompter, dialogs, path);
    CDFolderNameLogic renaming(prompter, "Clients");
    const CDFolderName germanRename(renaming);
    SetCurrentResourceLocale(nullptr);
    const CDFolderName englishRename(renaming);
    EXPECT_EQ(germanRename.windowTitle().toStdString(), "Ordner umbenennen");
    EXPECT_EQ(englishRename.windowTitle().toStdString(), "Rename Folder");
    for (const CDFolderName* dialog : {&germanRename, &englishRename}) {
        const QList<QLabel*> labels = dialog->findChildren<QLabel*>();
        const auto label = std::find_if(labels.begin(), labels.end(), [](const QLabel* l) { return l->buddy() != nullptr; });
        ASSERT_NE(label, labels.end());
        EXPECT_EQ((*label)->text().toStdString(), "&Folder Name");
    }
    const QList<QAction*> menus = german.menuBar()->actions();
    ASSERT_EQ(menus.size(), 4);
    EXPECT_EQ(menus[0]->text().toStdString(), "&Datei");
    EXPECT_EQ(menus[1]->text().toStdString(), "&Edit");
    EXPECT_EQ(german.Action(ID_FILE_NEWADDRESS)->text().toStdString(), "&Neue Adresse");
    EXPECT_EQ(german.Action(ID_FILE_NEWGROUP)->text().toStdString(), "New &Group");
    EXPECT_EQ(frame->Action(ID_FILE_NEWADDRESS)->text().toStdString(), "&New Address");
}

TEST(EditorBook, ABookThatCannotBeReadIsSaidSoAndStaysAsItIs)
{
    qelta::test::ScopedStateRoot root;
    std::string error;
    ASSERT_TRUE(WriteSamplePhoneBook(error)) << error;
    const std::string sample = qelta::test::readTextFile(SamplePhoneBookPath());
    ASSERT_FALSE(sample.empty());
    const QString wide = QString::fromStdString(sample);
    const std::string utf16 = "\xFF\xFE" + std::string(reinterpret_cast<const char*>(wide.utf16()),
                                                       static_cast<size_t>(wide.size()) * 2);
    constexpr size_t kDepth = 1000000;
    std::string nested = "<?xml version=\"1.0\"?><system>";
    for (size_t i = 0; i < kDepth; ++i)
        nested += "<f>";
    for (size_t i = 0; i < kDepth; ++i)
        nested += "</f>";
    nested += "</system>";
    enum Kind { File, Folder, Fifo };
    struct Case {
        const char* what;
        std::string content;
        Kind kind = File;
        bool registered = true; // the phone book server
    } const cases[] = {
        {"a good book, but no phone book server", sample, File, false},
        {"garbage", std::string("\x00\x01\xFE<?x\x7F\x80 garbage", 16)},
        {"cut in half", sample.substr(0, sample.size() / 2)},
        {"empty", ""},
        {"a folder", "", Folder},
        {"a FIFO", "", Fifo},
        {"100 MB of text", std::string(100u << 20, 'a')},
        {"nested a million deep", nested},
        {"UTF-16", utf16},
    };
    const std::string path = root.path() + "/books/Bad.xml";
    ASSERT_TRUE(platform::createDirectories(root.path() + "/books"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.registered) {
            ASSERT_TRUE(RegisterServerLibraries(std::array{"booktool.dll"}).empty());
        }
        std::filesystem::remove_all(path);
        if (c.kind == Folder) {
            ASSERT_TRUE(platform::createDirectories(path));
        } else if (c.kind == Fifo) {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        } else {
            ASSERT_TRUE(platform::writeFileAtomic(path, c.content));
        }
        QueuedPrompter prompter;
        ScriptedBookDialogs dialogs;
        qelta::test::InlineProgress progress;
        CQeltapbDoc doc(dialogs, progress);
        doc.SetPrompter(&prompter);
        doc.SetLoadPause(std::chrono::milliseconds(0));
        doc.SetPathName(path);
        doc.LoadBook();
        EXPECT_EQ(progress.captions, std::vector<std::string>{"Loading Address..."});
        EXPECT_EQ(prompter.shown, std::vector<std::string>{"Phone Book Editor: '" + path +
                                                           "' is not a phone book file or cannot be read."});
        EXPECT_TRUE(doc.Folders().empty());
        EXPECT_TRUE(doc.Records().empty());
        // Nothing was written: no new book over it, no backup beside it.
        if (c.kind == Folder) {
            EXPECT_TRUE(std::filesystem::is_directory(path) && std::filesystem::is_empty(path));
        } else if (c.kind == Fifo) {
            EXPECT_TRUE(std::filesystem::is_fifo(path));
        } else {
            EXPECT_TRUE(qelta::test::readTextFile(path) == c.content) << "the file changed";
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root.path() + "/books"),
                                std::filesystem::directory_iterator()), 1);
    }
    std::filesystem::remove_all(path);
}

TEST_F(EditorFrame, BooksAreNeverWrittenByTheFrame)
{
    // Ctrl+S writes nothing.
    const std::string before = qelta::test::readTextFile(path);
    frame->Action(57603)->trigger();
    EXPECT_EQ(qelta::test::readTextFile(path), before);
    // A file that is no phone book, given on the command line, stays as it was after Refresh.
    const std::string other = root.path() + "/notes.xml";
    const std::string text = "<notes><n>keep me</n></notes>\n";
    qelta::test::writeTextFile(other, text);
    CMainFrame second(prompter, dialogs, other);
    second.Document().SetLoadPause(std::chrono::milliseconds(0));
    second.Document().ReloadAll();
    second.Action(ID_VIEW_REFRESH)->trigger();
    EXPECT_EQ(qelta::test::readTextFile(other), text);
    EXPECT_EQ(second.TreeView()->topLevelItemCount(), 0);

    // Ctrl+O makes the chosen book the document's; the next Refresh loads it.
    const std::string copy = platform::parentPath(path) + "/Copy.xml";
    ASSERT_TRUE(platform::writeFileAtomic(copy, before));
    prompter.openFile = copy;
    EXPECT_EQ(frame->Action(57601)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    frame->Action(57601)->trigger();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Copy.xml - Phone Book Editor"));
    EXPECT_EQ(frame->Document().GetPathName(), copy);
    Choose("Customers");
    frame->Action(ID_VIEW_REFRESH)->trigger();
    EXPECT_EQ(Rows().size(), 5);
    EXPECT_EQ(qelta::test::readTextFile(copy), before);
    EXPECT_EQ(qelta::test::readTextFile(path), before);
}

TEST_F(EditorFrame, ARefusedBookLeavesTheBookShownBeforeAndNoTitleNamesIt)
{
    const QString title = frame->windowTitle();
    ASSERT_EQ(title, QStringLiteral("Sample.xml - Phone Book Editor"));
    const int folders = frame->TreeView()->topLevelItemCount();
    ASSERT_GT(folders, 0);
    const std::string bad = platform::parentPath(path) + "/Bad.xml";
    const std::string text = "<notes><n>no book</n></notes>\n";
    qelta::test::writeTextFile(bad, text);
    const std::string refused = "Phone Book Editor: '" + bad + "' is not a phone book file or cannot be read.";
    const struct {
        const char* what;
        std::function<void()> open;
    } ways[] = {
        {"Ctrl+O", [&] {
             prompter.openFile = bad;
             frame->Action(57601)->trigger();
         }},
        {"Open Phone Book", [&] {
             dialogs.answer = 1;
             dialogs.path = bad;
             dialogs.name = "Bad";
             frame->Action(ID_FILE_OPENPHONEBOOK)->trigger();
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.what);
        prompter.shown.clear();
        way.open();
        EXPECT_EQ(prompter.shown, std::vector<std::string>{refused});
        EXPECT_EQ(frame->windowTitle(), title);
        EXPECT_EQ(frame->Document().GetPathName(), path);
        EXPECT_EQ(frame->TreeView()->topLevelItemCount(), folders);
        // Not among the recent files either.
        for (QAction* action : frame->findChildren<QAction*>())
            EXPECT_FALSE(action->text().contains(QStringLiteral("Bad.xml"))) << action->text().toStdString();
    }

    // Refused at the start, nothing is shown before it: the title names no book until it loads.
    CMainFrame second(prompter, dialogs, bad);
    second.Document().SetLoadPause(std::chrono::milliseconds(0));
    second.Document().ReloadAll();
    EXPECT_EQ(second.windowTitle(), QStringLiteral("Phone Book Editor"));
    EXPECT_EQ(qelta::test::readTextFile(bad), text);
    ASSERT_TRUE(platform::copyFileAtomic(path, bad));
    second.Action(ID_VIEW_REFRESH)->trigger();
    EXPECT_EQ(second.windowTitle(), QStringLiteral("Bad.xml - Phone Book Editor"));
}

TEST_F(EditorFrame, ABookOpenedByCtrlOOrTheRecentFilesIsShownAndChangedAtOnce)
{
    // Work.xml: the sample's records and one of its own.
    const std::string work = platform::parentPath(path) + "/Work.xml";
    ASSERT_TRUE(platform::copyFileAtomic(path, work));
    {
        CPhoneBook book;
        ASSERT_EQ(book.Initiate(work, 0), 1);
        int32_t id = 0;
        ASSERT_EQ(book.CreateNewRecord(PB_RECORD_FAX, "Work 12", kRootFolderId, id, 0), 1);
        ASSERT_EQ(book.AddRecordValue(id, PB_RECORD_FAX, "faxNumber", "12"), 1);
        ASSERT_EQ(book.FlushRecord(id, 0), 1);
    }
    const std::string sample = qelta::test::readTextFile(path);
    prompter.openFile = work;
    frame->Action(57601)->trigger();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Work.xml - Phone Book Editor"));
    ASSERT_TRUE(Rows().contains("Work 12")) << Rows().join(",").toStdString();
    // A delete goes to the book shown.
    Select("Bruno Costa");
    prompter.answers = {IDYES};
    frame->Action(ID_EDIT_DELETE)->trigger();
    EXPECT_FALSE(Rows().contains("Bruno Costa"));
    EXPECT_EQ(qelta::test::readTextFile(path), sample);
    EXPECT_EQ(qelta::test::readTextFile(work).find("Bruno Costa"), std::string::npos);
    EXPECT_NE(qelta::test::readTextFile(work).find("Work 12"), std::string::npos);

    // The recent files: Work first, then the sample, which opens at once.
    auto recent = [this](int i) { return frame->findChild<QAction*>(ControlName(57616 + i)); };
    ASSERT_NE(recent(1), nullptr);
    recent(1)->trigger();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Sample.xml - Phone Book Editor"));
    EXPECT_TRUE(Rows().contains("Bruno Costa"));
    EXPECT_FALSE(Rows().contains("Work 12"));
    // A recent book that is gone is named, leaves the list, and the book shown stays.
    ASSERT_TRUE(platform::removeFile(work));
    ASSERT_NE(recent(1), nullptr);
    recent(1)->trigger();
    EXPECT_EQ(prompter.shown.back(), "Phone Book Editor: The phone book " + work + " does not exist.");
    EXPECT_EQ(recent(1), nullptr);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Sample.xml - Phone Book Editor"));
    EXPECT_TRUE(Rows().contains("Bruno Costa"));
}

TEST_F(EditorFrame, EachKeyActsOnlyInItsOwnView)
{
    std::vector<std::string> renames;
    frame->SetRenameDialog([&](const std::string& name, const FolderNameInUse&) {
        renames.push_back(name);
        return std::nullopt;
    });
    Choose("Customers");
    Select("Delta Print");
    // In the tree: DEL and Enter leave the list's record alone; Ctrl+D and F2 act on the folder.
    // The keys go to the focused view of the active window (the loading's progress took it away).
    auto focusOn = [this](QWidget* view) {
        frame->activateWindow();
        view->setFocus();
        return QTest::qWaitFor([&] { return QApplication::activeWindow() == frame.get() && view->hasFocus(); });
    };
    ASSERT_TRUE(focusOn(frame->TreeView()));
    QTest::keyClick(frame->TreeView(), Qt::Key_Delete);
    QTest::keyClick(frame->TreeView(), Qt::Key_Return);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_TRUE(dialogs.calls.empty());
    prompter.answers = {IDNO};
    QTest::keyClick(frame->TreeView(), Qt::Key_D, Qt::ControlModifier);
    QTest::keyClick(frame->TreeView(), Qt::Key_F2);
    EXPECT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(renames, std::vector<std::string>{"Customers"});
    // In the list: Ctrl+D and F2 leave the folder alone; DEL and Enter act on the record.
    ASSERT_TRUE(focusOn(frame->ListView()));
    Select("Delta Print");
    prompter.shown.clear();
    QTest::keyClick(frame->ListView(), Qt::Key_D, Qt::ControlModifier);
    QTest::keyClick(frame->ListView(), Qt::Key_F2);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(renames.size(), 1u);
    ASSERT_NE(Folder("Customers"), nullptr);
    prompter.answers = {IDNO};
    QTest::keyClick(frame->ListView(), Qt::Key_Delete);
    QTest::keyClick(frame->ListView(), Qt::Key_Return);
    EXPECT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(dialogs.calls, std::vector<std::string>{"ShowAddress(" + path + "," + std::to_string(IdOf("Delta Print")) + ")"});
    EXPECT_EQ(Rows(), (QStringList{"Delta Print", "Echo Labs"}));
}

TEST_F(EditorFrame, ABackupLeftByAConversionThatDidNotEndIsOfferedAtTheNextStart)
{
    // The editor ended during an import: the backup holds the book as it was, the book a part of it.
    const std::string sample = qelta::test::readTextFile(path);
    struct Case {
        int answer;
        bool restored;
    };
    for (const Case c : {Case{IDYES, true}, Case{IDNO, false}}) {
        ASSERT_TRUE(platform::writeFileAtomic(path + ".backup", sample));
        {
            CPhoneBook book;
            ASSERT_EQ(book.Initiate(path, 0), 1);
            int32_t id = 0;
            ASSERT_EQ(book.CreateNewRecord(PB_RECORD_FAX, "Half Imported", kRootFolderId, id, 0), 1);
            ASSERT_EQ(book.FlushRecord(id, 0), 1);
        }
        const std::string partial = qelta::test::readTextFile(path);
        prompter.answers = {c.answer};
        prompter.shown.clear();
        CMainFrame next(prompter, dialogs, path);
        next.Document().SetLoadPause(std::chrono::milliseconds(0));
        next.StartLoading();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !next.Document().Folders().empty(); }));
        ASSERT_EQ(prompter.shown.size(), 1u) << c.answer;
        EXPECT_NE(prompter.shown[0].find(path + ".backup"), std::string::npos) << prompter.shown[0];
        EXPECT_FALSE(platform::pathExists(path + ".backup")) << c.answer;
        EXPECT_EQ(qelta::test::readTextFile(path), c.restored ? sample : partial) << c.answer;
        ASSERT_TRUE(platform::writeFileAtomic(path, sample));
    }
}

namespace {

// The import or export command run from the menu: inside its dialog each named converter is
// selected and run with its action button (the file choices come from the prompter), then Close.
// The names the dialog listed.
QStringList RunConverters(CMainFrame& frame, int command, int action, const QStringList& names)
{
    QStringList listed;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CDConverter*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        for (int row = 0; row < dialog->List()->count(); ++row)
            listed << dialog->List()->item(row)->text();
        for (const QString& name : names) {
            dialog->List()->setCurrentRow(static_cast<int>(listed.indexOf(name)));
            dialog->findChild<QPushButton*>(ControlName(action))->click();
        }
        dialog->findChild<QPushButton*>(ControlName(IDC_CONVERTER_CLOSE))->click();
    });
    frame.Action(command)->trigger();
    return listed;
}

} // namespace

TEST_F(EditorFrame, ImportAndExportRunConvertersWithTheBookBackedUp)
{
    const std::string dir = root.path() + "/converters";
    qelta::test::WriteConverter(dir, {.folder = "lines", .module = QELTA_LINES_CONVERTER});
    qelta::test::WriteConverter(dir, {.folder = "failing", .module = QELTA_FAILING_CONVERTER, .name = "Failing",
                                      .importFn = "FailImport", .exportFn = "FailExport"});
    ASSERT_EQ(CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).WriteString(kProductSubkey, "ConverterDirectory", dir), 1);
    const std::string before = qelta::test::readTextFile(path);
    EXPECT_TRUE(Enabled(ID_FILE_IMPORT) && Enabled(ID_FILE_EXPORT));

    // A failing import: "Converting Error" over the progress caption, the book as it was.
    prompter.openFile = root.path() + "/in.txt";
    qelta::test::writeTextFile(*prompter.openFile, "Imported One,0311\nImported Two,0312\n");
    EXPECT_EQ(RunConverters(*frame, ID_FILE_IMPORT, IDC_CONVERTER_IMPORT, {"Failing"}),
              (QStringList{"Failing", "Lines"}));
    EXPECT_EQ(prompter.shown, (std::vector<std::string>{"Importing Address...: Converting Error"}));
    EXPECT_EQ(qelta::test::readTextFile(path), before);
    EXPECT_FALSE(platform::pathExists(path + ".backup"));

    // A working one: its records are listed after the dialog.
    RunConverters(*frame, ID_FILE_IMPORT, IDC_CONVERTER_IMPORT, {"Lines"});
    EXPECT_TRUE(Rows().contains("Imported One") && Rows().contains("Imported Two")) << Rows().join(",").toStdString();
    EXPECT_FALSE(Rows().contains("Partial"));
    EXPECT_FALSE(platform::pathExists(path + ".backup"));

    // An export through the save choice.
    prompter.saveFile = root.path() + "/out.txt";
    RunConverters(*frame, ID_FILE_EXPORT, IDC_CONVERTER_EXPORT, {"Lines"});
    EXPECT_EQ(qelta::test::readTextFile(*prompter.saveFile), qelta::test::readTextFile(path));
    EXPECT_EQ(prompter.shown.size(), 1u);
}
