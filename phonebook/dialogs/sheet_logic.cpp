#include "phonebook/dialogs/sheet_logic.h"

#include <algorithm>

namespace {

const char* flag(bool on) { return on ? "true" : "false"; }

// A read value as a flag: only "true" is on.
bool readFlag(CPhoneBook& book, int32_t id, const char* key, bool& value)
{
    std::string text;
    const bool ok = book.GetRecordValue(id, key, text) != 0;
    value = text == "true";
    return ok;
}

} // namespace

int StoreAddressRecord(CPhoneBook& book, const AddressValues& v, int32_t parentId, int32_t& id, int update)
{
    const int32_t type = v.kind == PB_RECORD_IFAX ? PB_RECORD_IFAX : PB_RECORD_FAX;
    int32_t recordId = id;
    if (!book.CreateNewRecord(type, v.name, parentId, recordId, update))
        return 0;
    auto set = [&](const char* key, const std::string& value) { return book.AddRecordValue(recordId, type, key, value) != 0; };
    bool ok = set("initial", v.initial) && set("frequentlyUsed", flag(v.favorite));
    if (type == PB_RECORD_IFAX)
        ok = ok && set("mailAddress", v.mailAddress) && set("receptionConfirm", flag(v.receptionConfirm));
    else
        ok = ok && set("faxNumber", v.faxNumber) && set("faxFCode", flag(v.useFCode))
            && (!v.useFCode || (set("faxPassCode", v.passCode) && set("faxSubAddress", v.subAddress)));
    if (!ok || !book.FlushRecord(recordId, update)) {
        book.DiscardRecord(recordId); // nothing of a failed store stays behind
        return 0;
    }
    id = recordId;
    return 1;
}

int StoreGroupRecord(CPhoneBook& book, const std::string& name, bool favorite, const std::vector<int32_t>& members,
                     int32_t parentId, int32_t& id, int update)
{
    int32_t groupId = id;
    if (!book.CreateNewGroup(name, parentId, groupId, update))
        return 0;
    bool ok = book.AddRecordValue(groupId, PB_RECORD_GROUP, "frequentlyUsed", flag(favorite)) != 0;
    for (size_t i = 0; ok && i < members.size(); ++i)
        ok = book.AddRecord2Group(groupId, members[i]) != 0;
    if (!ok || !book.FlushGroup(groupId, update)) {
        book.DiscardRecord(groupId);
        return 0;
    }
    id = groupId;
    return 1;
}

// ---- address page ----

CAddressPageLogic::CAddressPageLogic(IMessageNotifier& notifier, std::string caption, int32_t deviceClass, bool readOnly,
                                     void* owner)
    : m_notifier(notifier), m_strCaption(std::move(caption)), m_nDeviceClass(deviceClass), m_bReadOnly(readOnly),
      m_pOwner(owner)
{
}

bool CAddressPageLogic::Load(CPhoneBook& book, int32_t id)
{
    // Each field is taken as it is read, so a record that stops reading keeps what came before.
    AddressValues& v = m_values;
    auto done = [&](bool ok) {
        m_saved = m_values;
        return ok;
    };
    int32_t type = 0, parent = 0;
    if (!book.GetRecordInfo(id, type, v.name, parent))
        return done(false);
    book.GetRecordValue(id, "initial", v.initial);
    readFlag(book, id, "frequentlyUsed", v.favorite);
    if (type == PB_RECORD_IFAX) {
        v.kind = PB_RECORD_IFAX;
        book.GetRecordValue(id, "mailAddress", v.mailAddress);
        readFlag(book, id, "receptionConfirm", v.receptionConfirm);
        return done(true);
    }
    if (type != PB_RECORD_FAX)
        return done(false);
    v.kind = PB_RECORD_FAX;
    book.GetRecordValue(id, "faxNumber", v.faxNumber);
    readFlag(book, id, "faxFCode", v.useFCode);
    if (v.useFCode) {
        book.GetRecordValue(id, "faxPassCode", v.passCode);
        book.GetRecordValue(id, "faxSubAddress", v.subAddress);
    }
    return done(true);
}

bool CAddressPageLogic::IsEnabled(int controlId) const
{
    const bool fax = m_values.kind != PB_RECORD_IFAX;
    switch (controlId) {
    case IDC_KIND_FAX:
    case IDC_KIND_IFAX:
    case IDC_FAVORITE:
        return !m_bReadOnly;
    case IDC_USE_FCODE:
        return fax && !m_bReadOnly;
    case IDC_FAX_NUMBER:
        return fax;
    case IDC_SUBADDRESS:
    case IDC_SUBADDRESS_LABEL:
    case IDC_PASSCODE:
    case IDC_PASSCODE_LABEL:
        return fax && m_values.useFCode;
    case IDC_IFAX_ADDRESS:
        return !fax;
    case IDC_RECEPTION_CONFIRM:
        return !fax && !m_bReadOnly;
    default:
        return true;
    }
}

