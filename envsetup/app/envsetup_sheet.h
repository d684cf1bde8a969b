// The driver environment sheet "Qelta Environment Setting" and its two pages, thin widgets over
// envsetup_logic.h.
#pragma once

#include "envsetup/envsetup_logic.h"
#include "uiwidgets/help.h"

#include <QDialog>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;

/// The sheet's Apply and Help buttons (OK and Cancel are 1 and 2).
enum : int { ID_APPLY_NOW = 0x3021, IDHELP = 9 };

/// Header Setting (dialog 106).
class CPPHeader : public QWidget {
    Q_OBJECT
public:
    CPPHeader(CPPHeaderLogic& logic, QWidget* parent = nullptr);
    /// Reads the settings and shows them.
    void Init();
signals:
    void Changed();

private:
    void ShowFont();

    CPPHeaderLogic& m_Logic;
    QLineEdit* m_pFace;
    QLineEdit* m_pSize;
    QLineEdit* m_pUserName;
    QLineEdit* m_pTelNumber;
};

/// Printer Setting (dialog 107).
class CPPPrinter : public QWidget {
    Q_OBJECT
public:
    CPPPrinter(CPPPrinterLogic& logic, QWidget* parent = nullptr);
    /// Reads the choice and the printer list and shows them.
    void Init();
    /// Shows the logic's state: the check box, the enabled controls and the rows.
    void Refresh();
signals:
    void Changed();

private:
    /// Runs a handler of the logic, then shows its state and tells the sheet.
    template <typename Handler>
    void Handle(Handler&& handler);

    CPPPrinterLogic& m_Logic;
    QCheckBox* m_pUse;
    QTreeWidget* m_pList;
    QLabel* m_pNote;
    QPushButton* m_pSetDefault;
    QPushButton* m_pUpdate;
};

/// The sheet; the program ends when it closes.
class CEnvsetupDlg : public QDialog {
    Q_OBJECT
public:
    /// opener: how help addresses are opened (the desktop's handler when empty).
    explicit CEnvsetupDlg(IPrompter& prompter, HelpOpener opener = {}, QWidget* parent = nullptr);
    CEnvsetupLogic& Logic() { return m_Logic; }
    /// Opens the sheet's help topic.
    void ShowHelp();
    /// OK: every page shown applies its values, then the sheet closes.
    void accept() override;

private:
    void Apply();
    void UpdateApply();
    /// The printer page, its list focused: where a refused Apply sends the user.
    void ShowPrinterChoice();

    IPrompter& m_Prompter;
    HelpOpener m_Opener;
    CEnvsetupLogic m_Logic;
    QTabWidget* m_pTabs;
    CPPHeader* m_pHeader;
    CPPPrinter* m_pPrinter;
    QPushButton* m_pApply;
};

/// Runs the sheet modally.
class CQtEnvsetupRunner : public IEnvsetupRunner {
public:
    explicit CQtEnvsetupRunner(IPrompter& prompter) : m_Prompter(prompter) {}
    void Run() override;

private:
    IPrompter& m_Prompter;
};
