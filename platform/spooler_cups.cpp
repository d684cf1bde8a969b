// The spooler over CUPS: a printer is a CUPS destination, a raw document is a CUPS job whose single
// document is streamed in the raw format. Also the process-wide choice of spooler.
#include "platform/spooler.h"

#include "platform/registry.h"
#include "platform/text.h"
#include "platform/unicode.h"

#include <cups/adminutil.h>
#include <cups/cups.h>

#include <algorithm>
#include <iterator>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <sys/socket.h>

namespace platform {

namespace {

// An own connection to the CUPS server for each open printer, so handles never share a request.
http_t* connectToServer()
{
    return httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr);
}

// When a call on a bounded connection has to end.
struct Deadline {
    std::chrono::steady_clock::time_point at;
    bool open() const { return std::chrono::steady_clock::now() < at; }
};

// A connection of a call's own whose connect, waits and reads all end at the call's deadline: waits
// are cut into short slices that fail once the deadline has passed, and a watchdog shuts the socket
// down at the deadline, so neither a silent server nor one that trickles bytes holds the call.
class BoundedConnection {
public:
    explicit BoundedConnection(std::chrono::milliseconds limit)
        : deadline_{std::chrono::steady_clock::now() + limit}
    {
        const int connectMs = static_cast<int>(std::clamp<long long>(limit.count(), 1, 600000));
        http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, connectMs, nullptr);
        if (!http_)
            return;
        httpSetTimeout(http_, 0.1, [](http_t*, void* data) { return static_cast<Deadline*>(data)->open() ? 1 : 0; },
                       &deadline_);
        const int fd = httpGetFd(http_);
        watchdog_ = std::thread([this, fd] {
            std::unique_lock lock(mutex_);
            if (!ended_.wait_until(lock, deadline_.at, [this] { return done_; }))
                ::shutdown(fd, SHUT_RDWR); // the call in progress fails at once
        });
    }
    ~BoundedConnection()
    {
        if (watchdog_.joinable()) {
            {
                std::lock_guard lock(mutex_);
                done_ = true;
            }
            ended_.notify_all();
            watchdog_.join();
        }
        if (http_)
            httpClose(http_);
    }
    BoundedConnection(const BoundedConnection&) = delete;
    BoundedConnection& operator=(const BoundedConnection&) = delete;

    /// The connection; null when the server could not be reached in time.
    http_t* get() const { return http_; }
    /// True once the deadline has passed: an answer that came after it does not count.
    bool late() const { return !deadline_.open(); }

private:
    Deadline deadline_;
    http_t* http_ = nullptr;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
    std::thread watchdog_;
};

// An open printer: the queue its name was resolved to when it was opened, on a connection of its
// own. Its jobs go to that queue without asking for it again.
class CupsPrinter : public PrinterHandle {
public:
    CupsPrinter(http_t* http, std::string queue) : http_(http), name_(std::move(queue)) {}

    ~CupsPrinter() override
    {
        if (state_ == State::InDocument || state_ == State::InPage)
            cancelDocument();
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
    const std::string name_;
    State state_ = State::Open;
    int jobId_ = 0;
};

class CupsSpooler : public Spooler {
public:
    explicit CupsSpooler(std::chrono::milliseconds adminLimit) : adminLimit_(adminLimit) {}

    std::unique_ptr<PrinterHandle> openPrinter(std::string_view printerName, std::string* error) override
    {
        auto queue = queueOf(printerName, nullptr, error);
        if (!queue)
            return nullptr;
        http_t* http = connectToServer();
        if (!http) {
            if (error)
                *error = unreachable();
            return nullptr;
        }
        return std::make_unique<CupsPrinter>(http, std::move(queue->name));
    }

    std::optional<std::string> deviceUri(std::string_view printerName) override
    {
        const auto queue = queueOf(printerName, "device-uri", nullptr);
        return queue ? queue->value : std::nullopt;
    }

    bool hasPrinter(std::string_view printerName) override
    {
        return queueOf(printerName, nullptr, nullptr).has_value();
    }

    std::optional<std::string> makeAndModel(std::string_view printerName) override
    {
        const auto queue = queueOf(printerName, nullptr, nullptr);
        return queue && !queue->makeAndModel.empty() ? std::optional<std::string>(queue->makeAndModel) : std::nullopt;
    }

