#include "phonebook/editor/record_list_logic.h"

#include "common/prompter.h"
#include "common/resource_locale.h"
#include "phonebook/editor/book_dialogs.h"
#include "phonebook/editor/favorite_group.h"
#include "platform/bstr.h"
#include "platform/text.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

using platform::com::Bstr;

std::array<unsigned char, kRecordDragSize> EncodeRecordDrag(int nRecordID)
{
    std::array<unsigned char, kRecordDragSize> data{};
    const int32_t id = nRecordID;
    const int32_t pid = static_cast<int32_t>(::getpid());
    std::memcpy(data.data(), &id, sizeof id);
    std::memcpy(data.data() + sizeof id, &pid, sizeof pid);
    return data;
}

std::optional<int> DecodeRecordDrag(const std::string& data)
{
    if (data.size() != kRecordDragSize)
        return std::nullopt;
    int32_t id = 0, pid = 0;
    std::memcpy(&id, data.data(), sizeof id);
    std::memcpy(&pid, data.data() + sizeof id, sizeof pid);
    if (pid != static_cast<int32_t>(::getpid()))
        return std::nullopt;
    return id;
}

std::string RecordColumnText(const CAddress& address, int nColumn)
{
    switch (nColumn) {
    case 0:
        return address.m_strName;
    case 1:
        return address.m_strNumber;
    case 2:
        return address.m_strSubAddress;
    case 3:
        return address.m_strPassCode;
    default:
        return {};
    }
}

std::string RecordStatusText(const CAddress& address)
{
    if (address.m_nType == PB_RECORD_GROUP)
        return address.m_strName;
    if (address.m_nType == PB_RECORD_FAX && address.m_bFCode == 1)
        return address.m_strName + ", " + address.m_strNumber + " [ " + address.m_strSubAddress + ", " +
               address.m_strPassCode + " ]";
    return address.m_strName + ", " + address.m_strNumber;
}

CQeltapbViewLogic::CQeltapbViewLogic(CQeltapbDoc& doc, IBookDialogs& dialogs, IPrompter& prompter)
    : m_Doc(doc), m_Dialogs(dialogs), m_Prompter(prompter)
{
    m_Doc.AddObserver(this);
}

CQeltapbViewLogic::~CQeltapbViewLogic() { m_Doc.RemoveObserver(this); }

CAddress* CQeltapbViewLogic::Row(int nRow) const
{
    return nRow >= 0 && nRow < RowCount() ? m_Rows[static_cast<size_t>(nRow)] : nullptr;
}

int CQeltapbViewLogic::RowOf(const CAddress* pAddress) const
{
    const auto it = std::find(m_Rows.begin(), m_Rows.end(), pAddress);
    return it == m_Rows.end() ? -1 : static_cast<int>(it - m_Rows.begin());
}

void CQeltapbViewLogic::SortByColumn(int nColumn)
{
    m_bDescending = nColumn != m_nSortColumn ? 1 : !m_bDescending;
    m_nSortColumn = nColumn;
    const bool descending = m_bDescending != 0;
    std::stable_sort(m_Rows.begin(), m_Rows.end(), [&](const CAddress* a, const CAddress* b) {
        const std::string& x = RecordColumnText(*a, nColumn);
        const std::string& y = RecordColumnText(*b, nColumn);
        const int order = m_TextOrder ? m_TextOrder(x, y) : platform::compareNoCase(x, y);
        return descending ? order > 0 : order < 0;
    });
    if (m_pRows)
        m_pRows->OnRowsReset();
}

