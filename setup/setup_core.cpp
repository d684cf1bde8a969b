#include "setup/setup_core.h"

#include "common/registry_helper.h"
#include "platform/ini.h"
#include "platform/text.h"
#include "uiwidgets/view_helpers.h"

#include <QApplication>
#include <QMessageBox>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace setup {

namespace {

// Where MakeDefault remembers (HKLM, product key) the queue it made the default and the default
// that queue replaced.
constexpr const char* kDefaultQueueValue = "DefaultFaxQueue";
constexpr const char* kPreviousDefaultValue = "PreviousDefaultQueue";

const platform::Destination* QueueNamed(const std::vector<platform::Destination>& queues, std::string_view name)
{
    for (const auto& queue : queues)
        if (!name.empty() && platform::equalsNoCase(queue.name, name))
            return &queue;
    return nullptr;
}

} // namespace

PrinterPlace PlacePrinter(const std::vector<platform::Destination>& queues, std::string_view printerName,
                          const std::function<bool(const platform::Destination&)>& isSuite)
{
    // A name is taken when opening the printer by it would find a queue, or when its queue name is
    // a queue's already.
    const platform::PrinterLookup opened = platform::recordedPrinterLookup();
    const platform::PrinterLookup suite{opened.records, isSuite, isSuite};
    const auto taken = [&](const std::string& name) {
        return platform::findPrinterQueue(queues, name, opened) || QueueNamed(queues, platform::queueNameFor(name));
    };
    PrinterPlace place;
    std::string candidate(printerName);
    while (true) {
        if (const auto* queue = platform::findPrinterQueue(queues, candidate, suite)) {
            place.suiteQueue = queue;
            return place;
        }
        if (place.taken >= 9999 || !taken(candidate))
            break;
        ++place.taken;
        candidate = std::string(printerName) + " (" + std::to_string(place.taken) + ")";
    }
    place.freeName = std::move(candidate);
    return place;
}

std::vector<platform::Destination> ListQueues(platform::Spooler& spooler)
{
    return spooler.listDestinations(kSpoolerTimeLimit).value_or(std::vector<platform::Destination>{});
}

std::vector<std::string> ListPorts(platform::Spooler& spooler, bool withDevices)
{
    std::vector<std::string> ports;
    for (const auto& queue : ListQueues(spooler))
        if (auto uri = spooler.deviceUri(queue.name))
            ports.push_back(std::move(*uri));
    if (withDevices)
        for (auto& uri : spooler.listDevices(kSpoolerTimeLimit).value_or(std::vector<std::string>{}))
            ports.push_back(std::move(uri));
    return ports;
}

std::string InstallDirectory()
{
    return CRegistryHelper(HKEY_LOCAL_MACHINE, kProductKeyPrefix).ReadString(kProductSubkey, "TQL Directory", "");
}

std::string PrinterListFile(const std::string& installDirectory) { return installDirectory + "prname.ini"; }

bool DisplayAvailable()
{
    // Widgets need a QApplication: a caller with a plain core or GUI application gets none.
    if (QCoreApplication* application = QCoreApplication::instance())
        return qobject_cast<QApplication*>(application) != nullptr;
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(variable); value && *value)
            return true;
    return false;
}

std::unique_ptr<QApplication> EnsureApplication()
{
    static int argc = 1;
    static char arg0[] = "setup";
    static char* argv[] = {arg0, nullptr};
    if (QCoreApplication::instance())
        return nullptr;
    return std::make_unique<QApplication>(argc, argv);
}

QMessageBox* MakeMessageBox(const std::string& caption, const std::string& text, uint32_t type)
{
    const bool question = (type & 0x0F) == kBoxYesNo;
    const auto icon = question ? QMessageBox::Question : (type & kIconError ? QMessageBox::Critical : QMessageBox::Information);
    auto* box = new QMessageBox(icon, QString::fromStdString(caption), QString::fromStdString(text),
                                question ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok);
    box->setObjectName("SetupMessageBox");
    SetDialogFrame(box);
    return box;
}

