#include "common/program_start.h"

#include "common/registry_helper.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/process.h"

std::string SettingProgramPath(const std::string& strStored)
{
    const std::string path = platform::nativePath(strStored);
    if (path.find('/') != std::string::npos)
        return path;
    return platform::joinPath(platform::parentPath(platform::programPath()), path);
}

std::vector<std::string> ViewerArguments(const std::string& strTitle, const std::string& strPath, bool bEdit)
{
    std::vector<std::string> args;
    if (bEdit)
        args.push_back("/Edit");
    args.push_back("/T\"" + strTitle + "\"");
    args.push_back("/P");
    args.push_back("\"" + strPath + "\"");
    return args;
}

bool StartSettingProgram(const char* valueName, const std::vector<std::string>& args)
{
    const std::string program =
        CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).ReadString(kProductSubkey, valueName, "");
    return !program.empty() && platform::startDetached(SettingProgramPath(program), args);
}