    // One CUPS-Get-Printers request (printers and classes) on a connection of our own that ends at
    // the deadline.
    std::optional<std::vector<Destination>> listDestinations(std::chrono::milliseconds timeLimit) override
    {
        BoundedConnection connection(timeLimit);
        if (!connection.get())
            return std::nullopt;
        static const char* const kAttributes[] = {"printer-name", "printer-make-and-model", "printer-location",
                                                  "printer-info"};
        ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      static_cast<int>(std::size(kAttributes)), nullptr, kAttributes);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
        ipp_t* response = cupsDoRequest(connection.get(), request, "/");
        if (!response)
            return std::nullopt;
        std::optional<std::vector<Destination>> result;
        const ipp_status_t status = ippGetStatusCode(response);
        if (connection.late())
            ; // too late: not an answer
        else if (status == IPP_STATUS_ERROR_NOT_FOUND) // a server without queues
            result.emplace();
        else if (status <= IPP_STATUS_OK_CONFLICTING)
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
        BoundedConnection connection(adminLimit_);
        if (!connection.get())
            return std::nullopt;
        ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_DEFAULT);
        static const char* const kAttributes[] = {"printer-name"};
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 1, nullptr, kAttributes);
        ipp_t* response = cupsDoRequest(connection.get(), request, "/");
        std::optional<std::string> result;
        if (response && !connection.late() && ippGetStatusCode(response) <= IPP_STATUS_OK_CONFLICTING)
            if (ipp_attribute_t* attribute = ippFindAttribute(response, "printer-name", IPP_TAG_NAME))
                if (const char* value = ippGetString(attribute, 0, nullptr); value && *value)
                    result = value;
        ippDelete(response);
        return result;
    }

    std::optional<std::vector<std::string>> listDevices(std::chrono::milliseconds timeLimit) override
    {
        // The server stops its backends at the limit and answers with what they found by then; the
        // connection allows it a little longer to send that answer.
        const int seconds = static_cast<int>(std::clamp<long long>((timeLimit.count() + 999) / 1000, 1, 600));
        BoundedConnection connection(std::chrono::seconds(seconds) + kAnswerMargin);
        if (!connection.get())
            return std::nullopt;
        std::vector<std::string> uris;
        const ipp_status_t status = cupsGetDevices(
            connection.get(), seconds, CUPS_INCLUDE_ALL, CUPS_EXCLUDE_NONE,
            [](const char*, const char*, const char*, const char*, const char* uri, const char*, void* data) {
                if (uri && *uri)
                    static_cast<std::vector<std::string>*>(data)->push_back(uri);
            },
            &uris);
        if (status > IPP_STATUS_OK_CONFLICTING || connection.late())
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
    // server did what it asked within the administration time limit.
    bool administer(ipp_t* request, const char* file, std::string* error) const
    {
        BoundedConnection connection(adminLimit_);
        if (!connection.get()) {
            ippDelete(request);
            if (error)
                *error = unreachable();
            return false;
        }
        ippDelete(cupsDoFileRequest(connection.get(), request, "/admin/", file));
        if (connection.late()) {
            if (error)
                *error = unanswered();
            return false;
        }
        const bool done = cupsLastError() <= IPP_STATUS_OK_CONFLICTING;
        if (!done && error)
            *error = cupsLastErrorString() ? cupsLastErrorString() : "refused";
        return done;
    }

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

    // What the server answered about one queue.
    struct QueueAnswer {
        bool connected = false;            ///< the server could be reached
        bool answered = false;             ///< it answered in time
        bool known = false;                ///< it has the queue
        std::string makeAndModel;          ///< the queue's driver, when it has one
        std::optional<std::string> value;  ///< the further attribute asked for, when the queue has it
        std::string said;                  ///< the server's text when it has no such queue
    };

    // The driver of the queue of that name and (when one is named) a further attribute of it, asked
    // in one request on a connection that ends at the time limit.
    QueueAnswer askQueue(const std::string& queue, const char* attribute) const
    {
        QueueAnswer answer;
        BoundedConnection connection(adminLimit_);
        if (!connection.get())
            return answer;
        answer.connected = true;
        ipp_t* request = printerRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, queue);
        const char* wanted[] = {"printer-make-and-model", attribute};
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", attribute ? 2 : 1, nullptr,
                      wanted);
        ipp_t* response = cupsDoRequest(connection.get(), request, "/");
        const auto text = [&](const char* name) -> std::optional<std::string> {
            if (ipp_attribute_t* found = ippFindAttribute(response, name, IPP_TAG_ZERO))
                if (const char* value = ippGetString(found, 0, nullptr); value && *value)
                    return value;
            return std::nullopt;
        };
        if (response && !connection.late()) {
            answer.answered = true;
            if (ippGetStatusCode(response) <= IPP_STATUS_OK_CONFLICTING) {
                answer.known = true;
                answer.makeAndModel = text("printer-make-and-model").value_or("");
                if (attribute)
                    answer.value = text(attribute);
            } else {
                answer.said = serverSaid(queue);
            }
        }
        ippDelete(response);
        return answer;
    }

    // The reason for an answer that did not come.
    static std::string notAnswered(const QueueAnswer& answer)
    {
        return answer.connected ? unanswered() : unreachable();
    }

    // The queue a printer name means (see Spooler), with its driver and the attribute asked for.
    struct Resolved {
        std::string name;
        std::string makeAndModel;
        std::optional<std::string> value;
    };

    // Resolves a printer name to its queue, asking the server as little as it can: a recorded name
    // asks for its recorded queue alone, an unrecorded one for the queue of its queue name; the
    // whole list is asked for only when that queue is gone or prints with another driver. Nothing
    // when the server has no queue for the name or cannot be asked, with the reason in error (when
    // given).
    std::optional<Resolved> queueOf(std::string_view printerName, const char* attribute, std::string* error)
    {
        const auto fail = [&](std::string reason) -> std::optional<Resolved> {
            if (error)
                *error = std::move(reason);
            return std::nullopt;
        };
        if (printerName.empty())
            return fail("no printer named");
        const PrinterLookup lookup = recordedPrinterLookup();
        const auto record = std::find_if(lookup.records.begin(), lookup.records.end(), [&](const PrinterRecord& r) {
            return equalsNoCase(r.printer, printerName);
        });
        const std::string asked = record != lookup.records.end() ? record->queue : queueNameFor(printerName);
        const QueueAnswer answer = askQueue(asked, attribute);
        if (!answer.answered)
            return fail(notAnswered(answer));
        Destination queue;
        queue.makeAndModel = answer.makeAndModel;
        if (answer.known && (record == lookup.records.end() || printsWithDriver(queue, record->driver)))
            return Resolved{asked, answer.makeAndModel, answer.value};
        const auto queues = listDestinations(adminLimit_);
        if (!queues)
            return fail(unanswered());
        if (const Destination* found = findPrinterQueue(*queues, printerName, lookup)) {
            const QueueAnswer again = askQueue(found->name, attribute);
            if (!again.answered)
                return fail(notAnswered(again));
            if (again.known)
                return Resolved{found->name, again.makeAndModel, again.value};
            return fail(again.said);
        }
        if (record != lookup.records.end())
            return fail("the queue \"" + record->queue + "\" that the setup made for \"" + record->printer
                        + "\" is gone"
                        + (answer.known ? "; the queue of that name now prints with another driver" : ""));
        return fail(answer.said.empty() ? "CUPS has no queue for \"" + std::string(printerName) + "\"" : answer.said);
    }

    // What the server said when it refused a call on a queue, with the queue asked.
    static std::string serverSaid(const std::string& queue)
    {
        const char* said = cupsLastErrorString();
        return "CUPS answered for \"" + queue + "\": " + (said && *said ? said : "refused");
    }

    // The server as its clients reach it: the local socket's path, else the host with the port.
    static std::string serverName()
    {
        const std::string host = cupsServer() ? cupsServer() : "";
        if (host.empty() || host.front() == '/')
            return host;
        const bool bare = host.find(':') != std::string::npos && host.front() != '['; // an IPv6 address
        return (bare ? "[" + host + "]" : host) + ":" + std::to_string(ippPort());
    }

    // The reasons when the server could not be asked, or did not answer in time.
    static std::string unreachable() { return "the CUPS server " + serverName() + " cannot be reached"; }
    static std::string unanswered() { return "the CUPS server " + serverName() + " did not answer in time"; }

    // How long the server gets to answer a device search after its backends stopped.
    static constexpr std::chrono::seconds kAnswerMargin{5};

    const std::chrono::milliseconds adminLimit_;
};