int32_t ShowBox(MessageBoxFn hook, void* owner, const std::string& caption, const std::string& text, uint32_t type)
{
    if (hook)
        return hook(owner, caption.c_str(), text.c_str(), type);
    const bool question = (type & 0x0F) == kBoxYesNo;
    if (!DisplayAvailable()) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return question ? kAnswerNo : kAnswerOk;
    }
    const auto application = EnsureApplication();
    std::unique_ptr<QMessageBox> box(MakeMessageBox(caption, text, type));
    const int answer = box->exec();
    if (question)
        return answer == QMessageBox::Yes ? kAnswerYes : kAnswerNo;
    return kAnswerOk;
}

std::vector<std::string> ListedDrivers(const std::string& listFile)
{
    std::vector<std::string> drivers;
    auto add = [&](const std::string& key) {
        if (std::string name = platform::readProfileString("Printer", key.c_str(), "", listFile); !name.empty())
            drivers.push_back(std::move(name));
    };
    add("drivername");
    const int count = platform::readProfileInt("Printer", "Num", 0, listFile);
    for (int i = 0; i < count; ++i)
        add("drivername" + std::to_string(i));
    return drivers;
}

bool MakeDefault(platform::Spooler& spooler, const std::vector<platform::Destination>& queues,
                 const platform::Destination& queue, const std::function<bool(const platform::Destination&)>& isSuite,
                 std::string* error)
{
    const std::string current = spooler.defaultDestination().value_or("");
    if (platform::equalsNoCase(current, queue.name))
        return true;
    const platform::Destination* replaced = QueueNamed(queues, current);
    if (!spooler.setDefaultDestination(queue.name)) {
        if (error)
            *error = "the print server refused to make \"" + queue.name + "\" its default";
        return false;
    }
    const CRegistryHelper machine(HKEY_LOCAL_MACHINE, kProductKeyPrefix);
    // A default that is itself the suite's printer (an earlier call's) keeps the one it replaced.
    if (!replaced || !isSuite(*replaced))
        machine.WriteString(kProductSubkey, kPreviousDefaultValue, replaced ? replaced->name : "");
    machine.WriteString(kProductSubkey, kDefaultQueueValue, queue.name);
    return true;
}

void RemovePrinter(platform::Spooler& spooler, const std::string& printerName, const std::string& driverName)
{
    const auto listed = spooler.listDestinations(kSpoolerTimeLimit);
    if (!listed || printerName.empty())
        return; // nothing can be judged without the server's queues
    const auto& queues = *listed;
    const auto isSuite = [&](const platform::Destination& candidate) {
        return platform::printsWithDriver(candidate, driverName);
    };
    const platform::Destination* queue = nullptr;
    std::string recorded;
    for (const auto& record : platform::recordedPrinters())
        if (platform::equalsNoCase(record.printer, printerName) && record.driver == driverName)
            recorded = record.queue;
    if (!recorded.empty()) {
        // Exactly the queue recorded, while it still prints with the driver; a queue of another
        // driver that took its name since is the user's.
        queue = QueueNamed(queues, recorded);
        if (!queue || !isSuite(*queue)) {
            platform::forgetRecordedQueue(recorded);
            return;
        }
    } else {
        queue = PlacePrinter(queues, printerName, isSuite).suiteQueue;
    }
    if (!queue)
        return;
    const bool wasDefault = platform::equalsNoCase(spooler.defaultDestination().value_or(""), queue->name);
    if (!spooler.removeQueue(queue->name))
        return;
    platform::forgetRecordedQueue(queue->name);
    const CRegistryHelper machine(HKEY_LOCAL_MACHINE, kProductKeyPrefix);
    if (!platform::equalsNoCase(machine.ReadString(kProductSubkey, kDefaultQueueValue, ""), queue->name))
        return;
    // The default this queue replaced comes back, unless the user chose another one since.
    const std::string previous = machine.ReadString(kProductSubkey, kPreviousDefaultValue, "");
    if (wasDefault && QueueNamed(queues, previous))
        spooler.setDefaultDestination(previous);
    machine.WriteString(kProductSubkey, kDefaultQueueValue, "");
    machine.WriteString(kProductSubkey, kPreviousDefaultValue, "");
}

} // namespace setup
