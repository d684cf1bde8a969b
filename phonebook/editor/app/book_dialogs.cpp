#include "phonebook/editor/book_dialogs.h"

#include "common/data_folders.h"
#include "phonebook/dialogs/pb2api.h"
#include "phonebook/editor/bookmanager_doc.h"

#include <vector>

namespace {

using Buffer = char[kBookTextSize];

} // namespace

int CBookpickerDialogs::CreateNewAddress(const std::string& strBook, int nFolderID, void* pOwner, NewAddress& result)
{
    Buffer name{}, number{}, subAddress{}, passCode{};
    int kind = 0, fcode = 0, id = 0;
    const int answer = PB2APICreateNewAddressWithPhoneBook(strBook.c_str(), nFolderID, pOwner, kEditorDeviceClass, name,
                                                           number, subAddress, passCode, &kind, &fcode, kBookTextSize, &id);
    result = {name, number, subAddress, passCode, kind, fcode, id};
    return answer;
}

int CBookpickerDialogs::CreateNewGroup(const std::string& strBook, int nFolderID, void* pOwner, std::string& strName,
                                       int& nID)
{
    Buffer name{};
    const int answer =
        PB2APICreateNewGroupWithPhoneBook(strBook.c_str(), nFolderID, pOwner, kEditorDeviceClass, name, kBookTextSize, &nID);
    strName = name;
    return answer;
}

int CBookpickerDialogs::CreateNewFolder(const std::string& strBook, void* pOwner, std::string& strName, int& nID)
{
    Buffer name{};
    const int answer = PB2APICreateNewFolderWithPhoneBook(strBook.c_str(), pOwner, name, kBookTextSize, &nID);
    strName = name;
    return answer;
}

int CBookpickerDialogs::SelectPhoneBook(void* pOwner, std::string& strPath, std::string& strName, int bCheckBusy,
                                        int bAllowDelete)
{
    // Buffers for a whole path: a book in a long phone book folder is opened where it is.
    std::vector<char> path(kWholePathBytes), name(kWholePathBytes);
    const int answer = PB2APISelectPhoneBook(pOwner, path.data(), name.data(), static_cast<int>(kWholePathBytes),
                                             bCheckBusy, bAllowDelete);
    strPath = path.data();
    strName = name.data();
    return answer;
}

int CBookpickerDialogs::ShowAddress(void* pOwner, const std::string& strBook, int nRecordID, int& bChanged)
{
    return PB2APIShowAddressWithPhoneBook(pOwner, kEditorDeviceClass, strBook.c_str(), nRecordID, 0, &bChanged);
}

int CBookpickerDialogs::ShowGroup(void* pOwner, const std::string& strBook, int nRecordID, int& bChanged)
{
    return PB2APIShowGroupWithPhoneBook(pOwner, kEditorDeviceClass, strBook.c_str(), nRecordID, 0, &bChanged);
}
