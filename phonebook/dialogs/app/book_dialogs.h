// The small dialogs of the bookpicker library: the folder name, Select Phone Book and the new phone
// book name. Each is a thin widget over its logic (book_choice_logic.h); warnings go through the
// notifier given.
#pragma once

#include "phonebook/dialogs/book_choice_logic.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QTreeWidget;
class QPushButton;

/// Help contexts of the dialogs.
enum : int {
    HELP_SELECT_PHONE_BOOK = 131208,
    HELP_SELECT_DESTINATION = 131209,
    HELP_GROUP = 131210,
    HELP_FOLDER_NAME = 131211,
};

/// "Create a New Folder": asks for a folder name (edit 1001), refusing an empty one and, with a
/// book, the name of a user folder it has.
class CDFolderName : public QDialog {
    Q_OBJECT
public:
    CDFolderName(IMessageNotifier& notifier, QWidget* parent = nullptr);
    /// The plain run: the dialog's result.
    int RunWithoutBook();
    /// Opens the book (-1 when it cannot be opened), runs, and on OK creates the folder: 1 with
    /// newId set, -1 when the folder cannot be created; other results unchanged.
    int RunWithBook(const std::string& bookName, int32_t& newId);
    const std::string& FolderName() const { return m_strName; }
    void accept() override;

private:
    IMessageNotifier& m_notifier;
    QLineEdit* m_pEdit;
    CPickerPhoneBook m_book;
    bool m_bWithBook = false;
    std::string m_strName;
};

/// "Create a New Phone Book": a name (edit 1020) that becomes a new, empty phone book on OK.
class CDPhoneBookName : public QDialog {
    Q_OBJECT
public:
    CDPhoneBookName(IMessageNotifier& notifier, QWidget* parent = nullptr);
    void accept() override;

private:
    IMessageNotifier& m_notifier;
    QLineEdit* m_pEdit;
};

/// "Select Phone Book": the books of the directory (list 1017), the chosen path (1018), New (3)
/// and Delete (1009).
class CDSelectPhoneBook : public QDialog {
    Q_OBJECT
public:
    CDSelectPhoneBook(IMessageNotifier& notifier, bool allowDelete, QWidget* parent = nullptr);
    const std::string& BookName() const { return m_logic.BookName(); }
    const std::string& BookPath() const { return m_logic.BookPath(); }
    void accept() override;
    /// Lists the books again (under the progress dialog, as on opening).
    void Relist();

private:
    void FillList();
    void OnSelection();

    IMessageNotifier& m_notifier;
    CSelectPhoneBookLogic m_logic;
    QTreeWidget* m_pList;
    QLineEdit* m_pPath;
    QPushButton* m_pDelete;
};

/// A bordered two-column report list with the suite's look, named by its control id; its columns
/// keep the widths given while the list is wide enough and shrink to fit a narrower one.
QTreeWidget* NewReportList(QWidget* parent, int controlId, const QString& first, const QString& second, int width1,
                           int width2);
/// Sorts a report list: sort sorts its rows, fills the list again and gives the sort it applied.
/// The header then shows that column and direction, and the row selected before (known by its item
/// data) is selected again.
void SortReportList(QTreeWidget* list, const std::function<const SortState&()>& sort);
/// A line edit that takes no control characters, named by its control id.
QLineEdit* NewLineEdit(QWidget* parent, int controlId);
/// The UTF-8 text of an edit.
std::string EditText(const QLineEdit* edit);
