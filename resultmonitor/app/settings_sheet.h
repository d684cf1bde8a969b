// The settings sheet (STRING 400): the pages View Window Setting (106) and Message Type Setting
// (107) over their logic, with OK, Cancel and Apply; F1 opens the monitor's help topic.
#pragma once

#include "resultmonitor/settings_pages_logic.h"
#include "uiwidgets/help.h"

#include <QDialog>

class IPrompter;
class QAbstractButton;
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;
class QTabWidget;

/// The help file and the monitor's topic in it.
inline constexpr const char* kMonitorHelpFile = "Sendwizard2.html";
inline constexpr uint32_t kMonitorHelpTopic = 131216;

class CViewSettingPage : public QWidget {
public:
    explicit CViewSettingPage(IMonitorSettings& settings, std::function<void()> changed, QWidget* parent = nullptr);
    CViewSettingPageLogic& Logic() { return m_logic; }
    /// Reads the settings into the controls (when the page is first shown).
    void Init();
    void Apply();

private:
    void Refresh();

    CViewSettingPageLogic m_logic;
    std::function<void()> m_Changed;
    QRadioButton* m_pPositions[4] = {};
    QLabel* m_pPictures[4] = {};
    QCheckBox* m_pAnimation = nullptr;
    QSlider* m_pSlider = nullptr;
    QLineEdit* m_pTime = nullptr;
    QCheckBox* m_pSound = nullptr;
};

class CMessageTypePage : public QWidget {
public:
    explicit CMessageTypePage(IMonitorSettings& settings, std::function<void()> changed, QWidget* parent = nullptr);
    CMessageTypePageLogic& Logic() { return m_logic; }
    /// Reads the settings into the check boxes (when the page is first shown).
    void Init();
    void Apply();

private:
    CMessageTypePageLogic m_logic;
};

class CSettingsSheet : public QDialog {
public:
    CSettingsSheet(IMonitorSettings& settings, IPrompter& prompter, HelpOpener opener = {}, QWidget* parent = nullptr);

    CViewSettingPage& ViewPage() { return *m_pView; }
    CMessageTypePage& MessagePage() { return *m_pMessage; }
    QTabWidget* Tabs() { return m_pTabs; }
    QAbstractButton* ApplyButton() { return m_pApply; }
    void ShowHelp();

private:
    void ApplyPages();

    IPrompter& m_Prompter;
    HelpOpener m_Opener;
    QTabWidget* m_pTabs = nullptr;
    CViewSettingPage* m_pView = nullptr;
    CMessageTypePage* m_pMessage = nullptr;
    QAbstractButton* m_pApply = nullptr;
};
