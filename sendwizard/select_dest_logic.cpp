#include "sendwizard/select_dest_logic.h"

#include "common/data_folders.h"
#include "platform/library.h"
#include "sendwizard/wizard_strings.h"

#include <algorithm>
#include <numeric>

namespace {

constexpr int kBookBufferSize = static_cast<int>(kWholePathBytes);

// The exports of the phone book dialogs library, bound by name.
class CBookpickerExports : public IPhoneBookExports {
public:
    int SelectPhoneBook(void* owner, std::string& strPath, std::string& strBookName) override
    {
        using Fn = int (*)(void*, char*, char*, int, int, int);
        const auto fn = Bind<Fn>("PB2APISelectPhoneBook");
        if (!fn)
            return 0;
        char path[kBookBufferSize] = {}, name[kBookBufferSize] = {};
        const int result = fn(owner, path, name, kBookBufferSize, 1, 1);
        path[kBookBufferSize - 1] = name[kBookBufferSize - 1] = '\0';
        strPath = path;
        strBookName = name;
        return result;
    }
    int SelectDestinations(void* owner, const std::string& strBookName, PB2APISelection** selection,
                           int nModelType) override
    {
        using Fn = int (*)(void*, const char*, PB2APISelection**, int);
        const auto fn = Bind<Fn>("PB2APISelectDestinationWithPhoneBook");
        return fn ? fn(owner, strBookName.c_str(), selection, nModelType) : 0;
    }
    void Free(PB2APISelection* selection) override
    {
        using Fn = void (*)(PB2APISelection*);
        if (const auto fn = Bind<Fn>("PB2APIFree"))
            fn(selection);
    }

private:
    template <typename Fn>
    Fn Bind(const char* name)
    {
        if (!m_pLibrary)
            m_pLibrary = platform::Library::load("bookpicker.dll");
        return m_pLibrary ? m_pLibrary->function<Fn>(name) : nullptr;
    }
    std::shared_ptr<platform::Library> m_pLibrary;
};

} // namespace

std::unique_ptr<IPhoneBookExports> MakeBookpickerExports() { return std::make_unique<CBookpickerExports>(); }

bool CanBroadcast(const std::vector<CJobDestination>& destinations, int nModelType, bool bCoverAttached)
{
    if (destinations.size() < 2 || bCoverAttached)
        return false;
    if (nModelType != 1 && nModelType != 2)
        return true;
    return std::none_of(destinations.begin(), destinations.end(), [](const CJobDestination& d) {
        return d.m_bFCode && (!d.m_strSubAddress.empty() || !d.m_strPassCode.empty());
    });
}

