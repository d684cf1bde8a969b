// The spooler over CUPS: a printer is a CUPS destination, a raw document is a CUPS job whose single
// document is streamed in the raw format. Also the process-wide choice of spooler.
#include "platform/spooler.h"

#include "platform/text.h"

#include <cups/adminutil.h>
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

    bool addQueue(const QueueDefinition& queue, std::string* error) override
    {
        if (queue.name.empty() || queue.deviceUri.empty()) {
            if (error)
                *error = "a queue needs a name and a device URI";
            return false;
        }
        ipp_t* request = printerRequest(IPP_OP_CUPS_ADD_MODIFY_PRINTER, queue.name);
        ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_URI, "device-uri", nullptr, queue.deviceUri.c_str());
        if (!queue.info.empty())
            ippAddString(request, IPP_TAG_PRINTER, IPP_TAG_TEXT, "printer-info", nullptr, queue.info.c_str());
        ippAddBoolean(request, IPP_TAG_PRINTER, "printer-is-accepting-jobs", 1);
        ippAddInteger(request, IPP_TAG_PRINTER, IPP_TAG_ENUM, "printer-state", IPP_PSTATE_IDLE);
        return administer(request, queue.ppdPath.empty() ? nullptr : queue.ppdPath.c_str(), error);
    }

    bool removeQueue(std::string_view name) override
    {
        if (name.empty())
            return false;
        return administer(printerRequest(IPP_OP_CUPS_DELETE_PRINTER, name), nullptr, nullptr);
    }

    bool setDefaultDestination(std::string_view name) override
    {
        if (name.empty())
            return false;
        return administer(printerRequest(IPP_OP_CUPS_SET_DEFAULT, name), nullptr, nullptr);
    }

    // Asked of the server itself: never the user's own choice (lpoptions, PRINTER, LPDEST).
    std::optional<std::string> defaultDestination() override
    {
        http_t* http = connectToServer();
        if (!http)
            return std::nullopt;
        ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_DEFAULT);
        static const char* const kAttributes[] = {"printer-name"};
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 1, nullptr, kAttributes);
        ipp_t* response = cupsDoRequest(http, request, "/");
        httpClose(http);
        std::optional<std::string> result;
        if (response && ippGetStatusCode(response) <= IPP_STATUS_OK_CONFLICTING)
            if (ipp_attribute_t* attribute = ippFindAttribute(response, "printer-name", IPP_TAG_NAME))
                if (const char* value = ippGetString(attribute, 0, nullptr); value && *value)
                    result = value;
        ippDelete(response);
        return result;
    }

    std::optional<std::vector<std::string>> listDevices(std::chrono::milliseconds timeLimit) override
    {
        http_t* http = connectToServer();
        if (!http)
            return std::nullopt;
        // The server stops its backends at the limit and answers with what they found by then.
        const int seconds = static_cast<int>(std::clamp<long long>((timeLimit.count() + 999) / 1000, 1, 600));
        std::vector<std::string> uris;
        const ipp_status_t status = cupsGetDevices(
            http, seconds, CUPS_INCLUDE_ALL, CUPS_EXCLUDE_NONE,
            [](const char*, const char*, const char*, const char*, const char* uri, const char*, void* data) {
                if (uri && *uri)
                    static_cast<std::vector<std::string>*>(data)->push_back(uri);
            },
            &uris);
        httpClose(http);
        if (status > IPP_STATUS_OK_CONFLICTING)
            return std::nullopt;
        return uris;
    }

private:
    // An administration request on the queue of that name.
    static ipp_t* printerRequest(ipp_op_t operation, std::string_view name)
    {
        char uri[HTTP_MAX_URI];
        const std::string queue(name);
        httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/printers/%s",
                         queue.c_str());
        ipp_t* request = ippNewRequest(operation);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
        return request;
    }

    // Sends an administration request (with a file, when one is named) and frees it; true when the
    // server did what it asked.
    static bool administer(ipp_t* request, const char* file, std::string* error)
    {
        http_t* http = connectToServer();
        if (!http) {
            ippDelete(request);
            if (error)
                *error = "the CUPS server cannot be reached";
            return false;
        }
        ippDelete(cupsDoFileRequest(http, request, "/admin/", file));
        httpClose(http);
        const bool done = cupsLastError() <= IPP_STATUS_OK_CONFLICTING;
        if (!done && error)
            *error = cupsLastErrorString() ? cupsLastErrorString() : "refused";
        return done;
    }

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

std::string minimalPpd(std::string_view model)
{
    std::string safe;
    for (const char c : model)
        safe += (c == '"' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    return "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
           "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"QELTA.PPD\"\n"
           "*Manufacturer: \"Qelta\"\n*Product: \"(Qelta)\"\n*ModelName: \"" + safe + "\"\n"
           "*ShortNickName: \"" + safe + "\"\n*NickName: \"" + safe + "\"\n"
           "*PSVersion: \"(3010.000) 0\"\n"
           "*OpenUI *PageSize/Media Size: PickOne\n*DefaultPageSize: A4\n"
           "*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n*CloseUI: *PageSize\n"
           "*DefaultImageableArea: A4\n*ImageableArea A4/A4: \"0 0 595 842\"\n"
           "*DefaultPaperDimension: A4\n*PaperDimension A4/A4: \"595 842\"\n";
}

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
