// What the Select Destination dialog does, without its widgets: which records it lists, the rows of
// the address and chosen lists, the check of an entry before it is chosen, sorting, and the ids it
// hands back on OK.
#pragma once

#include "phonebook/dialogs/address_validation.h"
#include "phonebook/dialogs/picker_phone_book.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

/// Text ids the dialog uses.
enum : int {
    IDS_SELECT_DESTINATION = 2000,
    IDS_ADDRESS_LISTS = 2001,
    IDS_FAVORITE = 2002,
    IDS_SEARCHING = 2003,
    IDS_LOADING_PHONEBOOK = 2004,
    IDS_SELECT_MEMBER_TEXT = 2005,
    IDS_SELECT_MEMBER = 2006,
    IDS_ALREADY_CHOSEN = 2105,
};

/// One row of either list.
struct DestinationRow {
    int32_t id = 0;
    int32_t type = PB_RECORD_FAX;  ///< PB_RECORD_*
    std::string name;
    std::string second;            ///< fax number, Internet-fax address, or empty for a group
    int Image() const { return type == PB_RECORD_GROUP ? 1 : 0; }
};

/// One entry of the folder box: the root and the favourite folder show a text of their own.
struct FolderItem {
    int32_t id = 0;
    int textId = 0;   ///< IDS_ADDRESS_LISTS, IDS_FAVORITE, or 0 for a user folder
    std::string name; ///< the stored name
};

/// Reads a record's row: name and, for a fax its number, for an Internet fax its address. False when
/// the record or that value cannot be read or it is of another kind.
bool ReadDestinationRow(CPhoneBook& book, int32_t id, DestinationRow& row);

/// Sort state of one list: the column and whether it sorts descending.
struct SortState {
    int column = 0;
    int descending = 1;
    /// Takes a click on a column: another column sorts descending, the same one toggles.
    void Click(int clicked);
};

/// The sort key of a text: ASCII letters folded to lower case; keys compare their bytes as unsigned.
std::string FoldedSortKey(const std::string& text);

/// Sorts rows by the text text(row) gives them, ASCII letters without regard to case and other bytes
/// as unsigned values, each row's key made once; equal rows keep their order.
template <typename Row, typename Text>
void SortByText(std::vector<Row>& rows, Text text, bool descending)
{
    std::vector<std::pair<std::string, size_t>> keys;
    keys.reserve(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        keys.emplace_back(FoldedSortKey(text(rows[i])), i);
    std::stable_sort(keys.begin(), keys.end(), [descending](const auto& a, const auto& b) {
        const int c = a.first.compare(b.first); // char_traits<char> orders bytes as unsigned
        return descending ? c > 0 : c < 0;
    });
    std::vector<Row> sorted;
    sorted.reserve(rows.size());
    for (const auto& k : keys)
        sorted.push_back(std::move(rows[k.second]));
    rows = std::move(sorted);
}

/// Sorts destination rows by the state's column (0 name, 1 second column).
void SortRows(std::vector<DestinationRow>& rows, const SortState& state);

class CSelectDestLogic {
public:
    enum Mode { Destinations = 0, Members = 1 };
    /// caption: the text of IDS_SELECT_DESTINATION, the caption of every warning.
    CSelectDestLogic(CPickerPhoneBook& book, IMessageNotifier& notifier, std::string caption, Mode mode,
                     int32_t deviceClass = kDeviceClassUnspecified, void* owner = nullptr);

    /// The kinds listed (PB_MASK_*): fax, Internet fax for classes 3 and 99, groups when choosing destinations.
    int Mask() const;
    /// The folders of the open book in its order (none without a book).
    std::vector<FolderItem> Folders();
    /// The rows of a folder; records that cannot be read are left out.
    std::vector<DestinationRow> ListFolder(int32_t folderId);
    /// The rows of a search of the folder (text null: the last search's results); none when it fails.
    std::vector<DestinationRow> ListSearch(int32_t folderId, const char* text);
    /// Selects the folder listed; New Destination is allowed everywhere but the favourite folder.
    void SetCurrentFolder(int32_t folderId) { m_nFolder = folderId; }
    int32_t CurrentFolder() const { return m_nFolder; }
    bool CanCreateNew() const { return m_nFolder != kFavoriteFolderId; }

    /// 1 when the record may be chosen: its values read and pass the destination checks against the
    /// device class (a group: it has members and each fax or Internet-fax member passes, the first
    /// failing one telling why). 0 otherwise, after at most one warning.
    int ValidateEntry(int32_t id);
    /// Adds a row of the address list to the chosen list after ValidateEntry; a row already chosen is
    /// refused with a warning. True when it was added.
    bool Add(const DestinationRow& row);
    /// Removes the index-th chosen row (nothing for an index out of range).
    void Remove(size_t index);
    const std::vector<DestinationRow>& Chosen() const { return m_chosen; }
    /// Puts a record's stored name and second column into its chosen row after a change.
    void RefreshChosen(int32_t id);

    /// Sorts the address list's or the chosen list's rows after a click on a column; the sort
    /// applied (column and direction).
    const SortState& SortAddresses(std::vector<DestinationRow>& rows, int column);
    const SortState& SortChosen(int column);

    /// OK: with nothing chosen, the selected row (if any) is added first; then the chosen rows in
    /// order become record ids, each group its members; unreadable records are left out and an id
    /// that comes again is dropped (the first stays).
    std::vector<int32_t> Accept(const DestinationRow* selected);

private:
    int CheckRecord(int32_t id, int32_t type, CAddressValidation& check);

    CPickerPhoneBook& m_book;
    IMessageNotifier& m_notifier;
    std::string m_strCaption;
    Mode m_mode;
    int32_t m_nDeviceClass;
    void* m_pOwner;
    int32_t m_nFolder = kRootFolderId;
    std::vector<DestinationRow> m_chosen;
    SortState m_addressSort, m_chosenSort;
};
