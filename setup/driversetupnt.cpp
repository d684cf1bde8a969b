// driversetupnt: the fax printer's installation and removal over CUPS.
#include "setup/driversetupnt.h"

#include "common/data_folders.h"
#include "common/registry_helper.h"
#include "platform/endpoint.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "setup/setup_core.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::atomic<DriverSetupMessageBoxFn> messageBox{nullptr};

constexpr const char* kDriverFiles[] = {"pagewriter.dll", "TqfStl.dll", "TqfStlU.dll", "Tqfumpd.dll"};
constexpr const char* kHelpFile = "Sendwizard2.html";
constexpr uint32_t kWmClose = 16;
constexpr auto kCloseWait = std::chrono::seconds(5);

int32_t Show(void* owner, const std::string& caption, const std::string& text, uint32_t type)
{
    return setup::ShowBox(messageBox.load(), owner, caption, text, type);
}

std::string Text(const std::string& list, const char* section, const char* key)
{
    return platform::readProfileString(section, key, "", list);
}

// The caption of the boxes: the printer list's title, else the suite's own name.
std::string Title(const std::string& list)
{
    const std::string title = Text(list, "UninstString", "Title");
    return title.empty() ? "Qelta Driver" : title;
}

// A failure box: the printer list's text, then the reason on a line of its own.
void ShowFailure(void* owner, const std::string& list, const std::string& text, const std::string& reason)
{
    const std::string shown = text.empty() ? reason : reason.empty() ? text : text + "\n\n" + reason;
    Show(owner, Title(list), shown, setup::kBoxOk | setup::kIconError);
}

std::string WithoutTrailingSeparator(const char* folder)
{
    std::string text = folder ? folder : "";
    if (text.size() > 1 && (text.back() == '/' || text.back() == '\\'))
        text.pop_back();
    return text;
}

std::string DriverFolder(const std::string& installDirectory)
{
    std::string folder = installDirectory;
    std::replace(folder.begin(), folder.end(), '\\', '/');
    return folder + "driver/";
}

// The platform's file names of a driver file: a ".dll" name also as "libNAME.so" and "NAME.so", as
// the suite's library loader reads it.
std::vector<std::string> PlatformNames(std::string_view file)
{
    std::vector<std::string> names{std::string(file)};
    if (file.size() > 4 && platform::equalsNoCase(file.substr(file.size() - 4), ".dll")) {
        const std::string base(file.substr(0, file.size() - 4));
        names.insert(names.begin(), {"lib" + base + ".so", base + ".so"});
    }
    return names;
}

// Copies "<source>/NT<name>" for the first platform name that the source folder holds.
void CopyDriverFile(const std::string& sourceFolder, std::string_view file, const std::string& targetFolder)
{
    for (const auto& name : PlatformNames(file)) {
        const std::string source = sourceFolder + "/NT" + name;
        if (platform::fileStamp(source).exists) {
            platform::copyFileAtomic(source, targetFolder + name);
            return;
        }
    }
}

// A PPD of our own for a driver that brings none: the driver name as NickName and no filter, so
// raw jobs pass unchanged. Empty when it cannot be written.
std::optional<std::string> WriteMinimalPpd(const std::string& driverName)
{
    const auto path = platform::createTempFile(fs::temp_directory_path().string(), "qelta-driver", ".ppd");
    if (!path)
        return std::nullopt;
    if (!platform::writeFileAtomic(*path, platform::minimalPpd(driverName))) {
        platform::removeFile(*path);
        return std::nullopt;
    }
    return path;
}

std::string SchemeOf(std::string_view uri) { return platform::asciiLower(uri.substr(0, uri.find(':'))); }

