// The send wizard's command line: the work file and the switches the printer driver passes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

/// Paper names in the order of their codes (the index is the paper code the job builder takes).
inline constexpr const char* kPaperNames[] = {"A3",  "B4",     "A4R",    "A4",  "B5",    "B5R",
                                              "A5",  "A5R",    "85x11",  "85x11R", "85x14", "11x17",
                                              "55x85", "85x13", "8K",     "16K", "16KR"};
/// The paper code used for names that are not in the table (A4).
inline constexpr int kDefaultPaperIndex = 3;

/// The paper code of a paper name: exact, case-sensitive match in table order; A4 (3) when unknown.
int GetPaperIndex(std::string_view strPaper);

/// What the command line gives the wizard; every text starts empty.
struct CWizardCommandLineInfo {
    std::string m_strFilePath;    ///< the work file (the first parameter that is no switch)
    std::string m_strPaper;       ///< S: paper name
    std::string m_strCompression; ///< C: "MMR", "MH" or "MR"
    std::string m_strPrinter;     ///< P: printer used when no user-defined printer is set
    std::string m_strText;        ///< D: the document text of the job
    std::string m_strMissingPath; ///< the first "/" argument that names no file and is no switch

    /// Takes one parameter: a switch (its prefix already removed) when bFlag, else a file name.
    void ParseParam(std::string_view strParam, bool bFlag);
};

/// Tells whether a file exists (the parser asks it about arguments starting with '/').
using FileExistsFunc = bool (*)(const std::string& path);

/// Parses the arguments (without the program name). "-" begins a switch; so does "/" unless the
/// argument names an existing file or reads as a path whose file is missing: another letter than
/// S, C, P or D, or a second "/" after S or C, or after P or D in the last argument when no file
/// came before it. Everything else is a file name.
CWizardCommandLineInfo ParseWizardCommandLine(const std::vector<std::string>& args, FileExistsFunc fileExists);
