#include "sendwizard/wizard_dialogs_logic.h"

#include "sendwizard/wizard_strings.h"

AboutTexts AboutTextsOf(const CPSMainuiLogic& sheet)
{
    AboutTexts texts{WizardString(IDS_CAPTION), sheet.m_strVersion, sheet.m_strMisc};
    if (texts.strVersion.empty())
        texts.strVersion = FormatText(WizardString(IDS_ABOUT_VERSION), {QELTA_VERSION});
    return texts;
}

bool CPrinterNameLogic::Accept()
{
    if (!m_strText.empty())
        return true;
    m_Prompter.MessageBox(WizardString(IDS_NO_PRINTER_NAME), WizardString(IDS_CAPTION), MB_ICONWARNING);
    return false;
}