// The port's device URI; when no queue or device has it and CUPS offers no backend for its scheme,
// the port cannot be made: that is told, and the installation goes on.
std::string PreparePort(void* owner, platform::Spooler& spooler, const char* portName, const std::string& list)
{
    const std::string port = portName && *portName ? portName : "QELTA";
    const std::string uri = port.find(":/") != std::string::npos ? port : "qelta:/" + port;
    // Without the server's device list nothing can be judged: the server itself refuses the queue
    // of a scheme it has no backend for.
    const auto devices = spooler.listDevices(setup::kSpoolerTimeLimit);
    if (!devices)
        return uri;
    std::vector<std::string> ports = setup::ListPorts(spooler, false);
    ports.insert(ports.end(), devices->begin(), devices->end());
    if (std::find(ports.begin(), ports.end(), uri) != ports.end())
        return uri;
    const std::string scheme = SchemeOf(uri);
    const bool offered = std::any_of(ports.begin(), ports.end(), [&](const std::string& p) { return SchemeOf(p) == scheme; });
    if (!offered) {
        const std::string first = Text(list, "PrinterDriverErr", "AddPortErr1"),
                          second = Text(list, "PrinterDriverErr", "AddPortErr2");
        ShowFailure(owner, list, first.empty() && second.empty() ? "" : first + "\n\n" + second,
                    "The print server has no backend for \"" + scheme + ":\" ports.");
    }
    return uri;
}