bool ConfirmQuitWizard(IPrompter& prompter)
{
    return prompter.MessageBox(WizardString(IDS_QUIT), WizardString(IDS_CAPTION), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

CPPSelectDestLogic::CPPSelectDestLogic(CPSMainuiLogic& sheet, IPrompter& prompter, IPhoneBookExports& exports,
                                       PhoneBookReader reader, void* owner)
    : m_Sheet(sheet), m_Prompter(prompter), m_Notifier(prompter), m_Exports(exports), m_Reader(std::move(reader)),
      m_pOwner(owner), m_Rows(sheet.m_Destinations.size())
{
    if (!m_Reader)
        m_Reader = [&sheet](const std::string& path, int32_t id, CPhoneBookRecord& record) {
            return sheet.ReadPhoneBookRecord(path, id, record);
        };
    std::iota(m_Rows.begin(), m_Rows.end(), size_t{0});
}

std::string CPPSelectDestLogic::Caption() const { return WizardString(IDS_CAPTION); }

bool CPPSelectDestLogic::IsEnabled(int nControlId) const
{
    const bool fax = m_nMode == 0;
    switch (nControlId) {
    case IDC_FAX_NUMBER:
    case IDC_FCODE: return fax;
    case IDC_SUBADDRESS_LABEL:
    case IDC_SUBADDRESS:
    case IDC_PASSCODE_LABEL:
    case IDC_PASSCODE: return fax && m_bFCode;
    case IDC_IFAX_ADDRESS:
    case IDC_RECEPTION_CONFIRM: return !fax && ShowsIfax();
    case IDC_MODE_FAX:
    case IDC_MODE_IFAX: return ShowsIfax();
    default: return true;
    }
}

DestinationRowView CPPSelectDestLogic::ViewOf(const CJobDestination& d)
{
    DestinationRowView view;
    const bool ifax = d.m_nKind == kDestinationIFax;
    view.strColumns[0] = d.m_strNumber.substr(0, kMaxRowText);
    view.nImage = ifax ? kImageIfax : kImageFax;
    view.strColumns[1] = d.m_strName;
    if (!ifax && d.m_bFCode) {
        view.strColumns[2] = d.m_strSubAddress;
        view.strColumns[3] = d.m_strPassCode;
    }
    view.nConfirmImage = ifax && d.m_bReceptionConfirm ? kImageConfirmOn : kImageConfirmOff;
    return view;
}

bool CPPSelectDestLogic::Append(const CJobDestination& destination)
{
    // Every addition goes through here, so a number typed, imported alone or as a group's member
    // is sent once. The row listed first keeps its name; a typed row, which has none, takes the
    // name of the book entry that repeats it.
    auto& listed = m_Sheet.m_Destinations;
    const auto same = std::find_if(listed.begin(), listed.end(),
                                   [&](const CJobDestination& d) { return IsSameDestination(d, destination); });
    if (same != listed.end()) {
        if (same->m_strName.empty())
            same->m_strName = destination.m_strName;
        return false;
    }
    m_Sheet.m_Destinations.push_back(destination);
    m_Rows.push_back(m_Sheet.m_Destinations.size() - 1);
    return true;
}

void CPPSelectDestLogic::ClearEntry()
{
    m_strNumber.clear();
    m_strSubAddress.clear();
    m_strPassCode.clear();
    m_strIfaxAddress.clear();
    m_bFCode = 0;
}

int CPPSelectDestLogic::FieldOfRefusal(int nTextId) const
{
    switch (nTextId) {
    case IDS_BAD_SUBADDRESS:
    case IDS_PASSCODE_WITHOUT_SUBADDRESS: return IDC_SUBADDRESS;
    case IDS_BAD_PASSCODE: return IDC_PASSCODE;
    case IDS_TOO_LONG_CLASS_0_3:
    case IDS_TOO_LONG_CLASS_1:
    case IDS_TOO_LONG_CLASS_2:
    case IDS_TOO_LONG_OTHER:
        // The text names every part; the part over its own limit is the one to shorten.
        if (m_bFCode && m_strSubAddress.size() > kMaxSubAddressLength)
            return IDC_SUBADDRESS;
        if (m_bFCode && m_strPassCode.size() > kMaxPassCodeLength)
            return IDC_PASSCODE;
        return AddressField();
    default: return AddressField();
    }
}

bool CPPSelectDestLogic::AddTyped(int bFaxConfirm)
{
    const bool ifax = m_nMode == 1;
    const std::string& address = ifax ? m_strIfaxAddress : m_strNumber;
    const int confirm = ifax ? m_bReceptionConfirm : bFaxConfirm;
    CAddressValidation check = MakeWizardValidation(m_pOwner, Caption(), m_Sheet.m_nModelType, m_Notifier);
    if (!check.ValidateAddress(address.c_str(), m_nMode, m_bFCode, m_strSubAddress.c_str(), m_strPassCode.c_str(),
                               nullptr)) {
        m_nFocusField = FieldOfRefusal(m_Notifier.LastTextId());
        return false;
    }
    Append(CJobDestination(address, "", m_nMode, m_bFCode, m_strSubAddress, m_strPassCode, confirm));
    ClearEntry();
    m_nFocusField = AddressField();
    return true;
}

bool CPPSelectDestLogic::Add()
{
    m_bChanged = 1;
    m_nFocusField = AddressField();
    CDestinationLimit limit(m_pOwner, Caption(), m_Sheet.m_nModelType, m_Notifier);
    if (!limit.CheckDestinationCount(static_cast<long long>(RowCount()) + 1))
        return false;
    return AddTyped(1);
}

bool CPPSelectDestLogic::HasTypedEntry() const
{
    if (m_nMode == 1)
        return !m_strIfaxAddress.empty();
    return !m_strNumber.empty() || (m_bFCode && (!m_strSubAddress.empty() || !m_strPassCode.empty()));
}

bool CPPSelectDestLogic::AskDelete(uint32_t nTextId)
{
    return m_Prompter.MessageBox(WizardString(nTextId), Caption(), MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

bool CPPSelectDestLogic::Delete(std::vector<int> selectedRows)
{
    m_bChanged = 1;
    std::erase_if(selectedRows, [this](int row) { return row < 0 || row >= RowCount(); });
    if (selectedRows.empty() || !AskDelete(IDS_DELETE_SELECTED))
        return false;
    std::sort(selectedRows.begin(), selectedRows.end());
    selectedRows.erase(std::unique(selectedRows.begin(), selectedRows.end()), selectedRows.end());
    for (auto it = selectedRows.rbegin(); it != selectedRows.rend(); ++it) {
        const size_t index = m_Rows[static_cast<size_t>(*it)];
        m_Rows.erase(m_Rows.begin() + *it);
        m_Sheet.m_Destinations.erase(m_Sheet.m_Destinations.begin() + static_cast<std::ptrdiff_t>(index));
        for (size_t& other : m_Rows)
            if (other > index)
                --other;
    }
    return true;
}

bool CPPSelectDestLogic::DeleteAll()
{
    m_bChanged = 1;
    if (m_Rows.empty() || !AskDelete(IDS_DELETE_ALL))
        return false;
    m_Sheet.m_Destinations.clear();
    m_Rows.clear();
    return true;
}

int CPPSelectDestLogic::ImportFromPhoneBook()
{
    m_bChanged = 1;
    std::string path, book;
    if (m_Exports.SelectPhoneBook(m_pOwner, path, book) != 1)
        return 0;
    PB2APISelection* raw = nullptr;
    const int chosen = m_Exports.SelectDestinations(m_pOwner, book, &raw, m_Sheet.m_nModelType);
    // The selection goes back to the library on every path, a refused count included.
    const auto release = [this](PB2APISelection* s) { m_Exports.Free(s); };
    std::unique_ptr<PB2APISelection, decltype(release)> selection(raw, release);
    if (chosen != 1 || !selection)
        return 0;
    CDestinationLimit limit(m_pOwner, Caption(), m_Sheet.m_nModelType, m_Notifier);
    const int count = std::max(selection->count, 0);
    if (!limit.CheckDestinationCount(static_cast<long long>(RowCount()) + count))
        return 0;
    // The book is opened once for the whole import and let go when it ends: an open book of
    // 50,000 records holds some 75 MB.
    const auto closeBook = [](CPSMainuiLogic* sheet) { sheet->ReleasePhoneBook(); };
    const std::unique_ptr<CPSMainuiLogic, decltype(closeBook)> openBook(&m_Sheet, closeBook);
    int added = 0;
    for (int i = 0; i < count; ++i) {
        CPhoneBookRecord record;
        try {
            if (m_Reader(path, selection->ids[i], record) != 1)
                continue;
        } catch (...) {
            break; // a failing reader ends the import here, without a message
        }
        if (record.nKind != kDestinationFax && record.nKind != kDestinationIFax)
            continue;
        if (Append(CJobDestination(record.strNumber, record.strName, record.nKind, record.bFCode,
                                   record.strSubAddress, record.strPassCode, record.bReceptionConfirm)))
            ++added;
    }
    return added;
}

void CPPSelectDestLogic::SortByColumn(int nColumn)
{
    if (nColumn < 0 || nColumn >= kDestinationColumns)
        return;
    m_Sort.Click(nColumn);
    SortByText(m_Rows, [this, nColumn](size_t index) { return ViewOf(m_Sheet.m_Destinations[index]).strColumns[nColumn]; },
               m_Sort.descending == 1);
}

int CPPSelectDestLogic::OnWizardNext()
{
    if (m_Rows.empty()) {
        if (!AddTyped(0))
            return -1;
    } else if (HasTypedEntry() && !Add()) {
        return -1;
    }
    if (m_bChanged) {
        m_bChanged = 0;
        m_Sheet.m_bChanged = 1;
    }
    if (!m_bSkip) {
        m_Sheet.m_bSkip = 0;
        return IDD_SELECT_COVER;
    }
    m_Sheet.m_bSkip = 1;
    const int model = m_Sheet.m_nModelType;
    const bool oldModel = model == 1 || model == 2;
    // The cover page's choice, as it stood when that page was last left.
    m_Sheet.m_JobParameters.m_bBroadcast = CanBroadcast(m_Sheet.m_Destinations, model, m_Sheet.IsCoverAttached()) ? 1 : 0;
    m_Sheet.m_JobParameters.m_bNotification = oldModel ? 0 : 1;
    return IDD_PREVIEW;
}
