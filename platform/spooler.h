// The print spooler: printers by name, raw documents written to them in pages.
//
// The real one is CUPS; tests install a recording spooler (platform/tests/support/recording_spooler.h).
#pragma once

#include "platform/registry.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// One open printer. Closing it (destroying the object) cancels a document that was started but
/// not ended, so a broken job never prints.
class PrinterHandle {
public:
    virtual ~PrinterHandle() = default;
    /// Starts a document; dataType "RAW" passes the bytes to the device untouched.
    virtual bool startDocument(std::string_view documentName, std::string_view dataType) = 0;
    virtual bool startPage() = 0;
    /// Writes up to size bytes; written tells how many went (a short write is not a failure).
    virtual bool write(const void* data, size_t size, size_t& written) = 0;
    virtual bool endPage() = 0;
    /// Ends the document: it is complete and goes to the device.
    virtual bool endDocument() = 0;
    /// Abandons the document in progress.
    virtual void cancelDocument() = 0;
};

/// One destination (print queue) as the spooler lists it; a fact the destination lacks is empty.
struct Destination {
    std::string name;         ///< the queue name
    std::string makeAndModel; ///< the driver it prints with (printer-make-and-model)
    std::string location;     ///< where it stands (printer-location)
    std::string info;         ///< its description (printer-info)
    bool operator==(const Destination&) const = default;
};

/// A queue to make: the queue name, its description (printer-info), its device URI and the PPD file
/// that gives its driver (printer-make-and-model is the PPD's NickName).
struct QueueDefinition {
    std::string name;
    std::string info;
    std::string deviceUri;
    std::string ppdPath;
};

/// The queue name the suite's setup gives a printer name: each character CUPS refuses in queue
/// names (blank, tab, "/", "\", "?", quotes, "#", "@", DEL, control bytes) and ":" turned into "_",
/// cut to 127 bytes (never within a UTF-8 character).
std::string queueNameFor(std::string_view printerName);

/// True when the queue prints with that driver, its make and model as CUPS reports it (also as
/// earlier installations made CUPS report a non-ASCII name: its UTF-8 bytes read as Latin-1).
bool printsWithDriver(const Destination& queue, std::string_view driverName);

/// A queue the suite's setup made, as the machine hive records it: the queue, the printer name the
/// setup was given for it and the driver it was made with.
struct PrinterRecord {
    std::string queue;
    std::string printer;
    std::string driver;
    bool operator==(const PrinterRecord&) const = default;
};

/// The machine hive's key of the records: one value a printer name, holding the queue and the
/// driver (a multi-string), beside the setup's other machine settings.
inline constexpr JoinedKey kPrinterRecordKeyText{kProductKeyText.text, "\\FaxQueues"};
inline constexpr const char* kPrinterRecordKey = kPrinterRecordKeyText.text;

/// The recorded queues in the order they were recorded; none when the hive holds none or cannot
/// be read.
std::vector<PrinterRecord> recordedPrinters();
/// Records a queue the setup made for a printer name, in place of an earlier record of the name.
/// False when the hive cannot be written (a name with control characters cannot be recorded).
bool recordPrinter(const PrinterRecord& record);
/// Forgets every record of a queue (nothing when it has none).
void forgetRecordedQueue(std::string_view queue);

/// How a printer name is looked up among queues.
struct PrinterLookup {
    std::vector<PrinterRecord> records;            ///< the queues the setup recorded
    std::function<bool(const Destination&)> suite; ///< the queues a description may name (null: every queue)
    std::function<bool(const Destination&)> keep;  ///< only queues it accepts count at all (null: every queue)
};

/// The queue a printer name means among queues, the first of: the queue recorded for the printer
/// name (in any case) while it prints with the recorded driver; the queue of the printer's queue
/// name (queueNameFor, in any case); the first queue whose description is the printer name and
/// that lookup.suite accepts; the queue of the name as it stands (in any case). Only queues that
/// lookup.keep accepts count at any step, and for a recorded name only queues that print with a
/// driver recorded for it. Null when none.
const Destination* findPrinterQueue(const std::vector<Destination>& queues, std::string_view printerName,
                                    const PrinterLookup& lookup = {});

