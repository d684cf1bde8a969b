// The Select Destination page: the entry fields, the destination list and its buttons over
// CPPSelectDestLogic.
#pragma once

#include "sendwizard/app/main_sheet.h"
#include "sendwizard/select_dest_logic.h"

#include <vector>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

class CPPSelectDest : public CWizardPage {
    Q_OBJECT
public:
    CPPSelectDest(CPSMainuiLogic& sheet, IPrompter& prompter, IPhoneBookExports& exports);
    CPPSelectDestLogic& Logic() { return m_Logic; }
    void OnSetActive() override;
    /// Offers I-FAX when the printer turned out to be a model that takes it.
    void OnPrinterKnown() override;
    /// Next: false keeps the page; otherwise the page to go to becomes the next one.
    bool validatePage() override;

protected:
    /// Return in an entry field adds it; Delete in the list deletes the selected rows.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Build();
    /// Shows the I-FAX radios and fields only where the model takes I-FAX.
    void ShowModelFields();
    /// Add: the typed entry joins the list, and the focus goes where typing goes on.
    void AddTyped();
    void DeleteSelected();
    /// Focus to the entry field, or to the field a refusal named.
    void FocusEntry();
    std::vector<const CJobDestination*> SelectedDestinations() const;
    void Select(const std::vector<const CJobDestination*>& destinations);
    /// Copies the fields into the logic.
    void Store();
    /// Copies the logic's fields, enabling and rows back into the controls.
    void Refresh();

    CPPSelectDestLogic m_Logic;
    QLabel* m_pFaxLabel;
    QRadioButton *m_pModeFax, *m_pModeIfax;
    QLineEdit *m_pNumber, *m_pSubAddress, *m_pPassCode, *m_pIfax;
    QLabel *m_pSubLabel, *m_pPassLabel;
    QCheckBox *m_pFCode, *m_pConfirm, *m_pSkip;
    QTreeWidget* m_pList;
};
