#include "sendwizard/command_line.h"

#include <iterator>

int GetPaperIndex(std::string_view strPaper)
{
    for (size_t i = 0; i < std::size(kPaperNames); ++i)
        if (strPaper == kPaperNames[i])
            return static_cast<int>(i);
    return kDefaultPaperIndex;
}

void CWizardCommandLineInfo::ParseParam(std::string_view strParam, bool bFlag)
{
    if (!bFlag) {
        if (m_strFilePath.empty())
            m_strFilePath = strParam;
        return;
    }
    if (strParam.empty())
        return;
    const std::string_view value = strParam.substr(1);
    switch (strParam.front()) {
    case 'S':
        if (strParam.size() > 2)
            m_strPaper = value;
        break;
    case 'C':
        if (strParam.size() > 2)
            m_strCompression = value;
        break;
    case 'P':
        if (strParam.size() > 4)
            m_strPrinter = value;
        break;
    case 'D':
        if (strParam.size() > 4) {
            std::string_view text = value;
            // The driver appends its own part after a colon; the character before it goes too.
            if (const size_t colon = text.find(':'); colon != std::string_view::npos)
                text = text.substr(0, colon == 0 ? 0 : colon - 1);
            m_strText = text;
        }
        break;
    default:
        break;
    }
}

namespace {

// Whether a word that begins with '/' and names no file is a page file that is missing rather than
// a switch. A word of another letter than a switch's is one. A word that holds a second '/' is one
// when its letter is S or C (paper and compression names hold no '/'), or when it comes last with
// no page file before it, where the driver puts the page file: a printer's name or a document's
// text may hold a '/' of its own.
bool IsMissingPath(const std::string& word, bool bLast, bool bHaveFile)
{
    if (word.size() < 2 || word.front() != '/')
        return false;
    const char letter = word[1];
    if (std::string_view("SCPD").find(letter) == std::string_view::npos)
        return true;
    if (word.find('/', 1) == std::string::npos)
        return false;
    return letter == 'S' || letter == 'C' || (bLast && !bHaveFile);
}

} // namespace

CWizardCommandLineInfo ParseWizardCommandLine(const std::vector<std::string>& args, FileExistsFunc fileExists)
{
    CWizardCommandLineInfo info;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool bFile = !arg.empty() && arg.front() == '/' && fileExists && fileExists(arg);
        // A path whose file is missing is no switch; it is kept to name in the failure.
        if (!bFile && IsMissingPath(arg, i + 1 == args.size(), !info.m_strFilePath.empty())) {
            if (info.m_strMissingPath.empty())
                info.m_strMissingPath = arg;
            continue;
        }
        const bool bSwitch = !arg.empty() && (arg.front() == '-' || (arg.front() == '/' && !bFile));
        info.ParseParam(bSwitch ? std::string_view(arg).substr(1) : std::string_view(arg), bSwitch);
    }
    return info;
}
