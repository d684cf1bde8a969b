// The send wizard's job records: destinations, the settings the pages collect, the fax documents
// (one job each) and the frozen job summary the preview and send steps read.
#pragma once

#include "platform/system_info.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#pragma pack(push, 1)
/// A font as the suite stores it (60 bytes); heights are in screen pixels at 96 per inch.
struct LOGFONTA {
    int32_t lfHeight = 0, lfWidth = 0, lfEscapement = 0, lfOrientation = 0, lfWeight = 0;
    uint8_t lfItalic = 0, lfUnderline = 0, lfStrikeOut = 0, lfCharSet = 0;
    uint8_t lfOutPrecision = 0, lfClipPrecision = 0, lfQuality = 0, lfPitchAndFamily = 0;
    char lfFaceName[32] = {};
};
#pragma pack(pop)
static_assert(sizeof(LOGFONTA) == 60 && offsetof(LOGFONTA, lfFaceName) == 28, "LOGFONTA layout");

/// The header font of a job: none until the user picks one.
using HeaderFont = std::optional<LOGFONTA>;

/// Destination kinds.
enum : int { kDestinationFax = 0, kDestinationIFax = 1 };

/// One destination of a job.
class CJobDestination {
public:
    CJobDestination(std::string strNumber, std::string strName, int nKind, int bFCode, std::string strSubAddress,
                    std::string strPassCode, int bReceptionConfirm);
    virtual ~CJobDestination() = default;
    CJobDestination(const CJobDestination&) = default;
    CJobDestination& operator=(const CJobDestination&) = default;

    std::string m_strNumber;  ///< the fax number, or the address of an Internet fax destination
    std::string m_strName;
    int m_nKind;              ///< kDestinationFax or kDestinationIFax
    int m_bFCode;
    std::string m_strSubAddress;
    std::string m_strPassCode;
    int m_bReceptionConfirm;
};

/// Whether two destinations reach the same place, so that a job lists it once: the same kind and
/// address, and for a fax the same F-code sub-address and pass code. Texts compare exactly, as
/// records of a book compare by id; the name (unless the first row has none) and reception confirm
/// are the first row's to keep.
bool IsSameDestination(const CJobDestination& a, const CJobDestination& b);

/// The settings the wizard's pages fill.
struct CJobParameters {
    int m_bBroadcast = 1;
    int m_bNotification = 1;
    int m_bHeader = 0;
    std::string m_strHeaderText;
    int m_nFolderType = 0;
    std::string m_strFolderName;
    std::string m_strFolderPassword;
    std::string m_strFilePassword;
    int m_bAccount = 0;
    std::string m_strAccountNumber;
    HeaderFont m_HeaderFont;
    int m_bFiling = 0;

    /// Takes the values in the order the job parameters page gives them.
    void Assign(int bBroadcast, int bNotification, int bHeader, std::string strHeaderText, int bFiling,
                int nFolderType, std::string strFolderName, std::string strFolderPassword,
                std::string strFilePassword, int bAccount, std::string strAccountNumber, HeaderFont headerFont);
};

/// One fax job: the work file, its destinations and the files the preview steps make.
class CFaxDocument {
public:
    /// Copies the destinations; the cover sheet path and the memo are taken only when not empty.
    CFaxDocument(std::string strSourcePath, const std::vector<CJobDestination>& destinations, int bCover,
                 const std::string& strCoverPath, const std::string& strMemo, platform::LocalTime creationTime);

    /// Creates a new empty job temporary file "FAX..." in the temporary folder and returns its
    /// name (empty when none can be made); with bStore 1 it also becomes the image path.
    std::string NewTempFile(int bStore);
    /// Deletes the image file and the log image file (their names stay).
    void DeleteFiles();
    /// The cover sheet's file name without folder and extension.
    std::string GetCoverName() const;
    /// The first destination; null when there is none.
    const CJobDestination* GetFirstDestination() const;

    std::string m_strSourcePath;
    std::string m_strImagePath;
    std::string m_strLogImagePath;
    int m_bCover = 0;
    std::string m_strCoverPath;
    std::string m_strMemo;
    platform::LocalTime m_CreationTime;
    std::vector<CJobDestination> m_Destinations;
};

/// The frozen settings of one preview.
struct CJobSummary {
    int m_nCompression = 0; ///< 0 MMR, 1 MH, 2 MR
    int m_bBroadcast = 1;
    int m_bNotification = 1;
    int m_bHeader = 0;
    std::string m_strHeaderText;
    int m_bFiling = 0;
    int m_nFolderType = 0;
    std::string m_strFolderName;
    std::string m_strFolderPassword;
    std::string m_strFilePassword;
    std::string m_strUserName;
    std::string m_strUserID;          ///< "UserIDString"
    std::string m_strAccountNumber;
    int m_bAccount = 0;
    std::string m_strHeaderUserName;  ///< "HeaderUserName"
    std::string m_strHeaderTelNumber; ///< "HeaderTelNumber"
    HeaderFont m_HeaderFont;
    std::string m_strJobName;

    /// "MMR" for 0, "MH" for 1, "MR" otherwise.
    const char* GetCompressionName() const;
    /// The header line of one page: the header text's words with $DATE, $USER, $TELNO and
    /// $PAGENO replaced (without regard to case), each followed by one space; empty for no words.
    std::string ExpandHeaderMacros(int nPage, int nTotal) const;
};

/// Splits text at sep: texts of two characters or fewer give no words; runs of separators give
/// no empty words.
std::vector<std::string> SplitText(const std::string& strText, char sep);
