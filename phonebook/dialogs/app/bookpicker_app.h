// What every dialog of the bookpicker library shares: its texts (through the language chosen at
// the first call), the message boxes behind the dialogs' notifier, and the thread rule of the exports.
#pragma once

#include "common/prompter.h"
#include "common/resource_locale.h"
#include "uiwidgets/qt_prompter.h"
#include "phonebook/dialogs/address_validation.h"

#include <QString>

#include <string>

class QWidget;

/// The program code of the library's language modules.
inline constexpr const char* kBookpickerModuleCode = "BOOKPICKER";
/// The application title the lock message of Select Destination carries (from the language module).
inline constexpr int IDS_APP_TITLE = 57344;
inline constexpr int IDS_PHONE_BOOK_LOCKED = 5005;

/// Starts the library's language once per process (the locale the send wizard's rules pick, module
/// "BOOKPICKER"); false when no usable locale was found (the own English texts then serve).
bool StartBookpicker();
/// A text of the library by id: the language module's, else the own English one; empty when none.
std::string BookpickerString(int id);
inline QString BookpickerText(int id) { return QString::fromStdString(BookpickerString(id)); }
/// The text of a control of a dialog or page (control 0: its caption; a label without an id of its
/// own: its field's id), by ControlTextId.
inline QString BookpickerControlText(int dialogId, int controlId)
{
    return BookpickerText(static_cast<int>(ControlTextId(static_cast<uint32_t>(dialogId), static_cast<uint32_t>(controlId))));
}

/// True when a QApplication exists and this is its thread: the only place the exports run.
bool OnApplicationThread();

/// The dialogs' notifier: each text id shown through a prompter.
class CPrompterNotifier : public IMessageNotifier {
public:
    explicit CPrompterNotifier(IPrompter& prompter) : m_prompter(prompter) {}
    void Notify(void* owner, int textId, const std::string& caption, unsigned icon) override;
    bool AskYesNo(void* owner, int textId, const std::string& caption) override;

private:
    IPrompter& m_prompter;
};

/// The library's help file, beside the library.
inline constexpr const char* kBookpickerHelpFile = "Bookmanager.html";
/// The folder of the library's help: the library's own folder.
std::string BookpickerHelpFolder();
/// Makes F1 on the dialog open the help at its own context (whatever the focused control); a help
/// file that cannot be opened is told in a warning box with the dialog's title.
void InstallHelp(QWidget* dialog, int context);

/// The prompter the exports' dialogs use (the Qt one unless replaced).
IPrompter& BookpickerPrompter();
