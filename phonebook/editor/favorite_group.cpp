#include "phonebook/editor/favorite_group.h"

#include "phonebook/dialogs/sheet_logic.h"
#include "phonebook/store/phone_book.h"

#include <vector>

bool LeaveFavorites(const std::string& strBookPath, int32_t nID)
{
    CPhoneBook book;
    int32_t type = -1, parent = 0;
    std::string name;
    if (book.Initiate(strBookPath, 0) != 1 || book.GetRecordInfo(nID, type, name, parent) != 1 || type != PB_RECORD_GROUP)
        return false;
    std::vector<int32_t> members;
    for (int32_t i = 0; i < book.GetRecordCount(nID); ++i) {
        const int32_t member = book.GetRecordID(nID, i);
        int32_t memberType = -1, memberParent = 0;
        std::string memberName;
        if (book.GetRecordInfo(member, memberType, memberName, memberParent) == 1)
            members.push_back(member);
    }
    int32_t id = nID;
    return StoreGroupRecord(book, name, false, members, parent, id, 1) == 1;
}
