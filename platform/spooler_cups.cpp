// The spooler over CUPS: a printer is a CUPS destination, a raw document is a CUPS job whose single
// document is streamed in the raw format. Also the process-wide choice of spooler.
#include "platform/spooler.h"

#include "platform/text.h"

#include <cups/cups.h>

#include <algorithm>
#include <iterator>
#include <mutex>

#include <sys/socket.h>

namespace platform {

namespace {

// An own connection to the CUPS server for each open printer, so handles never share a request.
http_t* connectToServer()
{
    return httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr);
}

class CupsPrinter : public PrinterHandle {
public:
    CupsPrinter(http_t* http, cups_dest_t* dest) : http_(http), dest_(dest), name_(dest->name) {}

    ~CupsPrinter() override
    {
        if (state_ == State::InDocument || state_ == State::InPage)
            cancelDocument();
        cupsFreeDests(1, dest_);
        httpClose(http_);
    }

    CupsPrinter(const CupsPrinter&) = delete;
    CupsPrinter& operator=(const CupsPrinter&) = delete;

    bool startDocument(std::string_view documentName, std::string_view dataType) override
    {
        if (state_ != State::Open || !equalsNoCase(dataType, "RAW"))
            return false;
        const std::string title(documentName);
        const int job = cupsCreateJob(http_, name_.c_str(), title.c_str(), 0, nullptr);
        if (job <= 0)
            return false;
        if (cupsStartDocument(http_, name_.c_str(), job, title.c_str(), CUPS_FORMAT_RAW, 1) != HTTP_STATUS_CONTINUE) {
            // The job exists but has no document: take it away again so it never lingers in the queue.
            cupsCancelJob2(http_, name_.c_str(), job, 0);
            return false;
        }
        jobId_ = job;
        state_ = State::InDocument;
        return true;
    }

    // CUPS knows no pages in a raw job: pages are kept only to check the order of calls.
    bool startPage() override
    {
        if (state_ != State::InDocument)
            return false;
        state_ = State::InPage;
        return true;
    }

    bool write(const void* data, size_t size, size_t& written) override
    {
        written = 0;
        if (state_ != State::InPage || (data == nullptr && size > 0))
            return false;
        if (size == 0)
            return true;
        if (cupsWriteRequestData(http_, static_cast<const char*>(data), size) != HTTP_STATUS_CONTINUE)
            return false;
        written = size;
        return true;
    }

    bool endPage() override
    {
        if (state_ != State::InPage)
            return false;
        state_ = State::InDocument;
        return true;
    }

    bool endDocument() override
    {
        if (state_ != State::InDocument)
            return false;
        if (cupsFinishDocument(http_, name_.c_str()) != IPP_STATUS_OK)
            return false; // still in the document: closing the handle cancels the job
        state_ = State::Finished;
        return true;
    }

    void cancelDocument() override
    {
        if (state_ != State::InDocument && state_ != State::InPage)
            return;
        cupsCancelJob2(http_, name_.c_str(), jobId_, 0);
        state_ = State::Finished;
    }

private:
    enum class State { Open, InDocument, InPage, Finished };

    http_t* http_;
    cups_dest_t* dest_;
    const std::string name_;
    State state_ = State::Open;
    int jobId_ = 0;
};

class CupsSpooler : public Spooler {
public:
    std::unique_ptr<PrinterHandle> openPrinter(std::string_view printerName) override
    {
        if (printerName.empty())
            return nullptr;
        http_t* http = connectToServer();
        if (!http)
            return nullptr;
        const std::string name(printerName);
        cups_dest_t* dest = cupsGetNamedDest(http, name.c_str(), nullptr);
        if (!dest) {
            httpClose(http);
            return nullptr;
        }
        return std::make_unique<CupsPrinter>(http, dest);
    }

    std::optional<std::string> deviceUri(std::string_view printerName) override
    {
        return destinationOption(printerName, "device-uri");
    }

    bool hasPrinter(std::string_view printerName) override
    {
        bool known = false;
        withDestination(printerName, [&](cups_dest_t*) { known = true; });
        return known;
    }

    std::optional<std::string> makeAndModel(std::string_view printerName) override
    {
        return destinationOption(printerName, "printer-make-and-model");
    }

