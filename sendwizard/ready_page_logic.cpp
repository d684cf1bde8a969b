#include "sendwizard/ready_page_logic.h"

#include "sendwizard/wizard_strings.h"

namespace {

// The longest number or address a row shows.
constexpr size_t kMaxRowText = 259;

} // namespace

CPPFinishLogic::CPPFinishLogic(CPSMainuiLogic& sheet, IPrompter& prompter, IProgressRunner& progress)
    : m_Sheet(sheet), m_Prompter(prompter), m_Progress(progress)
{
}

void CPPFinishLogic::OnSetActive()
{
    m_nButtons = PSWIZB_BACK | PSWIZB_FINISH;
    const CJobSummary* summary = m_Sheet.GetJobSummary();
    m_strPrinter = FormatText("%s , %s", {m_Sheet.m_strPrinter, m_Sheet.m_strPortName});
    m_strSize = FormatText("%s , %s", {m_Sheet.m_strPaper, summary ? summary->GetCompressionName() : ""});
    const CFaxDocument* first = m_Sheet.GetDocument(0);
    m_strCover = first && first->m_bCover == 1 ? first->m_strCoverPath : WizardString(IDS_NO_COVER);
    m_Rows.clear();
    for (const CJobDestination& destination : m_Sheet.m_Destinations)
        m_Rows.emplace_back(destination.m_strNumber.substr(0, kMaxRowText), destination.m_strName);
    m_strFiling.clear();
    if (ShowsFiling() && summary) {
        if (summary->m_bFiling != 1)
            m_strFiling = WizardString(IDS_FILING_OFF);
        else if (summary->m_nFolderType != 0)
            m_strFiling = FormatText(WizardString(IDS_FILING_FOLDER), {summary->m_strFolderName});
        else
            m_strFiling = WizardString(IDS_FILING_TEMP);
    }
}

bool CPPFinishLogic::OnWizardFinish()
{
    if (m_bLogViewer)
        m_Sheet.LaunchLogBrowserFromWizard();
    if (!SendJob(m_Sheet, m_Prompter, m_Progress))
        m_nButtons = PSWIZB_FINISH;
    return true;
}
