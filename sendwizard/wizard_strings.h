// The send wizard's text, icon and bitmap ids (its English texts are in resources/enu.txt).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

enum : uint32_t {
    IDS_ABOUTBOX = 101,          ///< system menu entry of the About box
    IDS_ABOUT_VERSION = 102,     ///< "Version %s": the About box's line for the build's version
    IDS_CAPTION = 128,           ///< "Qelta Driver": the sheet's caption and every message box's
    IDS_FAX_NUMBER = 310,        ///< "FAX Number": a column, and the cover preview's number
    IDS_NAME = 311,              ///< "Name": a column, and the cover preview's name
    IDS_SELECT_COVER_FOLDER = 403,
    IDS_PREVIEW = 500,           ///< "Preview"
    IDS_ZOOM_PERCENT = 510,      ///< "%d %%"
    IDS_CREATING_IMAGE = 511,    ///< "Creating FAX Image ..."
    IDS_PAGE_OF = 512,           ///< "%d / %d": the page shown and the page count
    IDS_PAGENO = 623,            ///< " P.%03d/%03d"
    IDS_NO_COVER = 706,          ///< "No cover sheet was selected."
    IDS_FILING_TEMP = 712,       ///< "ON , TempFolder"
    IDS_FILING_FOLDER = 713,     ///< "ON , FolderName = %s"
    IDS_FILING_OFF = 714,        ///< "OFF"
    IDS_SENDING = 721,           ///< "Sending Job Data"
    IDS_DONE = 722,              ///< "DONE"
    IDS_QUIT = 750,              ///< "Quit or not?"
    IDS_NO_COVER_SELECTED = 2000,
    IDS_NO_MR = 2002,            ///< the model does not take "MR"
    IDS_IMAGE_TOO_LARGE = 2005,
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

/// Fills the "%s" conversions of a text in turn with args ("%%" is a percent sign); a "%s" beyond
/// the arguments given stays as it stands.
std::string FormatText(const std::string& format, std::initializer_list<std::string> args);

/// The text of a control of a page or dialog: the string dialog id x 10000 + control id.
std::string ControlText(int nDialogId, int nControlId);