std::mutex spoolerMutex;
std::shared_ptr<Spooler> installedSpooler; // null until first asked for: then CUPS

} // namespace

std::string queueNameFor(std::string_view printerName)
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

// The UTF-8 bytes of text read as Latin-1 and written again as UTF-8: how CUPS reported a driver
// name whose PPD file declared Latin-1 while holding UTF-8 (queues made by earlier installations).
std::string utf8ReadAsLatin1(std::string_view text)
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

bool printsWithDriver(const Destination& queue, std::string_view driverName)
{
    return !driverName.empty()
           && (queue.makeAndModel == driverName || queue.makeAndModel == utf8ReadAsLatin1(driverName));
}

std::vector<PrinterRecord> recordedPrinters()
{
    std::vector<PrinterRecord> records;
    RegistryKey key;
    std::vector<std::pair<std::string, RegValue>> values;
    if (RegistryKey::open(Hive::LocalMachine, kPrinterRecordKey, key) != RegStatus::Ok
        || key.values(values) != RegStatus::Ok)
        return records;
    for (const auto& [printer, value] : values) {
        const std::vector<std::string> texts = value.texts();
        if (value.type == RegType::MultiString && texts.size() == 2 && !printer.empty())
            records.push_back({texts[0], printer, texts[1]});
    }
    return records;
}

