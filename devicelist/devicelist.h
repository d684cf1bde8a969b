// devicelistlib: the printer the user chose for faxes, kept in two values of the user's settings
// (HKCU "SOFTWARE\Kovra\TqlStl2": "UseUserDefinedPrinter" and "UserDefinedPrinter"), and the list
// of the print system's printers as the last update found them. The driver environment program
// sets the values; the send wizard reads them.
#pragma once

#include <chrono>
#include <string>

/// The value that says whether the user-defined printer is in use (32-bit number, 0 or 1).
inline constexpr const char* kUseUserDefinedPrinterValue = "UseUserDefinedPrinter";
/// The value that holds the user-defined printer's name.
inline constexpr const char* kUserDefinedPrinterValue = "UserDefinedPrinter";
/// How long an update waits for the print system: a slow or unreachable server fails the update.
inline constexpr std::chrono::milliseconds kPrinterListTimeLimit{5000};

/// Nonzero when the user-defined printer is in use.
int DEVICELISTLIB_GetIsUseUserDefinedPrinter();
/// Stores whether the user-defined printer is in use (any nonzero flag is stored as 1); nonzero
/// when stored.
int DEVICELISTLIB_SetIsUseUserDefinedPrinter(int bUse);
/// Nonzero when a stored printer name was put into strPrinter (left as it was otherwise).
int DEVICELISTLIB_GetUserDefinedPrinter(std::string& strPrinter);
/// Stores the user-defined printer's name; nonzero when stored.
int DEVICELISTLIB_SetUserDefinedPrinter(const std::string& strPrinter);
/// Nonzero when the print system knows a printer of that name.
int DEVICELISTLIB_ValidPrinter(const std::string& strPrinter);

/// Rebuilds the list from the print system's destinations (within kPrinterListTimeLimit). The
/// owner (the calling page) is not used. 0 on failure, which keeps the list as it was.
int DEVICELISTLIB_UpdatePrinterList(void* pOwner);
/// The number of listed printers; negative when there is no list (the first update, which this
/// makes when none was made yet, failed).
int DEVICELISTLIB_GetNumberOfListedPrinter();
/// Nonzero when entry nIndex was put into strEntry: the model, the printer name and the location
/// joined by ":". A ":" in a model is listed as a blank, and a printer whose name holds ":" is not
/// listed, so the first two ":" split an entry; the location may hold more.
int DEVICELISTLIB_GetPrinterList(int nIndex, std::string& strEntry);
