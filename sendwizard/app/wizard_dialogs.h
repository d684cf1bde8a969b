// The wizard's small dialogs: the printer-name entry and the About box; and the Qt forms of the
// busy dialog and the printer-name entry that Update Folder asks through.
#pragma once

#include "sendwizard/folder_update.h"
#include "sendwizard/wizard_dialogs_logic.h"

#include <QDialog>

class QLineEdit;

/// "Enter the Printer Name or IP address.": closes with OK only on a non-empty entry.
class CDPrinterName : public QDialog {
    Q_OBJECT
public:
    CDPrinterName(IPrompter& prompter, QWidget* parent = nullptr);
    /// The entry after OK.
    std::string Text() const { return m_Logic.Text(); }
    void accept() override;

private:
    CPrinterNameLogic m_Logic;
    QLineEdit* m_pEdit;
};

/// The About box: the program's name, its version and the second line of the install tag file.
class CDAbout : public QDialog {
    Q_OBJECT
public:
    CDAbout(const AboutTexts& texts, QWidget* parent = nullptr);
};

/// Runs a worker behind the shared busy dialog (CDDiscover); a worker's failure code is posted to
/// the dialog as its result.
class CQtDiscoverRunner : public IDiscoverRunner {
public:
    explicit CQtDiscoverRunner(QWidget* parent = nullptr) : m_pParent(parent) {}
    int Run(const std::string& strCaption, const std::string& strText, int nCancelA, int nCancelB,
            const Worker& worker) override;

private:
    QWidget* m_pParent;
};

/// Asks through CDPrinterName.
class CQtPrinterNameEntry : public IPrinterNameEntry {
public:
    CQtPrinterNameEntry(IPrompter& prompter, QWidget* parent = nullptr) : m_Prompter(prompter), m_pParent(parent) {}
    bool Ask(std::string& strText) override;

private:
    IPrompter& m_Prompter;
    QWidget* m_pParent;
};