/// The lookup of the spooler's calls by a printer's name: the recorded queues first, and a
/// description names only a queue that prints with a recorded driver.
PrinterLookup recordedPrinterLookup();

/// The spooler. A call that takes a printer's name finds its queue as the suite's setup names it
/// (findPrinterQueue with recordedPrinterLookup); a printer handle prints to the queue found when
/// it was opened.
class Spooler {
public:
    virtual ~Spooler() = default;
    /// Opens a printer the spooler knows; null otherwise, with the reason (the queue's name and what
    /// the server said) in error when the spooler has one to give.
    virtual std::unique_ptr<PrinterHandle> openPrinter(std::string_view printerName, std::string* error = nullptr) = 0;
    /// The device URI of a printer (for example "socket://192.0.2.7:9100"), when it has one.
    virtual std::optional<std::string> deviceUri(std::string_view printerName) = 0;
    /// True when the spooler knows a printer of that name (nothing is opened).
    virtual bool hasPrinter(std::string_view printerName) = 0;
    /// The printer's make and model (the driver it prints with), when it has one.
    virtual std::optional<std::string> makeAndModel(std::string_view printerName) = 0;
    /// Every destination the spooler knows, in its order; nothing when the list cannot be had
    /// within the time limit (an unreachable or slow server), never a part of it.
    virtual std::optional<std::vector<Destination>> listDestinations(std::chrono::milliseconds timeLimit) = 0;

    // Queue administration. A spooler that cannot administer its queues refuses every request.

    /// Makes a queue, or changes the one of that name, enabled and accepting jobs. False, with the
    /// spooler's reason in error, when it was refused.
    virtual bool addQueue(const QueueDefinition& queue, std::string* error = nullptr)
    {
        (void)queue;
        if (error)
            *error = "this spooler cannot make queues";
        return false;
    }
    /// Removes a queue with its jobs; false when it could not be removed.
    virtual bool removeQueue(std::string_view name)
    {
        (void)name;
        return false;
    }
    /// Makes a queue the server's default destination.
    virtual bool setDefaultDestination(std::string_view name)
    {
        (void)name;
        return false;
    }
    /// The server's default destination, when it has one.
    virtual std::optional<std::string> defaultDestination() { return std::nullopt; }
    /// The device URIs the spooler reports within the time limit: found devices ("usb://...") and,
    /// for backends that offer a scheme without a device, the scheme alone ("socket"). Nothing when
    /// the server cannot be asked.
    virtual std::optional<std::vector<std::string>> listDevices(std::chrono::milliseconds timeLimit)
    {
        (void)timeLimit;
        return std::nullopt;
    }
};

/// The text of a minimal PPD file for a queue whose make and model is model (its NickName; quotes
/// and control bytes in it become "_"): A4 paper and no filter, so raw jobs pass unchanged. The
/// file is Latin-1 when the model's characters allow, else UTF-8, and says which it is.
std::string minimalPpd(std::string_view model);

/// The spooler in use: CUPS unless another was installed.
std::shared_ptr<Spooler> currentSpooler();

/// Installs a spooler (null restores CUPS); gives back the previous one.
std::shared_ptr<Spooler> setSpooler(std::shared_ptr<Spooler> spooler);

/// How long a question to the spooler or a change of its queues may take at most (making, removing
/// or defaulting a queue, a printer's facts); past it the call fails.
inline constexpr std::chrono::milliseconds kSpoolerCallTimeLimit{15000};

/// The spooler over CUPS: printers are CUPS destinations, raw documents are CUPS jobs in the
/// raw format. Each call but a job's own ends within timeLimit (listings within theirs).
std::shared_ptr<Spooler> makeCupsSpooler(std::chrono::milliseconds timeLimit = kSpoolerCallTimeLimit);

} // namespace platform
