#include "sendwizard/folder_update.h"

#include "common/prompter.h"
#include "sendwizard/sheet_logic.h"
#include "sendwizard/wizard_strings.h"

#include <chrono>
#include <cstring>

namespace {

// FILETIME counts 100 ns units from 1601-01-01 UTC; this many lie before 1970-01-01.
constexpr uint64_t kFileTimeAtUnixEpoch = 116444736000000000ULL;

uint64_t SystemFileTime()
{
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return kFileTimeAtUnixEpoch
        + static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100);
}

} // namespace

int ListFoldersWorker(CFilingClient& client, const std::string& strAddress, const FolderUpdateTarget& target,
                      std::vector<CFilingFolder>& folders)
{
    if (!client.Initialize())
        return kListingFailed;
    DfapiListing* listing = client.ListFile(CPSMainuiLogic::MakeFilingTarget(strAddress));
    if (!listing)
        return kListingFailed;
    MFPIF_DFAPI_FileInfo record;
    while (client.NextFile(listing, record) == 1) {
        // Folders and files are kept; anything else the device reports is not a place to file in.
        if ((record.dir != 1 && record.dir != 2) || folders.size() >= static_cast<size_t>(kMaxCachedFolders))
            continue;
        CFilingFolder folder;
        folder.strName.assign(record.name, ::strnlen(record.name, sizeof record.name));
        folder.nSize = record.size;
        folder.nLowDateTime = record.dateLow;
        folder.nHighDateTime = record.dateHigh;
        folder.bPassword = record.password;
        folder.nFolderType = kFolderListed;
        folders.push_back(std::move(folder));
    }
    client.CloseFile(listing);
    client.Terminate();
    // The list is shown even when the cache cannot be written; the old cache then stays as it was.
    WriteFolderInfo(target.strFolderInfoPath, target.strPortName, folders);
    return 0;
}

CFolderUpdate::CFolderUpdate(IPrompter& prompter, IPrinterNameEntry& entry, IDiscoverRunner& discover, ApiFactory api,
                             Clock clock)
    : m_Prompter(prompter), m_Entry(entry), m_Discover(discover), m_MakeApi(std::move(api)),
      m_Clock(clock ? std::move(clock) : Clock(SystemFileTime))
{
}

// Null leaves the client to bind mfplink itself.
std::unique_ptr<IFilingApi> CFolderUpdate::MakeApi() const { return m_MakeApi ? m_MakeApi() : nullptr; }

bool CFolderUpdate::AskForAddress(std::string& strAddress)
{
    if (m_Prompter.MessageBox(WizardString(IDS_ASK_ADDRESS), WizardString(IDS_CAPTION), MB_YESNO | MB_ICONQUESTION)
        != IDYES)
        return false;
    std::string typed;
    if (!m_Entry.Ask(typed) || typed.empty())
        return false;
    // The text is used as it stands, as a host name or an address (with a port when given).
    strAddress = std::move(typed);
    return true;
}

bool CFolderUpdate::Update(const FolderUpdateTarget& target, std::vector<CFilingFolder>& folders)
{
    CFilingClient client(MakeApi());
    if (!client.Initialize()) {
        m_Prompter.MessageBox(WizardString(IDS_UNKNOWN_ERROR), WizardString(IDS_CAPTION), MB_ICONEXCLAMATION);
        return false;
    }
    std::string address;
    bool bManual = false;
    if (!client.GetIPAddrByPrinterPort(target.strPrinter, target.strPortName, address)) {
        if (!AskForAddress(address)) {
            client.Terminate();
            return false;
        }
        bManual = true;
    }

    std::vector<CFilingFolder> records(1);
    CFilingFolder& main = records.front();
    main.strName = WizardString(IDS_MAIN_FOLDER);
    main.nFolderType = kFolderMain;
    const uint64_t now = m_Clock();
    main.nLowDateTime = static_cast<uint32_t>(now);
    main.nHighDateTime = static_cast<uint32_t>(now >> 32);

    for (;;) {
        m_strAddress = address;
        // The worker fills a list of its own; the records change only once the dialog has closed.
        std::vector<CFilingFolder> listed = records;
        const int result = m_Discover.Run(WizardString(IDS_UPDATING_FOLDERS), WizardString(IDS_UPDATING), 0, 0,
                                          [&] { return ListFoldersWorker(client, m_strAddress, target, listed); });
        if (result == 0) {
            folders = std::move(listed);
            return true;
        }
        if (bManual) {
            m_Prompter.MessageBox(WizardString(IDS_NO_FOLDERS), WizardString(IDS_CAPTION), MB_ICONEXCLAMATION);
            client.Terminate();
            folders = ReadFolderInfo(target.strFolderInfoPath, target.strPortName);
            return true;
        }
        if (!AskForAddress(address)) {
            client.Terminate();
            folders = std::move(records);
            return true;
        }
        bManual = true;
    }
}

int CFolderUpdate::ProtocolVersion() { return CFilingClient(MakeApi()).GetProtocolVersion(); }