    // One CUPS-Get-Printers request (printers and classes) on a connection of our own, whose
    // connect and every wait end at the deadline.
    std::optional<std::vector<Destination>> listDestinations(std::chrono::milliseconds timeLimit) override
    {
        Deadline deadline{std::chrono::steady_clock::now() + timeLimit};
        const int connectMs = static_cast<int>(std::clamp<long long>(timeLimit.count(), 1, 600000));
        http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, connectMs, nullptr);
        if (!http)
            return std::nullopt;
        // Waits are cut into short slices; once the deadline has passed the next wait fails.
        httpSetTimeout(http, 0.1, [](http_t*, void* data) { return static_cast<Deadline*>(data)->open() ? 1 : 0; },
                       &deadline);
        static const char* const kAttributes[] = {"printer-name", "printer-make-and-model", "printer-location",
                                                  "printer-info"};
        ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      static_cast<int>(std::size(kAttributes)), nullptr, kAttributes);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
        ipp_t* response = cupsDoRequest(http, request, "/");
        const bool late = !deadline.open();
        httpClose(http);
        if (!response)
            return std::nullopt;
        std::optional<std::vector<Destination>> result;
        const ipp_status_t status = ippGetStatusCode(response);
        if (status == IPP_STATUS_ERROR_NOT_FOUND) // a server without queues
            result.emplace();
        else if (status <= IPP_STATUS_OK_CONFLICTING && !late)
            result = destinationsOf(response);
        ippDelete(response);
        return result;
    }

private:
    struct Deadline {
        std::chrono::steady_clock::time_point at;
        bool open() const { return std::chrono::steady_clock::now() < at; }
    };

    // The printers of a CUPS-Get-Printers answer: one attribute group each.
    static std::vector<Destination> destinationsOf(ipp_t* response)
    {
        std::vector<Destination> list;
        Destination current;
        auto flush = [&] {
            if (!current.name.empty())
                list.push_back(std::move(current));
            current = Destination();
        };
        for (ipp_attribute_t* attribute = ippFirstAttribute(response); attribute;
             attribute = ippNextAttribute(response)) {
            const char* name = ippGetName(attribute);
            if (ippGetGroupTag(attribute) != IPP_TAG_PRINTER || !name) {
                flush();
                continue;
            }
            const char* value = ippGetString(attribute, 0, nullptr);
            const std::string text = value ? value : "";
            const std::string_view key = name;
            if (key == "printer-name")
                current.name = text;
            else if (key == "printer-make-and-model")
                current.makeAndModel = text;
            else if (key == "printer-location")
                current.location = text;
            else if (key == "printer-info")
                current.info = text;
        }
        flush();
        return list;
    }

    // Runs use on the named destination, when the server knows it.
    template <typename Use>
    static void withDestination(std::string_view printerName, Use&& use)
    {
        if (printerName.empty())
            return;
        http_t* http = connectToServer();
        if (!http)
            return;
        const std::string name(printerName);
        if (cups_dest_t* dest = cupsGetNamedDest(http, name.c_str(), nullptr)) {
            use(dest);
            cupsFreeDests(1, dest);
        }
        httpClose(http);
    }

    // A non-empty option of the named destination.
    static std::optional<std::string> destinationOption(std::string_view printerName, const char* option)
    {
        std::optional<std::string> result;
        withDestination(printerName, [&](cups_dest_t* dest) {
            const char* value = cupsGetOption(option, dest->num_options, dest->options);
            if (value && *value)
                result = value;
        });
        return result;
    }
};

std::mutex spoolerMutex;
std::shared_ptr<Spooler> installedSpooler; // null until first asked for: then CUPS

} // namespace

std::shared_ptr<Spooler> makeCupsSpooler() { return std::make_shared<CupsSpooler>(); }

std::shared_ptr<Spooler> currentSpooler()
{
    std::lock_guard lock(spoolerMutex);
    if (!installedSpooler)
        installedSpooler = makeCupsSpooler();
    return installedSpooler;
}

std::shared_ptr<Spooler> setSpooler(std::shared_ptr<Spooler> spooler)
{
    std::lock_guard lock(spoolerMutex);
    std::shared_ptr<Spooler> previous = std::move(installedSpooler);
    if (!previous)
        previous = makeCupsSpooler();
    installedSpooler = std::move(spooler);
    return previous;
}

} // namespace platform
