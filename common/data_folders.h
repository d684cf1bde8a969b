// The per-user data folders: the base folder chain, the company folder from the install tag file,
// and the phone book and cover sheet folders built from them.
#pragma once

#include "platform/files.h"

#include <cstddef>
#include <string>
#include <vector>

/// The classic path buffer size the folder helpers fill.
inline constexpr size_t kMaxPathBytes = 260;
/// A buffer that takes any path the system opens (PATH_MAX), for a path handed back through a
/// sized buffer: a book in a long phone book folder is then opened where it is, not at a cut path.
inline constexpr size_t kWholePathBytes = 4096;

/// Shell folder identifiers the base folder chain asks for.
enum : int {
    CSIDL_PERSONAL = 5,             ///< the user's documents
    CSIDL_APPDATA = 26,             ///< the user's application data
    CSIDL_LOCAL_APPDATA = 28,       ///< the user's local application data
    CSIDL_COMMON_APPDATA = 35,      ///< application data of every user
};

/// The shell folder for csidl, cut to the buffer. 1 and the folder, or 0 and an empty buffer.
int LoadShellFolderPath(char* buffer, size_t size, int csidl);

/// The per-user base folder: the first of application data, common application data, local
/// application data and documents that resolves, else the temporary folder; one trailing separator
/// removed. 1 when it fits the buffer with its terminator; otherwise 0 and an empty buffer.
int GetDataBaseFolder(char* buffer, size_t size);

/// The company folder name: "Company" in section "TagInfo" of "DATA.TAG" in the install directory
/// (HKLM "TQL Directory"); empty when there is none.
std::string GetCompanyName();

/// The folder that the registry value valueName (HKCU, product key) names; when it is empty, the
/// base folder + "/" + the company + tail (tail starts with "/"; no empty level for an empty
/// company), which is then stored in valueName. Missing levels are
/// created. Empty when no base folder can be had.
std::string GetUserDataDirectory(const char* valueName, const char* tail);

/// The phone book directory: HKCU "PhonebookDirectory", else base/company/qelta/phonebook.
std::string GetPhoneBookDirectory();

/// The folder a cover sheet folder setting ("CvrFile") names: a value ending in "/" names itself,
/// any other its parent ("./" for a bare name). Windows separators are taken as "/" and a doubled
/// separator as one; the answer ends in "/". Empty for an empty value.
std::string CoverFolderOfValue(const std::string& strValue);

/// The cover sheet folder: the folder that the setting names (CoverFolderOfValue), ending in "/".
/// The setting is HKCU "CvrFile"; when empty, HKLM "CvrFile", else the default
/// base/company/qelta/cvrfile/ (no empty level for an empty company), which is then stored in HKCU.
/// The folder is made when missing. Empty when no base folder can be had.
std::string GetCoverFolder();

/// The cover sheet folder that this user's setting (HKCU "CvrFile") names now, by the same rule,
/// read without storing a default or making a folder. Empty when the user has none.
std::string ReadCoverFolder();

/// The work folder inside a cover sheet folder where the cover previews go: the folder, a "/"
/// when it has none at its end, and "TMP". Empty for an empty folder.
std::string CoverWorkFolderOf(const std::string& coverFolder);

/// Makes the suite's folders of this user (the user's registry hive, the phone books, the sending
/// log, the cover sheets, the result monitor's kept notices and remembered port) this user's alone
/// where an earlier run left them open to others (see platform::mendPrivateFolder), after the
/// folders they lie in (see platform::mendPrivateRoots). Every program calls it as it starts; it
/// makes no folder. The folders of this user's that another user holds, where nothing was changed
/// (a start under another user with this user's home): a windowed program shows them
/// (WarnOfForeignFolders).
std::vector<platform::ForeignFolder> MendUserFolders();