bool CAddressPageLogic::IsReadOnly(int controlId) const
{
    switch (controlId) {
    case IDC_ADDRESS_NAME:
    case IDC_FAX_NUMBER:
    case IDC_SUBADDRESS:
    case IDC_PASSCODE:
    case IDC_IFAX_ADDRESS:
    case IDC_INITIAL:
        return m_bReadOnly;
    default:
        return false;
    }
}

bool CAddressPageLogic::Apply()
{
    const AddressValues& v = m_values;
    const bool ifax = v.kind == PB_RECORD_IFAX;
    bool valid = false;
    if (ifax && m_nDeviceClass != 3 && m_nDeviceClass != kDeviceClassUnspecified) {
        m_notifier.Notify(m_pOwner, IDS_ADDRESS_IFAX_UNSUPPORTED, m_strCaption, kIconWarning);
    } else {
        CAddressValidation check(m_pOwner, m_strCaption, m_nDeviceClass, m_notifier);
        valid = check.ValidateAddress(ifax ? v.mailAddress.c_str() : v.faxNumber.c_str(), ifax ? 1 : 0,
                                      v.useFCode ? 1 : 0, v.subAddress.c_str(), v.passCode.c_str(), v.name.c_str())
            == 1;
    }
    if (!valid) {
        m_values = m_saved;
        m_bModified = true;
        return false;
    }
    m_saved = m_values;
    if (m_bModified)
        m_bChanged = true;
    m_bConfirmed = true;
    return true;
}

// ---- group page ----

CGroupPageLogic::CGroupPageLogic(IMessageNotifier& notifier, std::string caption, bool readOnly, void* owner)
    : m_notifier(notifier), m_strCaption(std::move(caption)), m_bReadOnly(readOnly), m_pOwner(owner)
{
}

bool CGroupPageLogic::Load(CPhoneBook& book, int32_t id)
{
    int32_t type = 0, parent = 0;
    if (!book.GetRecordInfo(id, type, m_strName, parent) || type != PB_RECORD_GROUP)
        return false;
    readFlag(book, id, "frequentlyUsed", m_bFavorite);
    std::vector<int32_t> ids;
    const int32_t count = book.GetRecordCount(id);
    for (int32_t i = 0; i < count; ++i)
        ids.push_back(book.GetRecordID(id, i));
    m_members.clear();
    AddMembers(book, ids);
    return true;
}

bool CGroupPageLogic::IsEnabled(int controlId) const
{
    switch (controlId) {
    case IDC_GROUP_NAME:
    case IDC_GROUP_SELECT:
    case IDC_GROUP_NEW_ADDRESS:
    case IDC_GROUP_DELETE:
    case IDC_GROUP_PROPERTY:
    case IDC_FAVORITE:
        return !m_bReadOnly;
    default:
        return true;
    }
}

size_t CGroupPageLogic::AddMembers(CPhoneBook& book, const std::vector<int32_t>& ids)
{
    size_t added = 0;
    for (const int32_t id : ids) {
        if (std::any_of(m_members.begin(), m_members.end(), [&](const DestinationRow& r) { return r.id == id; }))
            continue;
        DestinationRow row;
        if (!ReadDestinationRow(book, id, row) || row.type == PB_RECORD_GROUP)
            continue;
        m_members.push_back(std::move(row));
        ++added;
    }
    return added;
}

void CGroupPageLogic::Remove(size_t index)
{
    if (index < m_members.size())
        m_members.erase(m_members.begin() + static_cast<std::ptrdiff_t>(index));
}

const SortState& CGroupPageLogic::Sort(int column)
{
    m_sort.Click(column);
    SortRows(m_members, m_sort);
    return m_sort;
}

bool CGroupPageLogic::Apply()
{
    if (m_strName.empty() || m_members.empty()) {
        m_notifier.Notify(m_pOwner, IDS_GROUP_INCOMPLETE, m_strCaption, kIconWarning);
        return false;
    }
    m_memberIds.clear();
    for (const DestinationRow& r : m_members)
        m_memberIds.push_back(r.id);
    m_strAcceptedName = m_strName;
    m_bAcceptedFavorite = m_bFavorite;
    if (m_bModified)
        m_bChanged = true;
    m_bConfirmed = true;
    return true;
}
