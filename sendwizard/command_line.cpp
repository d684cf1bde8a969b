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

CWizardCommandLineInfo ParseWizardCommandLine(const std::vector<std::string>& args, FileExistsFunc fileExists)
{
    CWizardCommandLineInfo info;
    for (const std::string& arg : args) {
        const bool bSwitch = !arg.empty() && (arg.front() == '-' || (arg.front() == '/' && !(fileExists && fileExists(arg))));
        // A path whose file is missing reads as an unknown switch; it is kept to name in the failure.
        if (bSwitch && arg.front() == '/' && arg.size() > 1 && std::string_view("SCPD").find(arg[1]) == std::string_view::npos
            && info.m_strMissingPath.empty())
            info.m_strMissingPath = arg;
        info.ParseParam(bSwitch ? std::string_view(arg).substr(1) : std::string_view(arg), bSwitch);
    }
    return info;
}
