#include "setup/setup_core.h"

#include "common/registry_helper.h"
#include "platform/text.h"
#include "uiwidgets/view_helpers.h"

#include <QApplication>
#include <QMessageBox>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace setup {

std::string QueueNameFor(std::string_view printerName)
{
    std::string name;
    for (const char c : printerName) {
        const auto byte = static_cast<unsigned char>(c);
        const bool refused = byte < 0x20 || byte == 0x7F || c == ' ' || c == '/' || c == '\\' || c == '?' || c == '\''
                             || c == '"' || c == '#' || c == '@' || c == ':';
        name += refused ? '_' : c;
    }
    if (name.size() > 127) {
        size_t cut = 127;
        // Never leave half a UTF-8 character at the end.
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    return name;
}

namespace {

// The queue of a printer among those that pass keep: the queue of its queue name first, then the
// first whose description is the printer name.
template <typename Keep>
const platform::Destination* FindPrinterWhere(const std::vector<platform::Destination>& queues,
                                              std::string_view printerName, Keep&& keep)
{
    if (printerName.empty())
        return nullptr;
    const std::string queueName = QueueNameFor(printerName);
    for (const auto& queue : queues)
        if (platform::equalsNoCase(queue.name, queueName) && keep(queue))
            return &queue;
    for (const auto& queue : queues)
        if (queue.info == printerName && keep(queue))
            return &queue;
    return nullptr;
}

// The UTF-8 bytes of text read as Latin-1 and written again as UTF-8: how CUPS reported a driver
// name whose PPD file declared Latin-1 while holding UTF-8 (queues made by earlier installations).
std::string Utf8ReadAsLatin1(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

} // namespace

const platform::Destination* FindPrinter(const std::vector<platform::Destination>& queues, std::string_view printerName)
{
    return FindPrinterWhere(queues, printerName, [](const platform::Destination&) { return true; });
}

bool PrintsWithDriver(const platform::Destination& queue, std::string_view driverName)
{
    return !driverName.empty()
           && (queue.makeAndModel == driverName || queue.makeAndModel == Utf8ReadAsLatin1(driverName));
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

void RemovePrinter(platform::Spooler& spooler, const std::string& printerName, const std::string& driverName)
{
    const auto queues = ListQueues(spooler);
    const auto* queue = FindPrinterWhere(queues, printerName, [&](const platform::Destination& candidate) {
        return PrintsWithDriver(candidate, driverName);
    });
    if (queue)
        spooler.removeQueue(queue->name);
}

} // namespace setup
