#include "phonebook/dialogs/select_dest_logic.h"

#include <algorithm>
#include <unordered_set>

std::string FoldedSortKey(const std::string& text)
{
    std::string key(text);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return key;
}

void SortState::Click(int clicked)
{
    descending = clicked == column ? !descending : 1;
    column = clicked;
}

void SortRows(std::vector<DestinationRow>& rows, const SortState& state)
{
    SortByText(rows, [&](const DestinationRow& r) -> const std::string& { return state.column == 0 ? r.name : r.second; },
               state.descending != 0);
}

CSelectDestLogic::CSelectDestLogic(CPickerPhoneBook& book, IMessageNotifier& notifier, std::string caption, Mode mode,
                                   int32_t deviceClass, void* owner)
    : m_book(book), m_notifier(notifier), m_strCaption(std::move(caption)), m_mode(mode), m_nDeviceClass(deviceClass),
      m_pOwner(owner)
{
}

int CSelectDestLogic::Mask() const
{
    int mask = m_nDeviceClass == 3 || m_nDeviceClass == kDeviceClassUnspecified ? PB_MASK_FAX | PB_MASK_IFAX : PB_MASK_FAX;
    if (m_mode == Destinations)
        mask |= PB_MASK_GROUP;
    return mask;
}

std::vector<FolderItem> CSelectDestLogic::Folders()
{
    std::vector<FolderItem> items;
    const PhoneBookList list = m_book.FindFolders();
    const int32_t count = m_book.GetFolderListCount(list);
    for (int32_t i = 0; i < count; ++i) {
        FolderItem item;
        item.id = m_book.GetFolderID(list, i);
        int32_t type = 0;
        if (!m_book.GetFolderInfo(item.id, type, item.name))
            continue;
        item.textId = type == PB_FOLDER_ROOT ? IDS_ADDRESS_LISTS : type == PB_FOLDER_FAVORITE ? IDS_FAVORITE : 0;
        items.push_back(std::move(item));
    }
    m_book.CloseFolders(list);
    return items;
}

bool ReadDestinationRow(CPhoneBook& book, int32_t id, DestinationRow& row)
{
    int32_t parent = 0;
    row.id = id;
    if (!book.GetRecordInfo(id, row.type, row.name, parent))
        return false;
    switch (row.type) {
    case PB_RECORD_FAX:
        return book.GetRecordValue(id, "faxNumber", row.second) != 0;
    case PB_RECORD_IFAX:
        return book.GetRecordValue(id, "mailAddress", row.second) != 0;
    case PB_RECORD_GROUP:
        row.second.clear();
        return true;
    default:
        return false;
    }
}

std::vector<DestinationRow> CSelectDestLogic::ListFolder(int32_t folderId)
{
    std::vector<DestinationRow> rows;
    const PhoneBookList list = m_book.FindRecords(folderId, Mask());
    const int32_t count = m_book.GetRecordListCount(list);
    if (count < 0)
        return rows;
    std::vector<int32_t> ids;
    ids.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        ids.push_back(m_book.GetRecordID(list, i));
    m_book.CloseRecords(list);
    for (const int32_t id : ids)
        if (DestinationRow row; ReadDestinationRow(m_book, id, row))
            rows.push_back(std::move(row));
    return rows;
}

std::vector<DestinationRow> CSelectDestLogic::ListSearch(int32_t folderId, const char* text)
{
    std::vector<DestinationRow> rows;
    const auto list = m_book.QueryRecords(folderId, text, Mask());
    const int32_t count = m_book.GetSearchCount(list);
    for (int32_t i = 0; i < count; ++i)
        if (DestinationRow row; ReadDestinationRow(m_book, m_book.GetSearchRecordID(list, i), row))
            rows.push_back(std::move(row));
    return rows;
}

