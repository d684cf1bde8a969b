// The phone book's component: one store behind IBookmanagerTool.
#include "common/data_folders.h"
#include "phonebook/store/IBookmanagerTool.h"
#include "phonebook/store/phone_book.h"
#include "platform/bstr.h"
#include "platform/ole_date.h"
#include "platform/text.h"

using platform::com::ansiFromBstr;
using platform::com::bstrFromAnsi;
using namespace platform::com; // guardedCall

namespace {

// Names and values handed out pass through the classic 260-byte buffer.
constexpr size_t kMaxOutBytes = 259;

HRESULT result(int ok) { return ok ? S_OK : S_FALSE; }

BSTR out(const std::string& text) { return bstrFromAnsi(platform::utf8Prefix(text, kMaxOutBytes)); }

int32_t flag(const std::string& text) { return text == "true" ? 1 : 0; }

PhoneBookList handle(int32_t value) { return static_cast<PhoneBookList>(value); }

class CBookmanagerTool : public platform::com::Object<IBookmanagerTool> {
public:
    HRESULT Initiate(BSTR bszPhoneBookPath) override
    {
        return guardedCall([&] { return result(m_book.Initiate(ansiFromBstr(bszPhoneBookPath), 1)); });
    }

    HRESULT GetRecordInfo(int32_t lRecordID, int32_t* pRecordType, BSTR* pbszRecordName, int32_t* pParentID) override
    {
        return guardedCall([&] {
            int32_t type = 0, parent = 0;
            std::string name;
            if (!pRecordType || !pbszRecordName || !pParentID || !m_book.GetRecordInfo(lRecordID, type, name, parent))
                return S_FALSE;
            *pRecordType = type;
            *pbszRecordName = out(name);
            *pParentID = parent;
            return S_OK;
        });
    }

    HRESULT GetRecordValue(int32_t lRecordID, BSTR bszPropkeyName, BSTR* pbszValue) override
    {
        return guardedCall([&] { return value(lRecordID, ansiFromBstr(bszPropkeyName), pbszValue); });
    }

    HRESULT FindRecords(int32_t lFolderID, int nMask, int32_t* pHandle, int32_t* pCount) override
    {
        return guardedCall([&] {
            if (!pHandle || !pCount)
                return S_FALSE;
            const PhoneBookList list = m_book.FindRecords(lFolderID, nMask);
            if (list == PhoneBookList::None)
                return S_FALSE;
            *pHandle = static_cast<int32_t>(list);
            *pCount = m_book.GetRecordListCount(list);
            return S_OK;
        });
    }

    HRESULT GetRecordID(int32_t lHandle, int nIndex, int32_t* pRecordID) override
    {
        return guardedCall([&] { return id(m_book.GetRecordListID(handle(lHandle), nIndex), pRecordID); });
    }

    HRESULT CloseRecords(int32_t lHandle) override
    {
        return guardedCall([&] {
            if (!m_book.IsInitiated())
                return S_FALSE;
            m_book.CloseRecords(handle(lHandle));
            return S_OK;
        });
    }

    HRESULT FindFolders(int32_t* pHandle, int32_t* pCount) override
    {
        return guardedCall([&] {
            if (!pHandle || !pCount)
                return S_FALSE;
            const PhoneBookList list = m_book.FindFolders();
            if (list == PhoneBookList::None)
                return S_FALSE;
            *pHandle = static_cast<int32_t>(list);
            *pCount = m_book.GetFolderListCount(list);
            return S_OK;
        });
    }

    HRESULT GetFolderID(int32_t lHandle, int nIndex, int32_t* pFolderID) override
    {
        return guardedCall([&] { return id(m_book.GetFolderID(handle(lHandle), nIndex), pFolderID); });
    }

    HRESULT CloseFolders(int32_t lHandle) override
    {
        return guardedCall([&] {
            if (!m_book.IsInitiated())
                return S_FALSE;
            m_book.CloseFolders(handle(lHandle));
            return S_OK;
        });
    }

    HRESULT GetFolderInfo(int32_t lFolderID, int32_t* pFolderType, BSTR* pbszFolderName) override
    {
        return guardedCall([&] {
            int32_t type = 0;
            std::string name;
            if (!pFolderType || !pbszFolderName || !m_book.GetFolderInfo(lFolderID, type, name))
                return S_FALSE;
            *pFolderType = type;
            *pbszFolderName = out(name);
            return S_OK;
        });
    }

    HRESULT DeleteRecord(int32_t lRecordID, int32_t bUpdateFolder) override
    {
        return guardedCall([&] { return result(m_book.RemoveRecord(lRecordID, bUpdateFolder)); });
    }

    HRESULT UpdateRecordValue(int32_t lFolderID, BSTR bszPropkeyName, BSTR bszNewValue) override
    {
        return guardedCall([&] {
            return result(m_book.UpdateRecordValue(lFolderID, ansiFromBstr(bszPropkeyName), ansiFromBstr(bszNewValue)));
        });
    }

