// Import and export through converter modules, without widgets: the listing of the converters
// under the converter directory, and the Import Tool and Export Tool dialogs' logic that runs a
// chosen converter on a worker behind the progress display.
#pragma once

#include "common/progress_runner.h"
#include "phonebook/store/IBookmanagerTool.h"
#include "platform/com.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class IPrompter;

/// Dialog and control ids.
enum : int {
    IDD_IMPORT = 144,
    IDD_EXPORT = 1013,
    IDC_CONVERTER_LIST = 1014,
    IDC_CONVERTER_TEXT = 1016,
    IDC_CONVERTER_IMPORT = 1017,
    IDC_CONVERTER_CLOSE = 1018,
    IDC_CONVERTER_EXPORT = 1019,
};
/// Texts of the conversions.
enum : uint32_t {
    IDS_IMPORTING = 4007,
    IDS_EXPORTING = 4008,
    IDS_CONVERTING_ERROR = 5004,
    IDS_BACKUP_FAILED = 5005,
};

/// Which way a dialog converts.
enum class ConverterKind { Import, Export };

/// The longest text of a converter, in bytes; a longer one makes the converter unusable.
inline constexpr size_t kMaxConverterText = 259;

/// One usable converter.
struct ConverterInfo {
    std::string strModulePath;     ///< converter folder + module name
    std::string strDisplayName;    ///< name, translated when the translations have it
    std::string strImportFunction; ///< filled for the import dialog
    std::string strExportFunction; ///< filled for the export dialog
    std::string strExtension;      ///< without the dot
    std::string strDescription;    ///< extension description, translated when the translations have it
    std::string strDirectory;      ///< the converter's folder, ending with "/"
};

/// The converter directory: HKLM "ConverterDirectory" of the product key; empty when not set.
std::string ConverterDirectory();
/// The translation language: the default value of HKLM "SOFTWARE\Kovra\TqlStl2\ResourceLocale".
std::string ConverterLanguage();

/// Reads the converter in directory (ending with "/") for a dialog of kind. False when it is
/// unusable: a file missing or unreadable, a node missing, a version other than "1.1", a text over
/// kMaxConverterText bytes, a module name that is not a plain file name, a module that does not
/// load or lacks the dialog's function. Never throws.
bool ReadConverterInfo(const std::string& strDirectory, ConverterInfo& info, ConverterKind kind,
                       const std::string& strLanguage);

/// The usable converters of each folder of directory (none for an empty directory), sorted by
/// display name.
std::vector<ConverterInfo> ListConverters(const std::string& strDirectory, ConverterKind kind,
                                          const std::string& strLanguage);

/// What is done around each run of a converter (the document's backup of the book).
class IConversionGuard {
public:
    virtual ~IConversionGuard() = default;
    /// Before a run; false refuses it (the guard has told the user why).
    virtual bool BeforeRun() = 0;
    /// After a run that returned success (bSucceeded) or failed; answers whether it counts as a
    /// success (the book still loads); otherwise the book has been put back as it was.
    virtual bool AfterRun(bool bSucceeded) = 0;
};

/// The Import Tool or Export Tool dialog without its widgets.
class CDConverterLogic {
public:
    /// book: the phone book object opened on strBookPath (a reference is held); guard: what is
    /// done around each run (none: nothing).
    CDConverterLogic(ConverterKind kind, std::string strBookPath, platform::com::Ptr<IBookmanagerTool> book,
                     IPrompter& prompter, IProgressRunner& progress, IConversionGuard* guard = nullptr);

    ConverterKind Kind() const { return m_Kind; }
    int DialogId() const { return m_Kind == ConverterKind::Import ? IDD_IMPORT : IDD_EXPORT; }
    /// The dialog's caption, static text, action button text and id, and Close's text: strings of
    /// the string table, dialog id x 10000 + control id (control 0: the caption).
    std::string Caption() const;
    std::string Text() const;
    std::string ActionText() const;
    int ActionId() const { return m_Kind == ConverterKind::Import ? IDC_CONVERTER_IMPORT : IDC_CONVERTER_EXPORT; }
    std::string CloseText() const;

    /// Lists the converters (registry directory and language) and clears both flags.
    void Init();
    /// Lists the converters of directory with language instead (tests).
    void Init(const std::string& strDirectory, const std::string& strLanguage);
    const std::vector<ConverterInfo>& Converters() const { return m_Converters; }

    /// Runs the converter at index (action button or double click): the file choice, then the
    /// worker behind the progress display; a failed run (or one the guard does not count as a
    /// success) shows "Converting Error". An index out of range, a cancelled file choice, or a run
    /// the guard refuses, does nothing.
    void Convert(int nIndex);

    /// A run returned success / a run failed (both false after Init).
    bool Succeeded() const { return m_bSucceeded; }
    bool Failed() const { return m_bFailed; }
    /// The file of the last run.
    const std::string& ChosenPath() const { return m_strChosenPath; }

    /// The pause after a successful run (1000 ms; tests shorten it).
    void SetDonePause(std::chrono::milliseconds pause) { m_Pause = pause; }

    /// The worker of a run (public for the tests): true when the module returned 1.
    bool ConvertProc(const ConverterInfo& info, IProgressSink& sink) const;

private:
    std::string ControlText(int nControl) const;

    ConverterKind m_Kind;
    std::string m_strBookPath;
    platform::com::Ptr<IBookmanagerTool> m_pBook;
    IPrompter& m_Prompter;
    IProgressRunner& m_Progress;
    IConversionGuard* m_pGuard;
    std::vector<ConverterInfo> m_Converters;
    std::string m_strChosenPath;
    bool m_bSucceeded = false;
    bool m_bFailed = false;
    std::chrono::milliseconds m_Pause{1000};
};
