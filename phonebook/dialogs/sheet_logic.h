// What the address and group sheets do, without their widgets: the values of a page, which controls
// are enabled, Apply's checks, loading a record and storing it in a phone book.
#pragma once

#include "phonebook/dialogs/address_validation.h"
#include "phonebook/dialogs/select_dest_logic.h"
#include "phonebook/store/phone_book.h"

#include <cstdint>
#include <string>
#include <vector>

/// Control ids of the address page and the group page.
enum : int {
    IDC_ADDRESS_NAME = 1015,
    IDC_KIND_FAX = 1061,
    IDC_KIND_IFAX = 1062,
    IDC_FAX_NUMBER = 1008,
    IDC_IFAX_ADDRESS = 1021,
    IDC_USE_FCODE = 1013,
    IDC_SUBADDRESS_LABEL = 1009,
    IDC_SUBADDRESS = 1010,
    IDC_PASSCODE_LABEL = 1011,
    IDC_PASSCODE = 1012,
    IDC_RECEPTION_CONFIRM = 1096,
    IDC_INITIAL = 1017,
    IDC_FAVORITE = 1001,
    IDC_GROUP_NAME = 1011,
    IDC_GROUP_MEMBERS = 1005,
    IDC_GROUP_SELECT = 1007,
    IDC_GROUP_NEW_ADDRESS = 1008,
    IDC_GROUP_DELETE = 1009,
    IDC_GROUP_PROPERTY = 1010,
};

/// Text ids of the sheets.
enum : int {
    IDS_CREATE_ADDRESS = 3000,
    IDS_ADDRESS = 3001,
    IDS_ADDRESS_READ_ONLY_TEXT = 3002,
    IDS_ADDRESS_IFAX_UNSUPPORTED = 3003,
    IDS_CREATE_GROUP = 4000,
    IDS_GROUP_READ_ONLY_TEXT = 4001,
    IDS_GROUP_INCOMPLETE = 4100,
};

/// The values of an address page.
struct AddressValues {
    int kind = PB_RECORD_FAX; ///< PB_RECORD_FAX or PB_RECORD_IFAX
    std::string name, faxNumber, passCode, subAddress, initial, mailAddress;
    bool useFCode = false, favorite = false, receptionConfirm = false;
    bool operator==(const AddressValues&) const = default;
};

/// Writes an address into an open book (update 0: a new record, its id set in id; update 1: the
/// record id written again), values in the book's order; pass code and sub-address only with F-code.
/// 1, or 0 when a step fails (the book then holds nothing new of the record, and its record file is gone).
int StoreAddressRecord(CPhoneBook& book, const AddressValues& values, int32_t parentId, int32_t& id, int update);

/// Writes a group with its members in order into an open book, as StoreAddressRecord does.
int StoreGroupRecord(CPhoneBook& book, const std::string& name, bool favorite, const std::vector<int32_t>& members,
                     int32_t parentId, int32_t& id, int update);

class CAddressPageLogic {
public:
    /// caption: the text of IDS_CREATE_ADDRESS, the caption of the page's warnings.
    CAddressPageLogic(IMessageNotifier& notifier, std::string caption, int32_t deviceClass, bool readOnly,
                      void* owner = nullptr);

    /// Reads a stored address; a record that cannot be read, or is no address, keeps the fields read
    /// so far. False then. The values read become the saved copy.
    bool Load(CPhoneBook& book, int32_t id);
    /// The values the controls show; the widget writes edits into them and calls MarkModified().
    AddressValues& Values() { return m_values; }
    /// The values the last successful Apply accepted (the loaded ones before): what is stored.
    const AddressValues& Accepted() const { return m_saved; }
    bool ReadOnly() const { return m_bReadOnly; }
    void MarkModified() { m_bModified = true; }
    bool Modified() const { return m_bModified; }
    /// Enabled state of a control of the page.
    bool IsEnabled(int controlId) const;
    /// True for the edits that are read-only (all of them on a read-only page).
    bool IsReadOnly(int controlId) const;

    /// Checks the values: an Internet-fax address needs device class 3 or 99, then the destination
    /// checks. Accepted: they become the saved copy and the sheet is confirmed (and changed when the
    /// page was modified); true. Refused (after one warning): the saved copy comes back, the page
    /// counts as modified; false.
    bool Apply();
    bool Confirmed() const { return m_bConfirmed; }
    bool Changed() const { return m_bChanged; }

private:
    IMessageNotifier& m_notifier;
    std::string m_strCaption;
    int32_t m_nDeviceClass;
    bool m_bReadOnly;
    void* m_pOwner;
    AddressValues m_values, m_saved;
    bool m_bModified = false, m_bConfirmed = false, m_bChanged = false;
};

class CGroupPageLogic {
public:
    /// caption: the text of IDS_CREATE_GROUP, the caption of the page's warnings.
    CGroupPageLogic(IMessageNotifier& notifier, std::string caption, bool readOnly, void* owner = nullptr);

    /// Reads a stored group: name, favourite and the fax and Internet-fax members that read. False
    /// when the group itself cannot be read.
    bool Load(CPhoneBook& book, int32_t id);
    /// The name and favourite the controls show.
    std::string& Name() { return m_strName; }
    bool& Favorite() { return m_bFavorite; }
    /// The name and favourite the last successful Apply accepted: what is stored.
    const std::string& AcceptedName() const { return m_strAcceptedName; }
    bool AcceptedFavorite() const { return m_bAcceptedFavorite; }
    bool ReadOnly() const { return m_bReadOnly; }
    void MarkModified() { m_bModified = true; }
    bool Modified() const { return m_bModified; }
    bool IsEnabled(int controlId) const;

    /// Adds records as members in order, leaving out ids already listed and records that cannot be
    /// read or are no fax or Internet-fax address. The number added.
    size_t AddMembers(CPhoneBook& book, const std::vector<int32_t>& ids);
    /// Removes the index-th member row.
    void Remove(size_t index);
    const std::vector<DestinationRow>& Members() const { return m_members; }
    /// Sorts the member rows after a click on a column; the sort applied.
    const SortState& Sort(int column);

    /// A group needs a name and a member: then its name, favourite and member ids (in list order)
    /// are taken and the sheet is confirmed (changed when modified); true. Otherwise one warning; false.
    bool Apply();
    const std::vector<int32_t>& MemberIds() const { return m_memberIds; }
    bool Confirmed() const { return m_bConfirmed; }
    bool Changed() const { return m_bChanged; }

private:
    IMessageNotifier& m_notifier;
    std::string m_strCaption;
    bool m_bReadOnly;
    void* m_pOwner;
    std::string m_strName, m_strAcceptedName;
    bool m_bFavorite = false, m_bAcceptedFavorite = false;
    std::vector<DestinationRow> m_members;
    std::vector<int32_t> m_memberIds;
    SortState m_sort;
    bool m_bModified = false, m_bConfirmed = false, m_bChanged = false;
};
