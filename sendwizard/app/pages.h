// The sheet's pages with controls: Select Cover Sheet, Preview and Ready To Send, each a thin
// widget over its logic class.
#pragma once

#include "sendwizard/app/main_sheet.h"
#include "sendwizard/cover_page_logic.h"
#include "sendwizard/preview_page_logic.h"
#include "sendwizard/ready_page_logic.h"
#include "uiwidgets/control_name.h"

class CIkDisp;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTreeWidget;


/// "Select Cover Sheet".
class CPPSelectCover : public CWizardPage {
    Q_OBJECT
public:
    CPPSelectCover(CPSMainuiLogic& sheet, IPrompter& prompter);
    void OnSetActive() override;
    void OnCoverSheetSaved(uint32_t wParam) override;
    bool validatePage() override;
    CPPSelectCoverLogic& Logic() { return m_Logic; }

private:
    /// Copies the logic's state into the controls.
    void Update();
    /// The slider and the percentage from the zoom shown.
    void ShowZoom();
    IPrompter& m_Prompter;
    CPPSelectCoverLogic m_Logic;
    QCheckBox* m_pAttach;
    QListWidget* m_pList;
    QLineEdit* m_pFolder;
    CIkDisp* m_pDisplay;
    QSlider* m_pSlider;
    QLabel* m_pPercent;
    QPlainTextEdit* m_pDescription;
    bool m_bUpdating = false;
};

/// "Preview": Back and Finish; Finish sends.
class CPPPreview : public CWizardPage {
    Q_OBJECT
public:
    CPPPreview(CPSMainuiLogic& sheet, IPrompter& prompter, IProgressRunner& progress);
    void OnSetActive() override;
    bool validatePage() override;
    bool isComplete() const override;
    int nextId() const override { return -1; }
    CPPPreviewLogic& Logic() { return m_Logic; }
    /// Makes the image (when the job was rebuilt) and shows the current page.
    void CreateImage();
    /// The page is as after a good image: Finish may send.
    bool ImageCameOutWhole() const { return m_Logic.GetButtons() == (PSWIZB_BACK | PSWIZB_FINISH); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowPage();
    void Update();
    IPrompter& m_Prompter;
    CPPPreviewLogic m_Logic;
    CIkDisp* m_pDisplay;
    QLineEdit* m_pPageNumber;
    QSpinBox* m_pSpin;
    QRadioButton* m_pModes[3];
    QSlider* m_pSlider;
    QLineEdit* m_pPercent;
    bool m_bUpdating = false;
    bool m_bImagePending = false;
    int m_nShownPage = -1; ///< the page the display shows; another one starts at its top
};

/// "Ready To Send": the job's summary; its Finish sends.
class CPPFinish : public CWizardPage {
    Q_OBJECT
public:
    CPPFinish(CPSMainuiLogic& sheet, IPrompter& prompter, IProgressRunner& progress);
    void OnSetActive() override;
    /// The model's picture and whether filing is shown.
    void OnPrinterKnown() override;
    bool validatePage() override;
    CPPFinishLogic& Logic() { return m_Logic; }

private:
    IPrompter& m_Prompter;
    CPPFinishLogic m_Logic;
    QLineEdit *m_pPrinter, *m_pSize, *m_pCover, *m_pFiling;
    QLabel *m_pFilingLabel, *m_pPicture;
    QTreeWidget* m_pList;
};
