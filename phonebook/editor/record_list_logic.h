// The record list without its widget: the rows over the document's record items, sorting, the
// status text, the grey rules, Delete and Open, and the drag data of a row.
#pragma once

#include "phonebook/editor/bookmanager_doc.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class IPrompter;

/// The list's commands.
enum : int { ID_EDIT_DELETE = 32780, ID_EDIT_OPEN = 32782 };
/// Texts of the list and its questions.
enum : uint32_t {
    IDS_COLUMN_NAME = 4000,
    IDS_COLUMN_NUMBER = 4001,
    IDS_COLUMN_SUBADDRESS = 4002,
    IDS_COLUMN_PASSCODE = 4003,
    IDS_DELETE_QUESTION = 5002,
    IDS_EDITOR_TITLE = 57344,
};

/// The columns: title text and width in pixels.
struct CRecordColumn {
    uint32_t nTitle;
    int nWidth;
};
inline constexpr std::array<CRecordColumn, 4> kRecordColumns = {
    {{IDS_COLUMN_NAME, 160}, {IDS_COLUMN_NUMBER, 150}, {IDS_COLUMN_SUBADDRESS, 90}, {IDS_COLUMN_PASSCODE, 90}}};

/// The drag format of a row and the size of its data.
inline constexpr const char* kRecordDragFormat = "Bookmanager - Record";
inline constexpr size_t kRecordDragSize = 32;
/// The drag data of a record: its id (bytes 0-3) and this process's id (4-7), zero-filled.
std::array<unsigned char, kRecordDragSize> EncodeRecordDrag(int nRecordID);
/// The record id of drag data made by this process; nothing for foreign or malformed data.
std::optional<int> DecodeRecordDrag(const std::string& data);

/// A column's text of a record.
std::string RecordColumnText(const CAddress& address, int nColumn);
/// The status bar's summary of a record: "name, number [ sub-address, pass code ]" with the F-code
/// flag, "name, number" without it, the name alone for a group.
std::string RecordStatusText(const CAddress& address);

class CQeltapbViewLogic : public IBookDocObserver {
public:
    /// Observes the document; its rows follow the record items.
    CQeltapbViewLogic(CQeltapbDoc& doc, IBookDialogs& dialogs, IPrompter& prompter);
    ~CQeltapbViewLogic() override;

    /// What the widget hears: rows were reset, appended, changed or are about to go.
    class IRowsObserver {
    public:
        virtual ~IRowsObserver() = default;
        virtual void OnRowsReset() = 0;
        virtual void OnRowAppended(int nRow) = 0;
        virtual void OnRowChanged(int nRow) = 0;
        virtual void OnRowRemoving(int nRow) = 0;
        virtual void OnRowRemoved() = 0;
    };
    void SetRowsObserver(IRowsObserver* pObserver) { m_pRows = pObserver; }

    int RowCount() const { return static_cast<int>(m_Rows.size()); }
    CAddress* Row(int nRow) const;
    int RowOf(const CAddress* pAddress) const;

    /// The order of two texts (negative, 0, positive) that sorting uses; without one, ASCII
    /// letters ignoring case and other bytes by value.
    using TextOrder = std::function<int(const std::string& a, const std::string& b)>;
    void SetTextOrder(TextOrder order) { m_TextOrder = std::move(order); }
    /// A click on a column's header: the same column toggles the direction, another starts
    /// descending; the rows are sorted by that column's text in the text order.
    void SortByColumn(int nColumn);
    bool Descending() const { return m_bDescending != 0; }
    int SortColumn() const { return m_nSortColumn; }

    /// Delete and Open need a selected row.
    static bool CanEditRow(int nRow) { return nRow >= 0; }
    /// Asks, then takes the record out of the favourites (in the favourite folder; a group is
    /// stored again whole) or deletes it; its row and item go only when the call succeeded. True
    /// when they went.
    bool DeleteRow(int nRow);
    /// Opens the record in its dialog; a stored change is read back into the row, and a record that
    /// left the favourites leaves the favourite folder's list.
    void OpenRow(int nRow, void* pOwner);

    // IBookDocObserver
    void OnUpdate(int nHint) override;
    void OnRecordAdded(CAddress* pAddress) override;
    void OnRecordRemoving(CAddress* pAddress) override;
    void OnRecordChanged(CAddress* pAddress) override;

private:
    CQeltapbDoc& m_Doc;
    IBookDialogs& m_Dialogs;
    IPrompter& m_Prompter;
    IRowsObserver* m_pRows = nullptr;
    std::vector<CAddress*> m_Rows;
    int m_bDescending = 1;
    int m_nSortColumn = 0;
    TextOrder m_TextOrder;
};
