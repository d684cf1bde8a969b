// The wizard's small dialogs: the printer-name entry and the About box.
#pragma once

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

/// The About box with the version and the second line of the install tag file.
class CDAbout : public QDialog {
    Q_OBJECT
public:
    CDAbout(const AboutTexts& texts, QWidget* parent = nullptr);
};
