// The Ready To Send page without its widgets: the job's summary texts, its destinations, the log
// viewer box and the send.
#pragma once

#include "sendwizard/preview_page_logic.h"

#include <string>
#include <utility>
#include <vector>

/// The page's controls.
enum : int {
    IDC_READY_TEXT = 1023,
    IDC_READY_WARNING = 1024,
    IDC_MODEL_PICTURE = 1116,
    IDC_PRINTER_LABEL = 1064,
    IDC_PRINTER_TEXT = 1063,
    IDC_SIZE_LABEL = 1065,
    IDC_SIZE_TEXT = 1067,
    IDC_COVER_LABEL = 1066,
    IDC_COVER_TEXT = 1068,
    IDC_DESTINATION_LABEL = 1070,
    IDC_DESTINATION_LIST = 1071,
    IDC_LOG_VIEWER = 1095,
    IDC_FILING_LABEL = 1072,
    IDC_FILING_TEXT = 1073,
};

class CPPFinishLogic {
public:
    CPPFinishLogic(CPSMainuiLogic& sheet, IPrompter& prompter, IProgressRunner& progress);

    /// Fills the texts and the destination list from the sheet; Back and Finish.
    void OnSetActive();
    /// Starts the log viewer when its box is checked, then sends. True: the wizard closes.
    bool OnWizardFinish();

    void SetLogViewer(bool bLogViewer) { m_bLogViewer = bLogViewer; }
    bool GetLogViewer() const { return m_bLogViewer; }
    /// The filing line is shown on model type 3 only.
    bool ShowsFiling() const { return m_Sheet.m_nModelType == 3; }

    const std::string& GetPrinterText() const { return m_strPrinter; }
    const std::string& GetSizeText() const { return m_strSize; }
    const std::string& GetCoverText() const { return m_strCover; }
    const std::string& GetFilingText() const { return m_strFiling; }
    /// The rows of the destination list: number (or address) and name.
    const std::vector<std::pair<std::string, std::string>>& GetRows() const { return m_Rows; }
    int GetButtons() const { return m_nButtons; }

private:
    CPSMainuiLogic& m_Sheet;
    IPrompter& m_Prompter;
    IProgressRunner& m_Progress;
    bool m_bLogViewer = false;
    std::string m_strPrinter, m_strSize, m_strCover, m_strFiling;
    std::vector<std::pair<std::string, std::string>> m_Rows;
    int m_nButtons = PSWIZB_BACK | PSWIZB_FINISH;
};
