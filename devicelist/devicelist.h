// devicelistlib: the printer the user chose for faxes, kept in two values of the user's settings
// (HKCU "SOFTWARE\Kovra\TqlStl2": "UseUserDefinedPrinter" and "UserDefinedPrinter"). The driver
// environment program sets them; the send wizard reads them.
#pragma once

#include <string>

/// The value that says whether the user-defined printer is in use (32-bit number, 0 or 1).
inline constexpr const char* kUseUserDefinedPrinterValue = "UseUserDefinedPrinter";
/// The value that holds the user-defined printer's name.
inline constexpr const char* kUserDefinedPrinterValue = "UserDefinedPrinter";

/// Nonzero when the user-defined printer is in use.
int DEVICELISTLIB_GetIsUseUserDefinedPrinter();
/// Nonzero when a stored printer name was put into strPrinter (left as it was otherwise).
int DEVICELISTLIB_GetUserDefinedPrinter(std::string& strPrinter);
/// Nonzero when the print system knows a printer of that name.
int DEVICELISTLIB_ValidPrinter(const std::string& strPrinter);