bool CQeltapbViewLogic::DeleteRow(int nRow)
{
    CAddress* address = Row(nRow);
    IBookmanagerTool* book = m_Doc.BookTool();
    if (!address || !book)
        return false;
    if (m_Prompter.MessageBox(LoadResourceString(IDS_DELETE_QUESTION), LoadResourceString(IDS_EDITOR_TITLE),
                              MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    HRESULT hr = S_FALSE;
    if (m_Doc.CurrentFolderID() == kFavoriteFolderId) {
        // Only out of the favourites: the record stays in its own folder.
        const Bstr key("frequentlyUsed"), value("false");
        if (address->m_nType != PB_RECORD_GROUP) {
            hr = book->UpdateRecordValue(address->m_nID, key.get(), value.get());
        } else if (LeaveFavorites(m_Doc.GetPathName(), address->m_nID)) {
            m_Doc.ReopenBook(); // the phone book object reads the group as it is now stored
            hr = S_OK;
        }
    } else {
        hr = book->DeleteRecord(address->m_nID, 1);
    }
    if (hr != S_OK)
        return false;
    m_Doc.RemoveRecord(address);
    return true;
}

void CQeltapbViewLogic::OpenRow(int nRow, void* pOwner)
{
    CAddress* address = Row(nRow);
    IBookmanagerTool* book = m_Doc.BookTool();
    if (!address || !book)
        return;
    const int32_t id = address->m_nID;
    int32_t type = -1, parent = 0;
    Bstr name;
    if (book->GetRecordInfo(id, &type, name.out(), &parent) != S_OK)
        return;
    int changed = 0;
    if (type == PB_RECORD_FAX || type == PB_RECORD_IFAX)
        m_Dialogs.ShowAddress(pOwner, m_Doc.GetPathName(), id, changed);
    else if (type == PB_RECORD_GROUP)
        m_Dialogs.ShowGroup(pOwner, m_Doc.GetPathName(), id, changed);
    else
        return;
    auto value = [&](const char* key, std::string& text) {
        const Bstr keyName(key);
        Bstr read;
        const HRESULT hr = book->GetRecordValue(id, keyName.get(), read.out());
        text = hr == S_OK ? read.ansi() : std::string(); // a value the record lacks is empty
        return !FAILED(hr);
    };
    if (changed == 1) {
        m_Doc.ReopenBook();
        if (book->GetRecordInfo(id, &type, name.out(), &parent) != S_OK)
            return;
        CAddress values{type, id, name.ansi(), {}, 0, {}, {}};
        std::string fcode;
        if (type == PB_RECORD_FAX) {
            if (!value("faxNumber", values.m_strNumber) || !value("faxFCode", fcode) ||
                !value("faxSubAddress", values.m_strSubAddress) || !value("faxPassCode", values.m_strPassCode))
                return;
            values.m_bFCode = fcode == "true" ? 1 : 0;
        } else if (type == PB_RECORD_IFAX || type == PB_RECORD_GROUP) {
            if (!value("mailAddress", values.m_strNumber))
                return;
        } else {
            return;
        }
        m_Doc.UpdateRecord(address, values);
    }
    if (m_Doc.CurrentFolderID() == kFavoriteFolderId) {
        std::string favorite;
        if (!value("frequentlyUsed", favorite))
            return;
        if (favorite != "true")
            m_Doc.RemoveRecord(address);
    }
}

void CQeltapbViewLogic::OnUpdate(int nHint)
{
    static_cast<void>(nHint);
    m_Rows.clear();
    for (const auto& address : m_Doc.Records())
        m_Rows.push_back(address.get());
    if (m_pRows)
        m_pRows->OnRowsReset();
}

void CQeltapbViewLogic::OnRecordAdded(CAddress* pAddress)
{
    m_Rows.push_back(pAddress);
    if (m_pRows)
        m_pRows->OnRowAppended(RowCount() - 1);
}

void CQeltapbViewLogic::OnRecordRemoving(CAddress* pAddress)
{
    const int row = RowOf(pAddress);
    if (row < 0)
        return;
    if (m_pRows)
        m_pRows->OnRowRemoving(row);
    m_Rows.erase(m_Rows.begin() + row);
    if (m_pRows)
        m_pRows->OnRowRemoved();
}

void CQeltapbViewLogic::OnRecordChanged(CAddress* pAddress)
{
    const int row = RowOf(pAddress);
    if (row >= 0 && m_pRows)
        m_pRows->OnRowChanged(row);
}
