#include "phonebook/editor/editor_dialogs_logic.h"

#include "common/prompter.h"
#include "common/resource_locale.h"
#include "phonebook/editor/record_list_logic.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/text.h"

bool CDFolderNameLogic::Accept()
{
    if (!m_strName.empty())
        return true;
    m_Prompter.MessageBox(LoadResourceString(IDS_EMPTY_FOLDER_NAME), LoadResourceString(IDS_EDITOR_TITLE),
                          MB_ICONEXCLAMATION);
    return false;
}

std::string ReadAboutNotice(const std::string& strFolder)
{
    const std::string notice =
        platform::readProfileString("TagInfo", "Misc", "", platform::joinPath(strFolder, "DATA.TAG"));
    return std::string(platform::utf8Prefix(notice, kMaxAboutNotice));
}