bool recordPrinter(const PrinterRecord& record)
{
    if (record.queue.empty() || record.printer.empty() || record.driver.empty())
        return false;
    RegistryKey key;
    return RegistryKey::create(Hive::LocalMachine, kPrinterRecordKey, key) == RegStatus::Ok
           && key.set(record.printer, RegValue::multiString({record.queue, record.driver})) == RegStatus::Ok;
}

void forgetRecordedQueue(std::string_view queue)
{
    RegistryKey key;
    if (RegistryKey::open(Hive::LocalMachine, kPrinterRecordKey, key) != RegStatus::Ok)
        return;
    for (const PrinterRecord& record : recordedPrinters())
        if (equalsNoCase(record.queue, queue))
            key.removeValue(record.printer);
}

const Destination* findPrinterQueue(const std::vector<Destination>& queues, std::string_view printerName,
                                    const PrinterLookup& lookup)
{
    if (printerName.empty())
        return nullptr;
    // A recorded name is answered only by a queue of a driver recorded for it.
    std::vector<std::string_view> drivers;
    for (const PrinterRecord& record : lookup.records)
        if (equalsNoCase(record.printer, printerName))
            drivers.push_back(record.driver);
    const auto kept = [&](const Destination& queue) {
        return (!lookup.keep || lookup.keep(queue))
               && (drivers.empty() || std::any_of(drivers.begin(), drivers.end(), [&](std::string_view driver) {
                      return printsWithDriver(queue, driver);
                  }));
    };
    const auto named = [&](std::string_view name) -> const Destination* {
        for (const auto& queue : queues)
            if (equalsNoCase(queue.name, name) && kept(queue))
                return &queue;
        return nullptr;
    };
    for (const PrinterRecord& record : lookup.records)
        if (equalsNoCase(record.printer, printerName))
            if (const Destination* queue = named(record.queue); queue && printsWithDriver(*queue, record.driver))
                return queue;
    if (const Destination* queue = named(queueNameFor(printerName)))
        return queue;
    for (const auto& queue : queues)
        if (queue.info == printerName && kept(queue) && (!lookup.suite || lookup.suite(queue)))
            return &queue;
    return named(printerName);
}

PrinterLookup recordedPrinterLookup()
{
    PrinterLookup lookup;
    lookup.records = recordedPrinters();
    lookup.suite = [records = lookup.records](const Destination& queue) {
        return std::any_of(records.begin(), records.end(),
                           [&](const PrinterRecord& record) { return printsWithDriver(queue, record.driver); });
    };
    return lookup;
}

std::string minimalPpd(std::string_view model)
{
    std::string safe;
    for (const char c : model)
        safe += (c == '"' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    // The declared encoding must be the one of the bytes, or CUPS reports another name than the
    // one given: Latin-1 (the file format's usual one) when every character has a Latin-1 byte,
    // else UTF-8 as it is.
    std::string encoding = "ISOLatin1";
    const std::u16string wide = utf8ToUtf16(safe);
    if (std::all_of(wide.begin(), wide.end(), [](char16_t c) { return c < 0x100; }) && utf16ToUtf8(wide) == safe)
        safe.assign(wide.begin(), wide.end()); // one byte each
    else
        encoding = "UTF-8";
    return "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
           "*LanguageVersion: English\n*LanguageEncoding: " + encoding + "\n*PCFileName: \"QELTA.PPD\"\n"
           "*Manufacturer: \"Qelta\"\n*Product: \"(Qelta)\"\n*ModelName: \"" + safe + "\"\n"
           "*ShortNickName: \"" + safe + "\"\n*NickName: \"" + safe + "\"\n"
           "*PSVersion: \"(3010.000) 0\"\n"
           "*OpenUI *PageSize/Media Size: PickOne\n*DefaultPageSize: A4\n"
           "*PageSize A4/A4: \"<</PageSize[595 842]>>setpagedevice\"\n*CloseUI: *PageSize\n"
           "*DefaultImageableArea: A4\n*ImageableArea A4/A4: \"0 0 595 842\"\n"
           "*DefaultPaperDimension: A4\n*PaperDimension A4/A4: \"595 842\"\n";
}

std::shared_ptr<Spooler> makeCupsSpooler(std::chrono::milliseconds timeLimit)
{
    return std::make_shared<CupsSpooler>(timeLimit);
}

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