    HRESULT RemoveFolder(int32_t lFolderID) override
    {
        return guardedCall([&] { return result(m_book.RemoveFolder(lFolderID)); });
    }

    HRESULT MoveRecord(int32_t lRecordID, int32_t lSourceFolderID, int32_t lTargetFolderID) override
    {
        return guardedCall([&] { return result(m_book.MoveRecord(lRecordID, lSourceFolderID, lTargetFolderID)); });
    }

    HRESULT RenameFolder(int32_t lFolderID, BSTR bszNewFolderName) override
    {
        return guardedCall([&] { return result(m_book.RenameFolder(lFolderID, ansiFromBstr(bszNewFolderName))); });
    }

    HRESULT CreateNewRecord(int32_t lRecordType, BSTR bszRecordName, int32_t lParentFolderID, int32_t* pNewID,
                            int32_t bUpdate) override
    {
        return guardedCall([&] {
            // The id handed to the store is always 0, so an update (which names no record) is refused.
            int32_t newId = 0;
            if (!pNewID || !m_book.CreateNewRecord(lRecordType, ansiFromBstr(bszRecordName), lParentFolderID, newId, bUpdate))
                return S_FALSE;
            *pNewID = newId;
            return S_OK;
        });
    }

    HRESULT FlushRecord(int32_t lRecordID, int32_t bUpdate) override
    {
        return guardedCall([&] { return result(m_book.FlushRecord(lRecordID, bUpdate)); });
    }

    HRESULT AddRecordValue(int32_t lRecordID, int32_t lRecordType, BSTR bszPropkeyName, BSTR bszValue) override
    {
        return guardedCall([&] {
            return result(m_book.AddRecordValue(lRecordID, lRecordType, ansiFromBstr(bszPropkeyName), ansiFromBstr(bszValue)));
        });
    }

    HRESULT CreateNewAddress(BSTR bszName, int32_t lParentFolderID, int32_t lRecordType, BSTR bszRetrivalCharacter,
                             int32_t bAddFavoriteList, BSTR bszNumber, int32_t bReceptionConfirm, int32_t bFcode,
                             BSTR bszSubAddress, BSTR bszPassCode, int32_t, int32_t* pNewRecordID) override
    {
        return guardedCall([&] {
            int32_t folderType = 0, id = 0;
            std::string folderName;
            if (!pNewRecordID || !m_book.IsInitiated() || (lRecordType != PB_RECORD_FAX && lRecordType != PB_RECORD_IFAX))
                return S_FALSE;
            // A record lives in the root or a user folder; the favourite list is not a folder to hold one.
            if (!m_book.GetFolderInfo(lParentFolderID, folderType, folderName) || folderType == PB_FOLDER_FAVORITE)
                return S_FALSE;
            if (!m_book.CreateNewRecord(lRecordType, ansiFromBstr(bszName), lParentFolderID, id, 0))
                return S_FALSE;
            *pNewRecordID = id;
            auto set = [&](const char* key, const std::string& text) {
                return m_book.AddRecordValue(id, lRecordType, key, text) != 0;
            };
            bool ok = set("initial", ansiFromBstr(bszRetrivalCharacter))
                && set("frequentlyUsed", bAddFavoriteList == 1 ? "true" : "false");
            if (lRecordType == PB_RECORD_IFAX) {
                ok = ok && set("mailAddress", ansiFromBstr(bszNumber))
                    && set("receptionConfirm", bReceptionConfirm != 0 ? "true" : "false");
            } else {
                ok = ok && set("faxNumber", ansiFromBstr(bszNumber)) && set("faxFCode", bFcode != 0 ? "true" : "false");
                if (bFcode != 0)
                    ok = ok && set("faxSubAddress", ansiFromBstr(bszSubAddress))
                        && set("faxPassCode", ansiFromBstr(bszPassCode));
            }
            if (!ok || !m_book.FlushRecord(id, 0)) {
                m_book.DiscardRecord(id); // nothing of a failed create stays behind
                return S_FALSE;
            }
            return S_OK;
        });
    }