int CSelectDestLogic::CheckRecord(int32_t id, int32_t type, CAddressValidation& check)
{
    if (type == PB_RECORD_FAX) {
        std::string number, fcode, sub, pass;
        if (!m_book.GetRecordValue(id, "faxNumber", number) || !m_book.GetRecordValue(id, "faxFCode", fcode))
            return 0;
        const bool withSub = fcode == "true";
        if (withSub && (!m_book.GetRecordValue(id, "faxSubAddress", sub) || !m_book.GetRecordValue(id, "faxPassCode", pass)))
            return 0;
        return check.ValidateAddress(number.c_str(), 0, withSub ? 1 : 0, sub.c_str(), pass.c_str(), nullptr);
    }
    if (type == PB_RECORD_IFAX) {
        std::string address;
        if (!m_book.GetRecordValue(id, "mailAddress", address))
            return 0;
        return check.ValidateAddress(address.c_str(), 1, 0, "", "", nullptr);
    }
    return 1; // other kinds are not checked
}

int CSelectDestLogic::ValidateEntry(int32_t id)
{
    CAddressValidation check(m_pOwner, m_strCaption, m_nDeviceClass, m_notifier);
    int32_t type = 0, parent = 0;
    std::string name;
    if (!m_book.GetRecordInfo(id, type, name, parent))
        return 0;
    if (type != PB_RECORD_GROUP)
        return CheckRecord(id, type, check);
    // The members are read first, while the group's profile is at hand, then checked in order.
    const int32_t count = m_book.GetRecordCount(id);
    if (count <= 0)
        return 0;
    std::vector<int32_t> members;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t member = m_book.GetRecordID(id, i);
        if (member == 0)
            return 0;
        members.push_back(member);
    }
    // A member that no longer reads (a record deleted by a program that kept its memberships) is
    // left out; a group of nothing but such members is no destination.
    size_t readable = 0;
    for (const int32_t member : members) {
        int32_t memberType = 0;
        if (!m_book.GetRecordInfo(member, memberType, name, parent))
            continue;
        ++readable;
        if ((memberType == PB_RECORD_FAX || memberType == PB_RECORD_IFAX) && !CheckRecord(member, memberType, check))
            return 0;
    }
    return readable > 0 ? 1 : 0;
}

bool CSelectDestLogic::Add(const DestinationRow& row)
{
    if (!ValidateEntry(row.id))
        return false;
    if (std::any_of(m_chosen.begin(), m_chosen.end(), [&](const DestinationRow& r) { return r.id == row.id; })) {
        m_notifier.Notify(m_pOwner, IDS_ALREADY_CHOSEN, m_strCaption, kIconWarning);
        return false;
    }
    m_chosen.push_back(row);
    return true;
}

void CSelectDestLogic::Remove(size_t index)
{
    if (index < m_chosen.size())
        m_chosen.erase(m_chosen.begin() + static_cast<std::ptrdiff_t>(index));
}

void CSelectDestLogic::RefreshChosen(int32_t id)
{
    for (DestinationRow& r : m_chosen)
        if (r.id == id)
            if (DestinationRow fresh; ReadDestinationRow(m_book, id, fresh))
                r = std::move(fresh);
}

const SortState& CSelectDestLogic::SortAddresses(std::vector<DestinationRow>& rows, int column)
{
    m_addressSort.Click(column);
    SortRows(rows, m_addressSort);
    return m_addressSort;
}

const SortState& CSelectDestLogic::SortChosen(int column)
{
    m_chosenSort.Click(column);
    SortRows(m_chosen, m_chosenSort);
    return m_chosenSort;
}

std::vector<int32_t> CSelectDestLogic::Accept(const DestinationRow* selected)
{
    if (m_chosen.empty() && selected)
        Add(*selected);
    std::vector<int32_t> ids;
    std::unordered_set<int32_t> seen;
    auto take = [&](int32_t id) {
        if (id != 0 && seen.insert(id).second)
            ids.push_back(id);
    };
    for (const DestinationRow& row : m_chosen) {
        int32_t type = 0, parent = 0;
        std::string name;
        if (!m_book.GetRecordInfo(row.id, type, name, parent))
            continue;
        if (type != PB_RECORD_GROUP) {
            take(row.id);
            continue;
        }
        std::vector<int32_t> members;
        const int32_t count = m_book.GetRecordCount(row.id);
        for (int32_t i = 0; i < count; ++i)
            members.push_back(m_book.GetRecordID(row.id, i));
        for (const int32_t member : members)
            if (m_book.GetRecordInfo(member, type, name, parent))
                take(member);
    }
    return ids;
}
