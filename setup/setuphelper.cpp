// setuphelper: port list, default printer, printer browser and removal over CUPS.
#include "setup/setuphelper.h"

#include "platform/ini.h"
#include "platform/text.h"
#include "setup/printer_browser.h"
#include "setup/setup_core.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::atomic<SetupHelperMessageBoxFn> messageBox{nullptr};

bool StartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && platform::equalsNoCase(text.substr(0, prefix.size()), prefix);
}

// A port the installer may not offer: files, serial ports COM1: to COM9:, the fax ports.
bool Unusable(const std::string& port)
{
    if (platform::equalsNoCase(port, "FILE:") || StartsWithNoCase(port, "file:"))
        return true;
    if (StartsWithNoCase(port, "serial:"))
        return true;
    if (port.size() >= 5 && port.compare(0, 3, "COM") == 0 && port[4] == ':')
        return true;
    return platform::equalsNoCase(port, "MSFAX:") || platform::equalsNoCase(port, "VELMORA");
}

} // namespace

extern "C" {

void SetupHelperSetMessageBox(SetupHelperMessageBoxFn show) { messageBox.store(show); }

int SETUPHELPERr(void* owner, char* path)
{
    if (!path)
        return 0;
    auto spooler = platform::currentSpooler();
    const auto queues = setup::ListQueues(*spooler);
    std::vector<std::string> queueUris;
    for (const auto& queue : queues)
        if (auto uri = spooler->deviceUri(queue.name))
            queueUris.push_back(std::move(*uri));
    const setup::CPrinterBrowserLogic logic(
        queues, queueUris, spooler->listDevices(setup::kSpoolerTimeLimit).value_or(std::vector<std::string>{}));
    const auto choice = setup::BrowseForPrinter(owner, logic);
    if (!choice || choice->empty() || choice->size() >= setup::kPathBytes)
        return 0;
    std::memcpy(path, choice->c_str(), choice->size() + 1);
    return 1;
}

int GetPort(void*, char* list, size_t size)
{
    if (!list || size == 0)
        return 0;
    const auto ports = setup::ListPorts(*platform::currentSpooler());
    size_t length = strnlen(list, size);
    if (length == size)
        return 0; // no terminator within the buffer: nothing can be appended
    int appended = 0;
    for (size_t i = 0; i < ports.size(); ++i) {
        const std::string& port = ports[i];
        if (port.empty() || Unusable(port))
            continue;
        if (std::any_of(ports.begin(), ports.begin() + static_cast<std::ptrdiff_t>(i),
                        [&](const std::string& earlier) { return platform::equalsNoCase(earlier, port); }))
            continue;
        const std::string piece = (appended > 0 ? "," : "") + port;
        if (length + piece.size() + 1 > size)
            continue;
        std::memcpy(list + length, piece.c_str(), piece.size() + 1);
        length += piece.size();
        ++appended;
    }
    return appended;
}

int SDP(void*, const char* printerName)
{
    if (!printerName)
        return 0;
    // Only the suite's printer (the queue recorded for the name, or a queue printing with a driver
    // of the printer list or of a record) is made the default, never a queue of the user's that has
    // its name or description.
    const std::string install = setup::InstallDirectory();
    std::vector<std::string> drivers =
        install.empty() ? std::vector<std::string>{} : setup::ListedDrivers(setup::PrinterListFile(install));
    for (const auto& record : platform::recordedPrinters())
        drivers.push_back(record.driver);
    const auto isSuite = [&](const platform::Destination& queue) {
        return std::any_of(drivers.begin(), drivers.end(),
                           [&](const std::string& driver) { return platform::printsWithDriver(queue, driver); });
    };
    auto spooler = platform::currentSpooler();
    const auto queues = spooler->listDestinations(setup::kSpoolerTimeLimit);
    std::string reason;
    if (!queues)
        reason = "the print server cannot be asked for its queues";
    else if (const auto* queue = setup::PlacePrinter(*queues, printerName, isSuite).suiteQueue)
        setup::MakeDefault(*spooler, *queues, *queue, isSuite, &reason);
    else if (install.empty())
        reason = "the machine settings name no install folder, and no queue is recorded for the printer";
    else
        reason = "no queue of the suite's driver is the printer";
    // The result stays 0 whatever happened; the failure is told.
    if (!reason.empty())
        std::fprintf(stderr, "SDP: \"%s\" is not made the default printer: %s\n", printerName, reason.c_str());
    return 0;
}

int UninstInitialize(void)
{
    const std::string install = setup::InstallDirectory();
    if (install.empty())
        return 0;
    const std::string list = setup::PrinterListFile(install);
    setup::RemovePrinter(*platform::currentSpooler(), platform::readProfileString("Printer", "name", "", list),
                         platform::readProfileString("Printer", "drivername", "", list));
    return 0;
}

int UninstUnInitialize(void) { return 0; }

int USBCheck(void)
{
    const auto ports = setup::ListPorts(*platform::currentSpooler());
    return std::any_of(ports.begin(), ports.end(), [](const std::string& p) { return StartsWithNoCase(p, "USB"); }) ? 1 : 0;
}

int Is9821(void) { return 0; }

} // extern "C"
