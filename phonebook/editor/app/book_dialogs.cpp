#include "phonebook/editor/book_dialogs.h"

#include "phonebook/dialogs/pb2api.h"
#include "phonebook/editor/bookmanager_doc.h"

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
    Buffer path{}, name{};
    const int answer = PB2APISelectPhoneBook(pOwner, path, name, kBookTextSize, bCheckBusy, bAllowDelete);
    strPath = path;
    strName = name;
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
