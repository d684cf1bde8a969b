// Help that every program opens the same way: an HTML file in the suite's data folder, opened at
// a context's anchor through the desktop's handler, and a warning box when that cannot be done.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class IPrompter;
class QWidget;

/// The folder the programs' and libraries' help lies in: the install folder the machine settings
/// name ("TQL Directory"), else the suite's data folder (share/qelta).
std::string ProgramHelpFolder();

/// The address of a help context: "<folder>/<file>#<context>"; empty when the file is not there.
std::string HelpAddress(const std::string& folder, const std::string& file, uint32_t context);

/// Opens a help address ("<path>#<anchor>"); false when nothing could open it.
using HelpOpener = std::function<bool(const std::string& address)>;
/// Opens a help address through the desktop's handler for local files: its opener program
/// (xdg-open on the search path) when there is one, judged by OpenWithProgram; else Qt's desktop
/// services.
bool OpenWithDesktop(const std::string& address);
/// Runs an opener program with the address's file URL as its one argument. True when it ends with
/// status 0, or is still running after a moment (it then shows the file; it is reaped when it
/// ends); false when it cannot start or ends with another status.
bool OpenWithProgram(const std::string& program, const std::string& address);

/// What a program shows when its help cannot be opened.
struct HelpWarning {
    std::string strMissing; ///< the program's text for a missing file; empty: a text naming the file
    std::string strCaption; ///< the caption of the warning box
};

/// Opens the help file of the folder at a context. A missing file shows the program's warning; a
/// file the desktop cannot open shows a warning that says so and names the file. True when opened.
bool OpenHelp(const std::string& folder, const std::string& file, uint32_t context, IPrompter& prompter,
              const HelpWarning& warning, const HelpOpener& opener = {});

/// Makes F1 anywhere on the window call show (whatever control has the focus).
void InstallHelpKey(QWidget* window, std::function<void()> show);
