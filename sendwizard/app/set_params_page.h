// The Set Job Parameter page: header, Job ID, broadcasting, notification, account number and
// document filing with the device's folder list, over CPPSetParamsLogic.
#pragma once

#include "sendwizard/app/main_sheet.h"
#include "sendwizard/set_params_logic.h"

#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QTreeWidget;

class CPPSetParams : public CWizardPage {
    Q_OBJECT
public:
    CPPSetParams(CPSMainuiLogic& sheet, IPrompter& prompter);
    ~CPPSetParams() override;
    CPPSetParamsLogic& Logic() { return m_Logic; }
    /// The first activation sets the page up; every activation applies the broadcast rule and the
    /// Job ID defaults.
    void OnSetActive() override;
    /// Next: false keeps the page.
    bool validatePage() override;

private:
    void Build();
    void BuildColumns();
    /// Copies the controls' values into the logic.
    void Store();
    /// Copies the logic's values, enabling, rows and selection back into the controls.
    void Refresh();
    void InsertTag(int nButtonId);

    std::unique_ptr<IDiscoverRunner> m_pDiscover;
    std::unique_ptr<IPrinterNameEntry> m_pEntry;
    CFolderUpdate m_Update;
    CPPSetParamsLogic m_Logic;
    QComboBox* m_pCompression;
    QCheckBox *m_pHeader, *m_pBroadcast, *m_pNotify, *m_pFiling, *m_pAccount, *m_pKeepUser, *m_pKeepJob;
    QLineEdit *m_pHeaderText, *m_pFolderName, *m_pFolderPass, *m_pFilePass, *m_pAccountNumber, *m_pUserName,
        *m_pJobName;
    QRadioButton* m_pModes[3];
    QTreeWidget* m_pList;
    std::vector<FolderRowView> m_Shown;
    bool m_bUpdating = false;
};
