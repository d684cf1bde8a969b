// A trial run of the send wizard on a machine without printer, device or network: the component
// servers registered in the state root (QELTA_ROOT), the settings the wizard and the servers read,
// a sample cover sheet, and a multi-page sample fax written as the printer driver writes its work
// files. The job stream goes to the file "FileOutput" names instead of a print queue.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

/// The component servers a fax job goes through, in the order they are registered.
inline constexpr const char* kJobServers[] = {"qeltamd5lib.dll", "resultreceiver.dll", "cryptotool.dll",
                                              "sendlog.dll",     "jobbuilder.dll",     "covertool.dll",
                                              "booktool.dll"};

/// Registers the classes of each named server library in the current state root. The names of
/// the servers that could not be registered, each with its reason; empty when all were.
std::vector<std::string> RegisterServerLibraries(std::span<const char* const> names);

/// Registers every server of kJobServers, as RegisterServerLibraries does.
inline std::vector<std::string> RegisterJobServers() { return RegisterServerLibraries(kJobServers); }

/// The printer the trial run names on the wizard's command line (no print queue needs to exist).
inline constexpr const char* kSamplePrinter = "Qelta Fax";
/// Pages of the sample fax.
inline constexpr int kSamplePages = 3;

/// Where the trial run keeps things, all below the state root.
struct CSampleRun {
    std::string m_strSpoolFolder; ///< where the work files are written
    std::string m_strWorkFile;    ///< the sample fax: the wizard's work file (it deletes it when it closes)
    std::string m_strStreamFile;  ///< HKLM "FileOutput": the job stream (P.0, P.1, ... once P exists)
    std::string m_strLogFolder;   ///< HKCU "LogDirectory": the sending log
    std::string m_strCoverFolder; ///< HKCU "CvrFile": the cover sheets, with a sample one
    std::string m_strRunMark;     ///< what the state root held when the run was prepared
    /// The wizard's command line (without the program), as the printer driver passes it.
    std::vector<std::string> m_Args;
};

/// The trial run's folders and stream file in the current state root, without a work file or
/// command line (nothing when QELTA_ROOT is not set).
std::optional<CSampleRun> SampleRunPaths();

/// Prepares the current state root for a run: registers the servers, writes the settings anew
/// (each read back, so a setting that cannot be kept is reported), writes the sample cover sheet when
/// the cover folder has none by that name and the sample phone book when there is none, writes a
/// new sample fax as a work file of a new name, and notes what the state root holds before the run
/// (so FindSampleResults tells this run's results from earlier ones'). Nothing, with the reason in
/// strError, when any of it fails.
std::optional<CSampleRun> PrepareSampleRun(std::string& strError);

/// Prepares the state root as PrepareSampleRun does, without a work file or run mark, for a
/// trial run of the cover sheet editor: the sample cover sheet's path, or nothing with the reason.
std::optional<std::string> PrepareSampleCover(std::string& strError);

/// Writes nPages (1 to 99) A4 pages at 200 dpi, each with its number in large figures, through the
/// printer driver's page writer (PackBits). False when the file could not be written (it is then
/// not left behind).
bool WriteSampleFax(const std::string& strPath, int nPages);

/// The sample phone book the trial run's Phonebook... button lists: fax and Internet-fax records,
/// a group and favourites, and a folder with two more records.
inline constexpr const char* kSampleBookName = "Sample";
/// A fax record of the sample phone book.
inline constexpr const char* kSampleBookFaxName = "Anna Berg";
/// The sample phone book's folder.
inline constexpr const char* kSampleBookFolder = "Customers";

/// Writes the sample phone book through the phone book store when the book does not exist yet (a
/// book kept from an earlier run stays as it is). False with the reason when it cannot be written.
bool WriteSamplePhoneBook(std::string& strError);
/// The sample phone book's file in the current state root (empty without a phone book folder).
std::string SamplePhoneBookPath();

/// What the current run made: every job stream file and sending log entry that did not exist when
/// the run was prepared, and the wizard's step failure logs written since then (each with the text
/// it holds). Empty when prepare has not run in this state root.
struct CSampleResults {
    std::vector<std::string> m_StreamFiles;
    std::vector<std::string> m_LogEntries;
    std::vector<std::pair<std::string, std::string>> m_FailureLogs; ///< path, text
};
CSampleResults FindSampleResults(const CSampleRun& run);

/// A PJL header value of a job stream ("@PJL SET <name>=", its quotes taken off); nothing when the
/// header has no such line.
std::optional<std::string> PjlHeaderValue(const std::string& stream, const std::string& name);

/// The newest job stream of the state root (by its time) and what a result notice for it carries.
struct CSampleJob {
    std::string m_strStreamFile;
    std::string m_strJobName;   ///< JOBNAME
    std::string m_strSpoolTime; ///< SPOOLTIME
    std::string m_strNotify;    ///< IPADDRESS: where the result monitor listened ("address:port"), or empty
};
/// Nothing when there is no job stream or its header cannot be read.
std::optional<CSampleJob> NewestSampleJob(const CSampleRun& run);

/// The newest sending log entry with a cookie: its folder and status; nothing when there is none.
struct CSampleLogEntry {
    std::string m_strFolder;
    int32_t m_nStatus = 0;
};
std::optional<CSampleLogEntry> FindSampleLogEntry(const std::string& strCookie);
