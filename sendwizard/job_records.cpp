#include "sendwizard/job_records.h"

#include "platform/files.h"
#include "platform/known_folders.h"
#include "sendwizard/wizard_strings.h"

#include <strings.h>

CJobDestination::CJobDestination(std::string strNumber, std::string strName, int nKind, int bFCode,
                                 std::string strSubAddress, std::string strPassCode, int bReceptionConfirm)
    : m_strNumber(std::move(strNumber)), m_strName(std::move(strName)), m_nKind(nKind), m_bFCode(bFCode),
      m_strSubAddress(std::move(strSubAddress)), m_strPassCode(std::move(strPassCode)),
      m_bReceptionConfirm(bReceptionConfirm)
{
}

bool IsSameDestination(const CJobDestination& a, const CJobDestination& b)
{
    if (a.m_nKind != b.m_nKind || a.m_strNumber != b.m_strNumber)
        return false;
    if (a.m_nKind == kDestinationIFax)
        return true;
    const bool fcodeA = a.m_bFCode != 0, fcodeB = b.m_bFCode != 0;
    if (fcodeA != fcodeB)
        return false;
    return !fcodeA || (a.m_strSubAddress == b.m_strSubAddress && a.m_strPassCode == b.m_strPassCode);
}

void CJobParameters::Assign(int bBroadcast, int bNotification, int bHeader, std::string strHeaderText, int bFiling,
                            int nFolderType, std::string strFolderName, std::string strFolderPassword,
                            std::string strFilePassword, int bAccount, std::string strAccountNumber,
                            HeaderFont headerFont)
{
    m_bBroadcast = bBroadcast;
    m_bNotification = bNotification;
    m_bHeader = bHeader;
    m_strHeaderText = std::move(strHeaderText);
    m_bFiling = bFiling;
    m_nFolderType = nFolderType;
    m_strFolderName = std::move(strFolderName);
    m_strFolderPassword = std::move(strFolderPassword);
    m_strFilePassword = std::move(strFilePassword);
    m_bAccount = bAccount;
    m_strAccountNumber = std::move(strAccountNumber);
    m_HeaderFont = headerFont;
}

CFaxDocument::CFaxDocument(std::string strSourcePath, const std::vector<CJobDestination>& destinations, int bCover,
                           const std::string& strCoverPath, const std::string& strMemo,
                           platform::LocalTime creationTime)
    : m_strSourcePath(std::move(strSourcePath)), m_bCover(bCover), m_CreationTime(creationTime),
      m_Destinations(destinations)
{
    if (!strCoverPath.empty())
        m_strCoverPath = strCoverPath;
    if (!strMemo.empty())
        m_strMemo = strMemo;
}

std::string CFaxDocument::NewTempFile(int bStore)
{
    const auto folder = platform::knownFolder(platform::KnownFolder::Temp);
    std::string name;
    if (folder && platform::createDirectories(*folder))
        if (auto path = platform::createTempFile(*folder, "FAX"))
            name = std::move(*path);
    if (bStore == 1)
        m_strImagePath = name;
    return name;
}

void CFaxDocument::DeleteFiles()
{
    if (!m_strImagePath.empty())
        platform::removeFile(m_strImagePath);
    if (!m_strLogImagePath.empty())
        platform::removeFile(m_strLogImagePath);
}

std::string CFaxDocument::GetCoverName() const
{
    std::string name = platform::fileNameOf(platform::nativePath(m_strCoverPath));
    if (const size_t dot = name.rfind('.'); dot != std::string::npos)
        name.erase(dot);
    return name;
}

const CJobDestination* CFaxDocument::GetFirstDestination() const
{
    return m_Destinations.empty() ? nullptr : &m_Destinations.front();
}

const char* CJobSummary::GetCompressionName() const
{
    switch (m_nCompression) {
    case 0: return "MMR";
    case 1: return "MH";
    default: return "MR";
    }
}

std::vector<std::string> SplitText(const std::string& strText, char sep)
{
    std::vector<std::string> words;
    if (strText.size() <= 2)
        return words;
    std::string word;
    for (const char c : strText) {
        if (c != sep) {
            word += c;
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    if (!word.empty())
        words.push_back(std::move(word));
    return words;
}

std::string CJobSummary::ExpandHeaderMacros(int nPage, int nTotal) const
{
    std::string line;
    for (const std::string& word : SplitText(m_strHeaderText, ' ')) {
        if (::strcasecmp(word.c_str(), "$DATE") == 0) {
            const platform::LocalTime now = platform::localTime();
            line += platform::formatLocalDate(now) + " " + platform::formatLocalTime(now);
        } else if (::strcasecmp(word.c_str(), "$USER") == 0) {
            line += m_strHeaderUserName;
        } else if (::strcasecmp(word.c_str(), "$TELNO") == 0) {
            line += m_strHeaderTelNumber;
        } else if (::strcasecmp(word.c_str(), "$PAGENO") == 0) {
            line += FormatPageText(WizardString(IDS_PAGENO), nPage, nTotal);
        } else {
            line += word;
        }
        line += ' ';
    }
    return line;
}
