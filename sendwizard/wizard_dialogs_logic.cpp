#include "sendwizard/wizard_dialogs_logic.h"

#include "sendwizard/wizard_strings.h"

bool CPrinterNameLogic::Accept()
{
    if (!m_strText.empty())
        return true;
    m_Prompter.MessageBox(WizardString(IDS_NO_PRINTER_NAME), WizardString(IDS_CAPTION), MB_ICONWARNING);
    return false;
}
