// The Select Destination page without its widgets: the entry fields, the list of destinations (the
// sheet's list, shown in the order the user sorts it), Add, Delete, Delete All, the phone book
// import, and Next with its skip path.
#pragma once

#include "common/prompter.h"
#include "phonebook/dialogs/select_dest_logic.h"
#include "phonebook/dialogs/selection.h"
#include "sendwizard/destination_checks.h"
#include "sendwizard/sheet_logic.h"
#include "sendwizard/wizard_strings.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

/// Control ids of the page.
enum : int {
    IDC_FAX_LABEL = 1007,
    IDC_FAX_NUMBER = 1008,
    IDC_SUBADDRESS_LABEL = 1009,
    IDC_SUBADDRESS = 1010,
    IDC_PASSCODE_LABEL = 1011,
    IDC_PASSCODE = 1012,
    IDC_FCODE = 1013,
    IDC_ADD = 1015,
    IDC_DELETE_ALL = 1016,
    IDC_DESTINATIONS = 1018,
    IDC_DELETE = 1020,
    IDC_IFAX_ADDRESS = 1021,
    IDC_PHONEBOOK = 1060,
    IDC_MODE_FAX = 1061,
    IDC_MODE_IFAX = 1062,
    IDC_RECEPTION_CONFIRM = 1096,
    IDC_SKIP = 1117,
};

/// Texts of the page: the column titles 310 to 314 (the first is IDS_FAX_NUMBER) and the questions.
enum : uint32_t {
    IDS_COLUMN_FIRST = IDS_FAX_NUMBER,
    IDS_DELETE_SELECTED = 320,
    IDS_DELETE_ALL = 321,
};

/// Images of the list: FAX, I-FAX, reception confirm on, off.
enum : int { kImageFax = 0, kImageIfax = 1, kImageConfirmOn = 2, kImageConfirmOff = 3 };

/// The five columns of the list, with their widths in pixels.
inline constexpr int kDestinationColumns = 5;
inline constexpr int kDestinationColumnWidths[kDestinationColumns] = {200, 200, 90, 90, 40};
/// The longest text the first column shows.
inline constexpr size_t kMaxRowText = 259;

/// The phone book dialogs' exports the page calls.
class IPhoneBookExports {
public:
    virtual ~IPhoneBookExports() = default;
    /// Select Phone Book; 1 on OK with the book's full path and its book name.
    virtual int SelectPhoneBook(void* owner, std::string& strPath, std::string& strBookName) = 0;
    /// Select Destination in a book; 1 on OK with *selection set (freed only through Free).
    virtual int SelectDestinations(void* owner, const std::string& strBookName, PB2APISelection** selection,
                                   int nModelType) = 0;
    virtual void Free(PB2APISelection* selection) = 0;
};

/// The exports of the suite's phone book dialogs library, bound by name on first use; without the
/// library every dialog answers 0.
std::unique_ptr<IPhoneBookExports> MakeBookpickerExports();

/// Reads one record of a book file: 1 with the record, else 0; may throw, which ends an import.
using PhoneBookReader = std::function<int(const std::string& strBookPath, int32_t lRecordID, CPhoneBookRecord&)>;

/// The texts and images of one row.
struct DestinationRowView {
    std::string strColumns[kDestinationColumns];
    int nImage = kImageFax;
    int nConfirmImage = kImageConfirmOff;
};

/// Whether a job may go out as one broadcast: two destinations or more, no cover sheet attached
/// (one cover is addressed to one recipient), and on model types 1 and 2 no destination with an
/// F-code sub-address or pass code.
bool CanBroadcast(const std::vector<CJobDestination>& destinations, int nModelType, bool bCoverAttached);

/// Asks STRING 750 with the wizard's caption; true when the user answers Yes.
bool ConfirmQuitWizard(IPrompter& prompter);

class CPPSelectDestLogic {
public:
    /// reader: the sheet's phone book reader unless given.
    CPPSelectDestLogic(CPSMainuiLogic& sheet, IPrompter& prompter, IPhoneBookExports& exports,
                       PhoneBookReader reader = {}, void* owner = nullptr);

    // ---- the entry fields ----
    int m_nMode = 0; ///< 0 FAX number, 1 I-FAX address
    int m_bFCode = 0;
    std::string m_strNumber, m_strSubAddress, m_strPassCode, m_strIfaxAddress;
    int m_bReceptionConfirm = 0;
    int m_bSkip = 1;
    int m_bChanged = 1;

    /// True when the page offers I-FAX (model type 3): the radios, 1021 and 1096.
    bool ShowsIfax() const { return m_Sheet.m_nModelType == 3; }
    /// Whether a field is enabled in the current mode.
    bool IsEnabled(int nControlId) const;

    // ---- the list ----
    int RowCount() const { return static_cast<int>(m_Rows.size()); }
    DestinationRowView Row(int nRow) const { return ViewOf(RowDestination(nRow)); }
    /// The texts and images a destination shows.
    static DestinationRowView ViewOf(const CJobDestination& destination);
    const CJobDestination& RowDestination(int nRow) const { return m_Sheet.m_Destinations[m_Rows[nRow]]; }

    /// Add: count check, validation, then a new row, or none when the list already holds the
    /// destination (IsSameDestination; its row stays as it is); true when the entry was taken (the
    /// fields are cleared).
    bool Add();
    /// True when something is typed in the entry fields of the mode (the address, or with F-code
    /// the sub-address or pass code).
    bool HasTypedEntry() const;
    /// The field the user goes on typing in after the last Add or Next: the mode's address field,
    /// or after a refusal the field the refusal names.
    int FocusField() const { return m_nFocusField; }
    /// Asks 320 and deletes the selected rows (any order) from the last up; false when nothing changed.
    bool Delete(std::vector<int> selectedRows);
    /// Asks 321 and deletes every destination; false when nothing changed.
    bool DeleteAll();
    /// Adds destinations from a phone book, each destination already listed merged as Add merges
    /// it; the number of rows added.
    int ImportFromPhoneBook();
    /// Sorts after a click on a column.
    void SortByColumn(int nColumn);
    const SortState& Sort() const { return m_Sort; }

    /// Next: the page to go to (IDD_SELECT_COVER, or IDD_PREVIEW on the skip path); -1 keeps the page.
    /// An entry still typed in the fields is added first, through Add's checks, so that a number
    /// typed but not added is never left out of the job; a refused entry keeps the page.
    int OnWizardNext();

private:
    std::string Caption() const;
    /// Validates the typed entry and appends it; false after the validator's warning.
    bool AddTyped(int bFaxConfirm);
    /// Appends a row unless the list already holds the destination (a listed row without a name
    /// then takes the destination's); true when a row was added.
    bool Append(const CJobDestination& destination);
    void ClearEntry();
    /// Asks a delete question (Yes and No, exclamation); true for Yes.
    bool AskDelete(uint32_t nTextId);
    /// The field a refusal with text nTextId names.
    int FieldOfRefusal(int nTextId) const;
    int AddressField() const { return m_nMode == 1 ? IDC_IFAX_ADDRESS : IDC_FAX_NUMBER; }

    CPSMainuiLogic& m_Sheet;
    IPrompter& m_Prompter;
    CPrompterNotifier m_Notifier;
    IPhoneBookExports& m_Exports;
    PhoneBookReader m_Reader;
    void* m_pOwner;
    std::vector<size_t> m_Rows; ///< row -> index in the sheet's destination list
    SortState m_Sort;
    int m_nFocusField = IDC_FAX_NUMBER;
};
