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
/// Called when the desktop's opener could not open a help address (on the application's thread).
using HelpFailure = std::function<void()>;
/// Opens a help address through the desktop's handler for local files without waiting for it: its
/// opener program (xdg-open on the search path) through OpenWithProgram; else Qt's desktop
/// services, whose failure is reported at once.
void OpenWithDesktop(const std::string& address, HelpFailure failed);
/// Starts an opener program with the address's file URL as its one argument and hears it out on a
/// thread of its own, so the caller never waits for it. failed is called at once when it cannot
/// start, and through the application's event loop when it ends with another status than 0 within
/// a moment; one still running then is showing the file (it is reaped whenever it ends). A program
/// runs one opener at a time: while one runs, another call does nothing. The program's end (the
/// application's, or the program's own without one) ends an opener still running.
void OpenWithProgram(const std::string& program, const std::string& address, HelpFailure failed);

/// The shared widgets' texts of help that cannot be shown ("%s": the help file).
enum : unsigned { IDS_SHARED_HELP_MISSING = 64900, IDS_SHARED_HELP_NOT_OPENED = 64901 };

/// What a program shows when its help cannot be opened.
struct HelpWarning {
    std::string strMissing; ///< the program's text for a missing file; empty: a text naming the file
    std::string strCaption; ///< the caption of the warning box
};

/// Opens the help file of the folder at a context. A missing file shows the program's warning; a
/// file the desktop cannot open shows a warning that says so and names the file. True when opened
/// or, without an opener of the caller's, handed to the desktop's opener: its failure shows the
/// warning later, from the event loop (prompter must outlive it, as a program's own does).
bool OpenHelp(const std::string& folder, const std::string& file, uint32_t context, IPrompter& prompter,
              const HelpWarning& warning, const HelpOpener& opener = {});

/// Makes F1 anywhere on the window call show (whatever control has the focus).
void InstallHelpKey(QWidget* window, std::function<void()> show);
