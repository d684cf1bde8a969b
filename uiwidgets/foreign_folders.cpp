#include "uiwidgets/foreign_folders.h"

#include "common/prompter.h"
#include "common/resource_locale.h"

namespace {

// The text of id with its "%s" and each "%u" filled in.
std::string FilledText(unsigned id, const std::string& strFolder, unsigned nOwner)
{
    std::string text = LoadResourceString(id);
    if (const size_t at = text.find("%s"); at != std::string::npos)
        text.replace(at, 2, strFolder);
    const std::string owner = std::to_string(nOwner);
    for (size_t at = text.find("%u"); at != std::string::npos; at = text.find("%u", at + owner.size()))
        text.replace(at, 2, owner);
    return text;
}

} // namespace

void WarnOfForeignFolders(const std::vector<platform::ForeignFolder>& folders, IPrompter& prompter)
{
    for (const platform::ForeignFolder& folder : folders)
        prompter.MessageBox(FilledText(IDS_SHARED_FOREIGN_HOME, folder.path, folder.owner), {}, MB_ICONWARNING);
}

std::string FolderUnusableText(const std::string& strFolder)
{
    return FilledText(IDS_SHARED_FOLDER_UNUSABLE, strFolder, 0);
}
