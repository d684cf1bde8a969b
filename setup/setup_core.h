// What the two setup libraries share: the fax printer as a CUPS queue, the printer list file
// "prname.ini" in the install directory, and their message boxes.
#pragma once

#include "platform/spooler.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QApplication;
class QMessageBox;

namespace setup {

/// How long the spooler may take to list its queues or devices.
inline constexpr std::chrono::milliseconds kSpoolerTimeLimit{5000};

/// The classic path buffer size of the exports.
inline constexpr size_t kPathBytes = 260;

/// A printer name among the queues as the printer check walks the names it tries (the name, then
/// "name (1)", "name (2)", ..., at most 9,999 numbered ones): a name is taken when the spooler's
/// calls find a queue for it (platform::findPrinterQueue with recordedPrinterLookup: a queue of
/// another driver that merely has the name as its description does not take it) or a queue has
/// its queue name. The walk ends at the first name whose
/// queue is the suite's printer (prints with a driver isSuite accepts; the queue recorded for the
/// name first), or at the first free name.
struct PrinterPlace {
    const platform::Destination* suiteQueue = nullptr; ///< the suite's printer; null when the walk found none
    std::string freeName; ///< the first free name (the last name tried when all were taken); empty with suiteQueue
    int taken = 0;        ///< how many names were taken before it
};
PrinterPlace PlacePrinter(const std::vector<platform::Destination>& queues, std::string_view printerName,
                          const std::function<bool(const platform::Destination&)>& isSuite);

/// The spooler's queues (none when they cannot be listed).
std::vector<platform::Destination> ListQueues(platform::Spooler& spooler);

/// The port names the spooler knows: the device URIs of its queues, then (with withDevices) those
/// of the devices it reports within the time limit, in that order (repeats kept).
std::vector<std::string> ListPorts(platform::Spooler& spooler, bool withDevices = true);

/// The install directory (HKLM "TQL Directory", ending with a separator as stored); empty when it
/// cannot be read.
std::string InstallDirectory();

/// The printer list file of an install directory.
std::string PrinterListFile(const std::string& installDirectory);

/// Message box types and answers of the setup libraries' hooks.
enum : uint32_t { kBoxOk = 0x00, kBoxYesNo = 0x04, kIconQuestion = 0x20, kIconError = 0x10 };
enum : int32_t { kAnswerOk = 1, kAnswerYes = 6, kAnswerNo = 7 };

/// A message box hook: shows text under caption with the buttons and icon of type; returns the answer.
using MessageBoxFn = int32_t (*)(void* owner, const char* caption, const char* text, uint32_t type);

/// Shows a message through hook when one is set; otherwise in a Qt box where a display is (a
/// QApplication is made when the caller has none), else on standard error with the answer No.
int32_t ShowBox(MessageBoxFn hook, void* owner, const std::string& caption, const std::string& text, uint32_t type);

/// The installer may have no Qt of its own: then a box or dialog gets an application for its
/// lifetime (null when the process has one).
std::unique_ptr<QApplication> EnsureApplication();

/// The Qt box ShowBox shows by default (not shown; the caller deletes it).
QMessageBox* MakeMessageBox(const std::string& caption, const std::string& text, uint32_t type);

/// True when a Qt box or dialog can be shown in this process: it has a QApplication, or it has no
/// application at all and a display is named (DISPLAY, WAYLAND_DISPLAY).
bool DisplayAvailable();

/// The driver names of a printer list file: "drivername" and "drivername0" to "Num" - 1, those given.
std::vector<std::string> ListedDrivers(const std::string& listFile);

/// Makes the queue the server's default destination. The default it replaces is remembered (HKLM),
/// unless that one is itself a queue isSuite accepts, so that removing the queue gives it back.
/// False, with the reason in error, when the server refused.
bool MakeDefault(platform::Spooler& spooler, const std::vector<platform::Destination>& queues,
                 const platform::Destination& queue, const std::function<bool(const platform::Destination&)>& isSuite,
                 std::string* error = nullptr);

/// Removes the suite's printer of that name, only a queue that prints with driverName: the queue the
/// setup recorded for the name and driver, exactly that one; without a record (a printer set up
/// before records were kept) the one PlacePrinter finds. The user's other printers stay whatever
/// their descriptions. When MakeDefault made it the default and it still is, the default it
/// replaced comes back, when that queue still exists.
void RemovePrinter(platform::Spooler& spooler, const std::string& printerName, const std::string& driverName);

} // namespace setup
