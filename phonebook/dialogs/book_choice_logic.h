// What the Select Phone Book dialog, the new phone book name dialog and the folder name dialog do,
// without their widgets; and the bounded copy the exports hand texts back with.
#pragma once

#include "phonebook/dialogs/address_validation.h"
#include "phonebook/dialogs/folder_name_check.h"
#include "phonebook/dialogs/picker_phone_book.h"
#include "phonebook/dialogs/select_dest_logic.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

/// Text ids of these dialogs.
enum : int {
    IDS_CREATE_FOLDER = 1000,
    IDS_NO_FOLDER_NAME = 1100,
    IDS_FOLDER_EXISTS = 1101,
    IDS_SELECT_PHONE_BOOK = 5000,
    IDS_NO_BOOK_SELECTED = 5001,
    IDS_DELETE_BOOK = 5002,
    IDS_NO_BOOK_NAME = 5003,
    IDS_BOOK_EXISTS = 5004,
};

/// Copies text into buffer (size bytes), keeping `reserve` bytes free at the end: at most
/// size - reserve bytes, never part of a UTF-8 character, always followed by a zero byte. A size
/// below 1 writes nothing. The bytes copied.
size_t CopyBounded(char* buffer, int size, std::string_view text, int reserve = 1);

/// One listed phone book.
struct BookRow {
    std::string name;    ///< the book name (file name without ".xml")
    std::string path;
    std::string date;    ///< the last-write time as the formatter gave it
};

class CSelectPhoneBookLogic {
public:
    using DateFormatter = std::function<std::string(std::time_t)>;
    /// caption: the text of IDS_SELECT_PHONE_BOOK; formatDate: the user's date-time format.
    CSelectPhoneBookLogic(IMessageNotifier& notifier, std::string caption, DateFormatter formatDate, bool allowDelete,
                          void* owner = nullptr);

    /// Lists the phone books of the directory (the worker's part); progress gets each percentage.
    std::vector<BookRow> ListBooks(const std::function<void(int)>& progress = {}) const;
    /// The rows shown: the widget hands the listing over on the user-interface thread.
    void SetRows(std::vector<BookRow> rows) { m_rows = std::move(rows); }
    const std::vector<BookRow>& Rows() const { return m_rows; }
    /// Sorts the rows after a click on a column (0 name, 1 date, as text); the sort applied.
    const SortState& Sort(int column);
    /// A row was selected: its book becomes the choice (nothing for an index out of range).
    void Select(size_t index);
    const std::string& BookName() const { return m_strName; }
    const std::string& BookPath() const { return m_strPath; }
    bool CanDelete() const { return m_bAllowDelete; }

    /// OK: true when a book is chosen; otherwise the selected row (if any) is taken and a warning
    /// shown; false keeps the dialog open.
    bool Accept(const size_t* selected);
    /// Delete: after the user said Yes, deletes the chosen book and clears the choice. True when
    /// the list must be filled again.
    bool Delete();

private:
    IMessageNotifier& m_notifier;
    std::string m_strCaption;
    DateFormatter m_formatDate;
    bool m_bAllowDelete;
    void* m_pOwner;
    std::vector<BookRow> m_rows;
    std::string m_strName, m_strPath;
    SortState m_sort;
};

/// OK of the new phone book name dialog: an empty name and a book that cannot be created (a file of
/// that name exists, or the name is no book name) are refused with a warning. True when created.
bool AcceptNewPhoneBook(IMessageNotifier& notifier, const std::string& caption, const std::string& name,
                        void* owner = nullptr);

/// OK of the folder name dialog for a new folder of book (null: only the name is checked).
bool AcceptFolderName(IMessageNotifier& notifier, const std::string& caption, const std::string& name,
                      CPickerPhoneBook* book, void* owner = nullptr);
