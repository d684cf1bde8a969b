#include "sendwizard/destination_checks.h"

#include "sendwizard/printer_info.h"
#include "sendwizard/wizard_strings.h"

int DestinationLimitTextFor(int nModelType) { return nModelType >= 0 && nModelType <= 3 ? 3110 + nModelType : 3114; }

void CPrompterNotifier::Notify(void* /*owner*/, int textId, const std::string& caption, unsigned icon)
{
    m_nLastTextId = textId;
    m_Prompter.MessageBox(WizardString(static_cast<uint32_t>(textId)), caption, icon);
}

bool CPrompterNotifier::AskYesNo(void* /*owner*/, int textId, const std::string& caption)
{
    return m_Prompter.MessageBox(WizardString(static_cast<uint32_t>(textId)), caption, MB_YESNO | MB_ICONQUESTION)
           == IDYES;
}

int CDestinationLimit::CheckDestinationCount(long long count)
{
    if (count <= DestinationLimitFor(m_nModelType))
        return 1;
    m_Notifier.Notify(m_pOwner, DestinationLimitTextFor(m_nModelType), m_strCaption, kIconWarning);
    return 0;
}