    HRESULT GetAddressInfo(int32_t lRecordID, BSTR* pbszName, int32_t* pParentFolderID, int32_t* pRecordType,
                           BSTR* pbszRetrivalCharacter, int32_t* pAddFavoriteList, BSTR* pbszNumber,
                           int32_t* pReceptionConfirm, int32_t* pFcode, BSTR* pbszSubAddress, BSTR* pbszPassCode,
                           int32_t*) override
    {
        return guardedCall([&] {
            if (!pbszName || !pParentFolderID || !pRecordType || !pbszRetrivalCharacter || !pAddFavoriteList
                || !pbszNumber || !pReceptionConfirm || !pFcode || !pbszSubAddress || !pbszPassCode)
                return S_FALSE;
            int32_t type = 0, parent = 0;
            std::string name, text;
            if (!m_book.GetRecordInfo(lRecordID, type, name, parent))
                return S_FALSE;
            *pbszName = out(name);
            *pParentFolderID = parent;
            *pRecordType = type;
            // Each value is handed out as soon as it is read; the first that fails ends the call.
            auto read = [&](const char* key) { return m_book.GetRecordValue(lRecordID, key, text) != 0; };
            if (!read("initial"))
                return S_FALSE;
            *pbszRetrivalCharacter = out(text);
            if (!read("frequentlyUsed"))
                return S_FALSE;
            *pAddFavoriteList = flag(text);
            if (type != PB_RECORD_FAX) {
                if (!read("mailAddress"))
                    return S_FALSE;
                *pbszNumber = out(text);
                if (!read("receptionConfirm"))
                    return S_FALSE;
                *pReceptionConfirm = flag(text);
                return S_OK;
            }
            if (!read("faxNumber"))
                return S_FALSE;
            *pbszNumber = out(text);
            if (!read("faxFCode"))
                return S_FALSE;
            *pFcode = flag(text);
            if (!read("faxSubAddress"))
                return S_FALSE;
            *pbszSubAddress = out(text);
            if (!read("faxPassCode"))
                return S_FALSE;
            *pbszPassCode = out(text);
            return S_OK;
        });
    }

    HRESULT GetPhoneBookCount(int32_t* pCount) override
    {
        return guardedCall([&] {
            if (pCount)
                *pCount = m_book.GetPhoneBookCount();
            return S_OK;
        });
    }

    HRESULT GetPhoneBookInfo(int nIndex, BSTR* pbszPhoneBookPath, DATE* pLastWrite) override
    {
        return guardedCall([&] {
            std::string path;
            std::time_t written = 0;
            if (!pbszPhoneBookPath || !pLastWrite || !m_book.GetPhoneBookInfo(nIndex, path, written))
                return S_FALSE;
            platform::LocalTime local = platform::localTimeOf(written);
            local.milliseconds = 0;
            *pbszPhoneBookPath = bstrFromAnsi(path);
            *pLastWrite = platform::dateFromLocalTime(local);
            return S_OK;
        });
    }

    HRESULT GetPhonebookDirectory(BSTR* pbszPhonebookDirectory) override
    {
        return guardedCall([&] {
            if (pbszPhonebookDirectory)
                *pbszPhonebookDirectory = bstrFromAnsi(GetPhoneBookDirectory());
            return S_OK;
        });
    }

    HRESULT CreateNewGroup(BSTR bszGroupName, int32_t lFolderID, int32_t* pNewID, int32_t bUpdate) override
    {
        return CreateNewRecord(PB_RECORD_GROUP, bszGroupName, lFolderID, pNewID, bUpdate);
    }

    HRESULT AddRecord2Group(int32_t lGroupID, int32_t lRecordID) override
    {
        return guardedCall([&] { return result(m_book.AddRecord2Group(lGroupID, lRecordID)); });
    }

    HRESULT FlushGroup(int32_t lGroupID, int32_t bUpdate) override
    {
        return guardedCall([&] { return result(m_book.FlushGroup(lGroupID, bUpdate)); });
    }

    HRESULT GetRecordCountInGroup(int32_t lGroupID, int32_t* pCount) override
    {
        return guardedCall([&] {
            const int32_t count = m_book.GetRecordCount(lGroupID);
            if (!pCount || count < 0)
                return S_FALSE;
            *pCount = count;
            return S_OK;
        });
    }

    HRESULT GetRecordIDInGroup(int32_t lGroupID, int nIndex, int32_t* pRecordID) override
    {
        return guardedCall([&] { return id(m_book.GetRecordID(lGroupID, nIndex), pRecordID); });
    }

    HRESULT GetRecordInfo2(int32_t lRecordID, int32_t* pAddFavoriteList, int32_t*) override
    {
        return guardedCall([&] {
            std::string text;
            if (!pAddFavoriteList || !m_book.GetRecordValue(lRecordID, "frequentlyUsed", text))
                return S_FALSE;
            *pAddFavoriteList = flag(text);
            return S_OK;
        });
    }

private:
    HRESULT value(int32_t record, const std::string& key, BSTR* pbszValue)
    {
        std::string text;
        if (!pbszValue || !m_book.GetRecordValue(record, key, text))
            return S_FALSE;
        *pbszValue = out(text);
        return S_OK;
    }

    static HRESULT id(int32_t value, int32_t* target)
    {
        if (!target || value == 0)
            return S_FALSE;
        *target = value;
        return S_OK;
    }

    CPhoneBook m_book;
};

const platform::com::ServerClass kClasses[] = {
    {CLSID_BookmanagerTool, "BookmanagerTool Class", "booktool.BookmanagerTool.1", kBookmanagerToolProgId, "Apartment",
     &platform::com::createObject<CBookmanagerTool>},
};

} // namespace

QELTA_SERVER_EXPORTS(kClasses)
