#include "envsetup/envsetup_logic.h"

#include "common/prompter.h"
#include "common/registry_helper.h"
#include "common/resource_locale.h"
#include "devicelist/devicelist.h"

#include <algorithm>
#include <cctype>

namespace {

CRegistryHelper UserSettings() { return CRegistryHelper(HKEY_CURRENT_USER, kProductKeyPrefix); }

bool AllDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= '0' && c <= '9'; });
}

int Sign(int value) { return (value > 0) - (value < 0); }

} // namespace

std::string EnvString(uint32_t nId) { return LoadResourceString(nId); }

PrinterEntry SplitPrinterEntry(const std::string& strEntry)
{
    PrinterEntry entry;
    const size_t first = strEntry.find(':');
    entry.strModel = strEntry.substr(0, first);
    if (first == std::string::npos)
        return entry;
    const size_t second = strEntry.find(':', first + 1);
    entry.strName = strEntry.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    if (second != std::string::npos)
        entry.strLocation = strEntry.substr(second + 1);
    return entry;
}

int CompareColumnTexts(const std::string& a, const std::string& b)
{
    if (AllDigits(a) && AllDigits(b)) {
        // Leading zeros do not count; then the longer number is the larger, and digits of equal
        // length compare as text.
        const std::string_view x = std::string_view(a).substr(std::min(a.find_first_not_of('0'), a.size()));
        const std::string_view y = std::string_view(b).substr(std::min(b.find_first_not_of('0'), b.size()));
        if (x.size() != y.size())
            return x.size() < y.size() ? -1 : 1;
        return Sign(x.compare(y));
    }
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// ---- Header Setting ----

CPPHeaderLogic::CPPHeaderLogic(IPrompter& prompter, DefaultFace defaultFace)
    : m_Prompter(prompter), m_DefaultFace(std::move(defaultFace))
{
}

void CPPHeaderLogic::OnInitDialog()
{
    const HeaderFontSetting font = ReadHeaderFontSetting(m_DefaultFace);
    m_strFace = font.strFace;
    m_nSize = font.nSize;
    const CRegistryHelper user = UserSettings();
    m_strUserName = user.ReadString(kProductSubkey, kHeaderUserNameValue, "");
    m_strTelNumber = user.ReadString(kProductSubkey, kHeaderTelNumberValue, "");
    m_bModified = false;
    m_bInitialized = true;
}

void CPPHeaderLogic::OnSelectFont()
{
    const std::optional<FontChoice> chosen = m_Prompter.ChooseFont({m_strFace, m_nSize, 400});
    if (!chosen || chosen->strFace.empty() || chosen->nSize <= 0)
        return;
    m_strFace = chosen->strFace;
    m_nSize = chosen->nSize;
    m_bModified = true;
}

void CPPHeaderLogic::OnApply()
{
    // The size stays in tenths: a size the user did not change is written back unchanged.
    const CRegistryHelper user = UserSettings();
    user.WriteString(kProductSubkey, kHeaderUserNameValue, m_strUserName);
    user.WriteString(kProductSubkey, kHeaderTelNumberValue, m_strTelNumber);
    user.WriteString(kProductSubkey, kHeaderFontFaceValue, m_strFace);
    user.WriteDword(kProductSubkey, kHeaderFontSizeValue, static_cast<uint32_t>(m_nSize));
    m_bModified = false;
}

// ---- Printer Setting ----

const std::string& PrinterRow::Text(int nColumn) const
{
    switch (nColumn) {
    case 1: return strModel;
    case 2: return strLocation;
    default: return strName;
    }
}

CPPPrinterLogic::CPPPrinterLogic(IPrompter& prompter) : m_Prompter(prompter) {}

std::vector<PrinterColumn> CPPPrinterLogic::Columns()
{
    return {{IDS_COLUMN_NAME, 160}, {IDS_COLUMN_MODEL, 150}, {IDS_COLUMN_LOCATION, 180}};
}

void CPPPrinterLogic::OnInitDialog()
{
    m_bUseUserPrinter = DEVICELISTLIB_GetIsUseUserDefinedPrinter() != 0;
    FillList();
    MarkUserPrinter();
    m_bInitialized = true;
}

bool CPPPrinterLogic::IsEnabled(int nControlId) const
{
    switch (nControlId) {
    case IDC_PRINTER_LIST:
    case IDC_SET_DEFAULT:
    case IDC_UPDATE_LIST: return m_bUseUserPrinter;
    default: return true;
    }
}

void CPPPrinterLogic::FillList()
{
    const std::string selected = m_nSelected >= 0 ? m_Rows[static_cast<size_t>(m_nSelected)].strName : std::string();
    m_Rows.clear();
    m_nSelected = -1;
    std::string stored;
    const bool hasStored = DEVICELISTLIB_GetUserDefinedPrinter(stored) != 0;
    const int count = DEVICELISTLIB_GetNumberOfListedPrinter(); // negative: no list, no rows
    m_bNoList = count < 0;
    std::string entry;
    for (int index = 0; index < count && DEVICELISTLIB_GetPrinterList(index, entry); ++index) {
        PrinterEntry parts = SplitPrinterEntry(entry);
        PrinterRow row;
        row.nImage = hasStored && parts.strName == stored ? kImageUserPrinter : kImagePrinter;
        row.strName = std::move(parts.strName);
        row.strModel = std::move(parts.strModel);
        row.strLocation = std::move(parts.strLocation);
        if (!selected.empty() && row.strName == selected && m_nSelected < 0)
            m_nSelected = RowCount();
        m_Rows.push_back(std::move(row));
    }
}

std::string CPPPrinterLogic::ListNote() const { return m_bNoList ? EnvString(IDS_NO_PRINT_SERVER) : std::string(); }

bool CPPPrinterLogic::MarkUserPrinter()
{
    for (PrinterRow& row : m_Rows)
        row.bChecked = false;
    std::string stored;
    if (!DEVICELISTLIB_GetUserDefinedPrinter(stored))
        return false; // nothing chosen yet: no row looks chosen
    const auto found = std::find_if(m_Rows.begin(), m_Rows.end(), [&](const PrinterRow& r) { return r.strName == stored; });
    if (found != m_Rows.end()) {
        found->bChecked = true;
        return true;
    }
    if (!m_Rows.empty())
        m_Rows.front().bChecked = true;
    return false;
}

void CPPPrinterLogic::OnUpdateList()
{
    if (DEVICELISTLIB_UpdatePrinterList(this))
        FillList();
    else
        m_Prompter.MessageBox(EnvString(IDS_UPDATE_FAILED), EnvString(IDS_ENVSETUP_CAPTION), MB_ICONWARNING);
    if (!MarkUserPrinter())
        m_bModified = true;
}

void CPPPrinterLogic::OnSetAsDefault()
{
    if (m_nSelected < 0)
        return; // an empty name would leave the wizard without a printer at every start
    DEVICELISTLIB_SetUserDefinedPrinter(m_Rows[static_cast<size_t>(m_nSelected)].strName);
    FillList();
    MarkUserPrinter();
}

void CPPPrinterLogic::OnUseUserPrinter(bool bChecked)
{
    m_bUseUserPrinter = bChecked;
    m_bModified = true;
}

void CPPPrinterLogic::OnColumnClick(int nColumn)
{
    if (nColumn < 0 || nColumn > 2)
        return;
    m_bReverse = nColumn != m_nSortColumn ? true : !m_bReverse;
    m_nSortColumn = nColumn;
    const std::string selected = m_nSelected >= 0 ? m_Rows[static_cast<size_t>(m_nSelected)].strName : std::string();
    std::stable_sort(m_Rows.begin(), m_Rows.end(), [&](const PrinterRow& a, const PrinterRow& b) {
        const int order = CompareColumnTexts(a.Text(nColumn), b.Text(nColumn));
        return m_bReverse ? order > 0 : order < 0;
    });
    if (m_nSelected >= 0) {
        const auto at = std::find_if(m_Rows.begin(), m_Rows.end(), [&](const PrinterRow& r) { return r.strName == selected; });
        m_nSelected = static_cast<int>(at - m_Rows.begin());
    }
}

bool CPPPrinterLogic::HasPrinterChoice() const
{
    std::string stored;
    return !m_bUseUserPrinter || m_nSelected >= 0 || DEVICELISTLIB_GetUserDefinedPrinter(stored) != 0;
}

void CPPPrinterLogic::OnApply()
{
    DEVICELISTLIB_SetIsUseUserDefinedPrinter(m_bUseUserPrinter ? 1 : 0);
    if (m_bUseUserPrinter && m_nSelected >= 0)
        DEVICELISTLIB_SetUserDefinedPrinter(m_Rows[static_cast<size_t>(m_nSelected)].strName);
    FillList();
    MarkUserPrinter();
    m_bModified = false;
}

// ---- the sheet ----

CEnvsetupLogic::CEnvsetupLogic(IPrompter& prompter, CPPHeaderLogic::DefaultFace defaultFace)
    : m_Header(prompter, std::move(defaultFace)), m_Printer(prompter), m_Prompter(prompter)
{
}

bool CEnvsetupLogic::CanApply() const { return m_Header.IsModified() || m_Printer.IsModified(); }

bool CEnvsetupLogic::Apply()
{
    // The wizard would warn at every start of a default printer that names none.
    if (m_Printer.IsInitialized() && !m_Printer.HasPrinterChoice()) {
        m_Prompter.MessageBox(EnvString(IDS_CHOOSE_PRINTER), EnvString(IDS_ENVSETUP_CAPTION), MB_ICONWARNING);
        return false;
    }
    if (m_Header.IsInitialized())
        m_Header.OnApply();
    if (m_Printer.IsInitialized())
        m_Printer.OnApply();
    return true;
}

int RunEnvsetup(IEnvsetupRunner& runner)
{
    CSDLocale locale("", kEnvsetupModuleCode);
    if (!locale.StartWithLocale(CSDLocale::PickStartLocale()))
        return 1; // no usable language
    struct Restore {
        ~Restore() { SetCurrentResourceLocale(nullptr); }
    } restore;
    runner.Run();
    return 0;
}
