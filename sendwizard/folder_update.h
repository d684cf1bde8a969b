// Update Folder on the Set Job Parameter page: the device's address from the printer's port (or as
// the user types it), its document-filing folders listed on a worker behind the busy dialog, and
// the cache "folder.info" kept in step with what was listed.
#pragma once

#include "sendwizard/filing_client.h"
#include "sendwizard/folder_info.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class IPrompter;

/// Runs a worker on a thread of its own behind the busy dialog and waits for it.
class IDiscoverRunner {
public:
    virtual ~IDiscoverRunner() = default;
    /// 0 on success, else a failure code (999 in this program).
    using Worker = std::function<int()>;
    /// Cancel is shown when nCancelA is 1 and works when either flag is 1. The result code: 0 when
    /// the worker succeeded, 1 when the user cancelled, else the worker's failure code.
    virtual int Run(const std::string& strCaption, const std::string& strText, int nCancelA, int nCancelB,
                    const Worker& worker) = 0;
};

/// The printer-name entry.
class IPrinterNameEntry {
public:
    virtual ~IPrinterNameEntry() = default;
    /// False when the user cancelled; else true with the (non-empty) text typed.
    virtual bool Ask(std::string& strText) = 0;
};

/// What an update works on: the sheet's printer and port, and the cache file.
struct FolderUpdateTarget {
    std::string strPrinter, strPortName;
    std::string strFolderInfoPath;
};

/// The failure code of the listing worker.
inline constexpr int kListingFailed = 999;

/// The texts of an update.
enum : uint32_t {
    IDS_UPDATING_FOLDERS = 613, ///< "Updating Folder List...": the busy dialog's caption
    IDS_UPDATING = 614,         ///< "Updating...": its text
    IDS_MAIN_FOLDER = 624,      ///< "Main Folder"
    IDS_NO_FOLDERS = 3001,      ///< the typed address gave no folders
    IDS_ASK_ADDRESS = 3002,     ///< no device address: type one?
};

/// The listing worker: lists the folders of the device at strAddress, appends them to folders
/// (type 1, size, time stamp, protection) and writes "folder.info". 0, or kListingFailed.
int ListFoldersWorker(CFilingClient& client, const std::string& strAddress, const FolderUpdateTarget& target,
                      std::vector<CFilingFolder>& folders);

class CFolderUpdate {
public:
    using ApiFactory = std::function<std::unique_ptr<IFilingApi>()>;
    /// The current system time as a FILETIME (100 ns units since 1601-01-01 UTC).
    using Clock = std::function<uint64_t()>;

    /// api: mfplink's exports unless given; clock: the system clock unless given.
    CFolderUpdate(IPrompter& prompter, IPrinterNameEntry& entry, IDiscoverRunner& discover, ApiFactory api = {},
                  Clock clock = {});

    /// Runs Update Folder. True when folders was replaced by the list to show (the listed folders
    /// after the main folder, or the cached ones after a failure); false when the update stopped
    /// before listing (the client would not start, or the user gave no address), folders untouched.
    bool Update(const FolderUpdateTarget& target, std::vector<CFilingFolder>& folders);

    /// The address of the last listing.
    const std::string& Address() const { return m_strAddress; }

    /// The document-filing protocol version (1 or less: names only).
    int ProtocolVersion();

private:
    std::unique_ptr<IFilingApi> MakeApi() const;
    /// STRING 3002, then the printer-name entry: false when the user gave no address.
    bool AskForAddress(std::string& strAddress);

    IPrompter& m_Prompter;
    IPrinterNameEntry& m_Entry;
    IDiscoverRunner& m_Discover;
    ApiFactory m_MakeApi;
    Clock m_Clock;
    std::string m_strAddress;
};
