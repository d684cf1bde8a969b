#include "phonebook/dialogs/book_choice_logic.h"

#include "phonebook/dialogs/select_dest_logic.h"
#include "platform/files.h"
#include "platform/text.h"

#include <cstring>

size_t CopyBounded(char* buffer, int size, std::string_view text, int reserve)
{
    if (!buffer || size < 1)
        return 0;
    const int room = size - std::max(reserve, 1);
    const std::string_view part = room > 0 ? platform::utf8Prefix(text, static_cast<size_t>(room)) : std::string_view();
    if (!part.empty())
        std::memcpy(buffer, part.data(), part.size());
    buffer[part.size()] = '\0';
    return part.size();
}

// ---- Select Phone Book ----

CSelectPhoneBookLogic::CSelectPhoneBookLogic(IMessageNotifier& notifier, std::string caption, DateFormatter formatDate,
                                             bool allowDelete, void* owner)
    : m_notifier(notifier), m_strCaption(std::move(caption)), m_formatDate(std::move(formatDate)),
      m_bAllowDelete(allowDelete), m_pOwner(owner)
{
}

std::vector<BookRow> CSelectPhoneBookLogic::ListBooks(const std::function<void(int)>& progress) const
{
    std::vector<CPhoneBook::BookFile> books;
    CPhoneBook::ListPhoneBooks(books);
    std::vector<BookRow> rows;
    rows.reserve(books.size());
    for (size_t i = 0; i < books.size(); ++i) {
        std::string name = platform::fileNameOf(books[i].path);
        name.resize(name.size() - 4); // the listing holds "*.xml" files only
        rows.push_back({std::move(name), books[i].path, m_formatDate ? m_formatDate(books[i].lastWrite) : std::string()});
        if (progress)
            progress(static_cast<int>(i * 100 / books.size()));
    }
    if (progress)
        progress(100);
    return rows;
}

const SortState& CSelectPhoneBookLogic::Sort(int column)
{
    m_sort.Click(column);
    SortByText(m_rows, [&](const BookRow& r) -> const std::string& { return column == 0 ? r.name : r.date; },
               m_sort.descending != 0);
    return m_sort;
}

void CSelectPhoneBookLogic::Select(size_t index)
{
    if (index >= m_rows.size())
        return;
    m_strName = m_rows[index].name;
    m_strPath = m_rows[index].path; // the listed file, whatever the case of its extension
}

bool CSelectPhoneBookLogic::Accept(const size_t* selected)
{
    if (!m_strPath.empty())
        return true;
    if (selected)
        Select(*selected);
    m_notifier.Notify(m_pOwner, IDS_NO_BOOK_SELECTED, m_strCaption, kIconWarning);
    return false;
}

bool CSelectPhoneBookLogic::Delete()
{
    if (!m_bAllowDelete || m_strPath.empty() || !m_notifier.AskYesNo(m_pOwner, IDS_DELETE_BOOK, m_strCaption))
        return false;
    CPickerPhoneBook::DeletePhoneBook(m_strName);
    m_strName.clear();
    m_strPath.clear();
    return true;
}

// ---- names ----

bool AcceptNewPhoneBook(IMessageNotifier& notifier, const std::string& caption, const std::string& name, void* owner)
{
    if (name.empty()) {
        notifier.Notify(owner, IDS_NO_BOOK_NAME, caption, kIconWarning);
        return false;
    }
    CPickerPhoneBook book;
    if (book.CreatePhoneBook(name) != 1) {
        notifier.Notify(owner, IDS_BOOK_EXISTS, caption, kIconWarning);
        return false;
    }
    return true;
}

bool AcceptFolderName(IMessageNotifier& notifier, const std::string& caption, const std::string& name,
                      const FolderNameInUse& inUse, void* owner)
{
    const int refusal = name.empty() ? IDS_NO_FOLDER_NAME : inUse && inUse(name) ? IDS_FOLDER_EXISTS : 0;
    if (refusal)
        notifier.Notify(owner, refusal, caption, kIconWarning);
    return refusal == 0;
}

bool AcceptFolderName(IMessageNotifier& notifier, const std::string& caption, const std::string& name,
                      CPickerPhoneBook* book, void* owner)
{
    FolderNameInUse inUse;
    if (book)
        inUse = [book](const std::string& folder) { return book->FindFolder(folder) == 1; };
    return AcceptFolderName(notifier, caption, name, inUse, owner);
}
