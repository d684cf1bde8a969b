// The send wizard's text, icon and bitmap ids (its English texts are in resources/enu.txt).
#pragma once

#include <cstdint>
#include <string>

enum : uint32_t {
    IDS_ABOUTBOX = 101,          ///< system menu entry of the About box
    IDS_CAPTION = 128,           ///< "Qelta Driver": the sheet's caption and every message box's
    IDS_PAGENO = 623,            ///< " P.%03d/%03d"
    IDS_IMAGEKIT_FAILED = 2003,  ///< the imaging libraries did not load
    IDS_UNKNOWN_ERROR = 2004,    ///< the work file is not an image
    IDS_UNKNOWN_JOB = 3000,      ///< "UNKNOWN": the document name of a job without a name
    IDS_INVALID_PRINTER = 3115,  ///< the user-defined printer cannot be used
    IDS_HELP_MISSING = 3200,     ///< the help file cannot be opened
    IDI_MAINFRAME = 128,         ///< the sheet's icon
    IDB_WATERMARK = 130,
    IDB_HEADER = 131,
};

/// A text of the wizard: from the language module in force, else the English tables.
std::string WizardString(uint32_t id);

/// Formats a page text such as " P.%03d/%03d": the first two "%d" conversions (with an optional
/// zero flag and width up to 9) take page and total; "%%" is a percent sign; anything else is
/// copied as it stands, so a translated text can never read arguments it was not given.
std::string FormatPageText(const std::string& format, int nPage, int nTotal);
