// What the two setup libraries share: the fax printer as a CUPS queue, the printer list file
// "prname.ini" in the install directory, and their message boxes.
#pragma once

#include "platform/spooler.h"

#include <chrono>
#include <cstdint>
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

/// The queue name of a printer name: each character CUPS refuses in queue names (blank, tab, "/",
/// "\", "?", quotes, "#", "@", DEL, control bytes) and ":" turned into "_", cut to 127 bytes.
std::string QueueNameFor(std::string_view printerName);

/// The queue that holds a printer: the one whose queue name is the printer's queue name, else the
/// first whose description is the printer name; null when none.
const platform::Destination* FindPrinter(const std::vector<platform::Destination>& queues, std::string_view printerName);

/// True when the queue prints with that driver, its make and model as CUPS reports it (also as
/// earlier installations made CUPS report a non-ASCII name: its UTF-8 bytes read as Latin-1).
bool PrintsWithDriver(const platform::Destination& queue, std::string_view driverName);

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

/// Removes the printer of that name, and only a queue that prints with driverName: the user's other
/// printers stay whatever their descriptions (a driver goes with its last queue).
void RemovePrinter(platform::Spooler& spooler, const std::string& printerName, const std::string& driverName);

} // namespace setup