// Posts the close request to a program's endpoint once and waits at most until the deadline for
// it to go.
void CloseProgram(const char* className, const char* title, std::chrono::steady_clock::time_point deadline)
{
    const platform::EndpointHandle handle = platform::findEndpoint(className, title);
    if (handle == 0 || !platform::postMessage(handle, kWmClose, 0, 0))
        return;
    while (platform::endpointExists(handle) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

// The folder a registry value names, held open without following links (see HeldFolder); invalid
// when the value is empty or relative or the folder cannot be reached without a link.
platform::HeldFolder FolderOfValue(const std::string& value) { return platform::HeldFolder::open(platform::nativePath(value)); }

} // namespace

extern "C" {

void DriverSetupSetMessageBox(DriverSetupMessageBoxFn show) { messageBox.store(show); }

int IPD(void* owner, const char* driverName, const char* printerName, const char*, const char* driverSourceDir,
        const char*, const char* portName, const char* helpSourceDir)
{
    if (!driverName || !*driverName || !printerName || !*printerName)
        return 0;
    const std::string sourceFolder = WithoutTrailingSeparator(driverSourceDir);
    const std::string helpFolder = WithoutTrailingSeparator(helpSourceDir);
    const std::string install = setup::InstallDirectory();
    const std::string list = setup::PrinterListFile(install);

    if (!install.empty()) {
        const std::string target = DriverFolder(install);
        platform::createDirectories(target);
        for (const char* file : kDriverFiles)
            CopyDriverFile(sourceFolder, file, target);
        platform::copyFileAtomic(helpFolder + "/" + kHelpFile, target + kHelpFile);
    }

    auto spooler = platform::currentSpooler();
    const std::string uri = PreparePort(owner, *spooler, portName, list);

    // Only a queue that prints with this driver is the printer; one of the user's that has its name
    // or description keeps it, and the printer takes the first free name the printer check gives.
    // The queue is recorded for the printer name, so that every later lookup of the name takes it.
    const auto queues = setup::ListQueues(*spooler);
    const setup::PrinterPlace place = setup::PlacePrinter(queues, printerName, [&](const platform::Destination& queue) {
        return platform::printsWithDriver(queue, driverName);
    });
    if (place.suiteQueue) {
        platform::recordPrinter({place.suiteQueue->name, printerName, driverName});
        return 0; // the printer exists: it stays as it is
    }
    // The driver: its own PPD when the source folder holds one, else ours.
    std::string ppd = sourceFolder + "/" + driverName + ".ppd";
    std::optional<std::string> ownPpd;
    if (!platform::fileStamp(ppd).exists) {
        ownPpd = WriteMinimalPpd(driverName);
        if (!ownPpd) {
            ShowFailure(owner, list, Text(list, "PrinterDriverErr", "AddPrinterDriverErr"),
                        "The driver file cannot be written in " + fs::temp_directory_path().string() + ".");
            return 0;
        }
        ppd = *ownPpd;
    }
    const std::string queue = platform::queueNameFor(place.freeName);
    std::string said;
    const bool added = spooler->addQueue({queue, place.freeName, uri, ppd}, &said);
    if (ownPpd)
        platform::removeFile(*ownPpd);
    if (!added)
        ShowFailure(owner, list, Text(list, "PrinterDriverErr", "AddPrinterErr"),
                    "The print server refused the queue \"" + queue + "\": " + said);
    else if (!platform::recordPrinter({queue, printerName, driverName}))
        std::fprintf(stderr, "IPD: the queue \"%s\" is made but cannot be recorded: %s\n", queue.c_str(),
                     platform::registryLastError().c_str());
    return 0;
}

int MFE(const char* path)
{
    if (!path || !*path)
        return 0;
    return platform::removeFile(path) ? 1 : 0;
}

int DPD(void)
{
    const std::string install = setup::InstallDirectory();
    if (install.empty())
        return 0;
    const std::string list = setup::PrinterListFile(install);
    const std::string title = Title(list);
    auto spooler = platform::currentSpooler();
    const int count = platform::readProfileInt("Printer", "Num", 0, list);
    for (int i = 0; i < count; ++i)
        setup::RemovePrinter(*spooler, Text(list, "Printer", ("name" + std::to_string(i)).c_str()),
                             Text(list, "Printer", ("drivername" + std::to_string(i)).c_str()));

    const std::string driverFolder = DriverFolder(install);
    for (const char* file : kDriverFiles)
        for (const auto& name : PlatformNames(file))
            platform::removeFile(driverFolder + name);
    platform::removeFile(driverFolder + kHelpFile);

    // Phone book files, when the user agrees. The folder stays held from the listing to the removal,
    // so that the files removed are the ones listed in the folder checked, whatever its path leads
    // to by the time the user answers.
    const platform::HeldFolder books =
        FolderOfValue(CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).ReadString(kProductSubkey, "PBFolder", ""));
    if (const auto files = books.regularFiles(".tel"); !files.empty()
        && Show(nullptr, title, Text(list, "TelFileDelete", "TelDel1") + "\n\n" + Text(list, "TelFileDelete", "TelDel2"),
                setup::kBoxYesNo | setup::kIconQuestion)
               == setup::kAnswerYes)
        for (const auto& file : files)
            books.removeRegularFile(file);

    // The cover sheet previews inside the cover sheet folder.
    if (const std::string work = CoverWorkFolderOf(ReadCoverFolder()); !work.empty()) {
        const platform::HeldFolder parent = FolderOfValue(platform::parentPath(work));
        const std::string name = platform::fileNameOf(work);
        if (const platform::HeldFolder folder = parent.child(name); folder.valid()) {
            for (const auto& file : folder.regularFiles(""))
                folder.removeRegularFile(file);
            parent.removeEmptyFolder(name); // only when nothing else is left in it
        }
    }

    platform::removeFile(list);
    return 0;
}

int UninstInitialize(void* owner)
{
    const std::string install = setup::InstallDirectory();
    if (install.empty())
        return 0;
    const std::string list = setup::PrinterListFile(install);
    const auto deadline = std::chrono::steady_clock::now() + kCloseWait;
    CloseProgram("QELTA-RTNAPP_CLASS", "QELTA-RTNAPP_MAIN", deadline);
    CloseProgram("QELTA-RECEIVER_CLASS", "QELTA-RECEIVER_WINDOWNAME", deadline);
    if (platform::readProfileInt("Printer", "Num", 0, list) > 1) {
        const std::string title = Title(list);
        const std::string question = Text(list, "UninstString", "MultiDriver1") + "\n"
                                     + Text(list, "UninstString", "MultiDriver2") + "\n\n"
                                     + Text(list, "UninstString", "MultiDriver3");
        if (Show(owner, title, question, setup::kBoxYesNo | setup::kIconQuestion) != setup::kAnswerYes) {
            Show(owner, title, Text(list, "UninstString", "CancelString"), setup::kBoxOk);
            return -1;
        }
    }
    DPD();
    return 0;
}

int UninstUnInitialize(void) { return 0; }

int PrinterCheck(const char* name, char* freeName)
{
    if (!name || !freeName)
        return 0;
    const auto queues = setup::ListQueues(*platform::currentSpooler());
    const setup::PrinterPlace place = setup::PlacePrinter(queues, name, [](const platform::Destination&) { return false; });
    const size_t length = std::min(place.freeName.size(), setup::kPathBytes - 1);
    std::memcpy(freeName, place.freeName.data(), length);
    freeName[length] = '\0';
    return place.taken > 0 ? 1 : 0;
}

} // extern "C"
