// The phone book editor's start-up without widgets: language, the lock against the phone book
// dialogs, one editor at a time, the book to open, the frame and its endpoint.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class IBookDialogs;
class IPrompter;
namespace platform {
class Endpoint;
}

/// The program code of the editor's language modules.
inline constexpr const char* kEditorModuleCode = "BOOKMANAGER";
/// The editor's endpoint title (the class is kPhoneBookEditorClass).
inline constexpr const char* kEditorEndpointTitle = "Phone Book Editor";
/// The registered message a second editor posts to the first: bring your window to the front.
inline constexpr const char* kEditorFrontMessage = "QELTA-PhoneBookEditor-Front";
/// Texts of the start-up.
enum : uint32_t { IDS_BOOK_LOCKED = 5001 };
/// The editor's help: the programs' help file and the one context every request opens.
inline constexpr const char* kEditorHelpFile = "Sendwizard2.html";
inline constexpr uint32_t kEditorHelpContext = 131207;
/// The settings key of the recent-file list (HKCU) and its length.
inline constexpr const char* kEditorSettingsKey = "Software\\KOVRA\\Phone Book Editor";
inline constexpr size_t kRecentFiles = 4;

/// Exit codes.
enum : int { kExitOk = 0, kExitRefused = 1 };

/// The frame the start-up makes and runs.
class IEditorHost {
public:
    virtual ~IEditorHost() = default;
    /// Makes the frame over the book (not shown yet).
    virtual void CreateFrame(const std::string& strBookPath) = 0;
    /// Shows the frame, starts the first loading and runs until the editor closes, holding the
    /// endpoint (its posts are the front requests); the exit code.
    virtual int Run(platform::Endpoint& endpoint) = 0;
};

/// The whole start-up; the program's exit code. args: the command line without the program.
int RunBookManager(const std::vector<std::string>& args, IPrompter& prompter, IBookDialogs& dialogs,
                   IEditorHost& host);

/// Sends the running editor its front request; false when none runs.
bool BringEditorToFront();
