#include "phonebook/editor/editor_dialogs_logic.h"

#include "common/prompter.h"
#include "common/resource_locale.h"
#include "phonebook/editor/record_list_logic.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/text.h"

namespace {

// The phone book dialogs' refusals shown with the editor's texts of the same ids.
class CEditorNotifier : public IMessageNotifier {
public:
    explicit CEditorNotifier(IPrompter& prompter) : m_Prompter(prompter) {}
    void Notify(void* /*owner*/, int textId, const std::string& caption, unsigned icon) override
    {
        m_Prompter.MessageBox(LoadResourceString(static_cast<uint32_t>(textId)), caption, icon);
    }

private:
    IPrompter& m_Prompter;
};

} // namespace

bool CDFolderNameLogic::Accept()
{
    if (m_strName.empty()) {
        m_Prompter.MessageBox(LoadResourceString(IDS_EMPTY_FOLDER_NAME), LoadResourceString(IDS_EDITOR_TITLE),
                              MB_ICONEXCLAMATION);
        return false;
    }
    CEditorNotifier notifier(m_Prompter);
    return AcceptFolderName(notifier, LoadResourceString(IDS_EDITOR_TITLE), m_strName, m_InUse);
}

std::string ReadAboutNotice(const std::string& strFolder)
{
    const std::string notice =
        platform::readProfileString("TagInfo", "Misc", "", platform::joinPath(strFolder, "DATA.TAG"));
    return std::string(platform::utf8Prefix(notice, kMaxAboutNotice));
}
