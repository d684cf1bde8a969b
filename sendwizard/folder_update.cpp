#include "sendwizard/folder_update.h"

int ListFoldersWorker(CFilingClient&, const std::string&, const FolderUpdateTarget&, std::vector<CFilingFolder>&)
{
    return kListingFailed;
}

CFolderUpdate::CFolderUpdate(IPrompter& prompter, IPrinterNameEntry& entry, IDiscoverRunner& discover, ApiFactory api,
                             Clock clock)
    : m_Prompter(prompter), m_Entry(entry), m_Discover(discover), m_MakeApi(std::move(api)), m_Clock(std::move(clock))
{
}

bool CFolderUpdate::Update(const FolderUpdateTarget&, std::vector<CFilingFolder>&) { return false; }

int CFolderUpdate::ProtocolVersion() { return 0; }
