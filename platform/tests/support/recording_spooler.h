// A spooler for tests and benchmarks: documents are kept in memory and every call is logged, so a
// test can check what a printing path sent and how it behaves when a step fails.
#pragma once

#include "platform/spooler.h"

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

/// A spooler that keeps every document in memory, for tests. It can be told to fail a step.
class RecordingSpooler : public Spooler {
public:
    enum class Step { Open, StartDocument, StartPage, Write, EndPage, EndDocument, List, AddQueue, RemoveQueue, SetDefault, Devices };

    struct Document {
        std::string printer, name, dataType;
        std::vector<std::string> pages; ///< the bytes written during each page
        bool ended = false;             ///< endDocument succeeded
        bool cancelled = false;         ///< abandoned (explicitly, or closed before its end)
    };

    /// A new recording spooler that knows one printer, installed as the spooler in use.
    static std::shared_ptr<RecordingSpooler> install(std::string printerName);

    /// Makes a printer known (with an optional device URI).
    void addPrinter(std::string name, std::string deviceUri = {});
    /// Gives a known printer a make and model.
    void setMakeAndModel(std::string_view name, std::string makeAndModel);
    /// Gives a known printer a location and a description (printer-info) for the listing.
    void setPlace(std::string_view name, std::string location, std::string info = {});
    /// Forgets a printer.
    void removePrinter(std::string_view name);
    /// The occurrence-th call (1 = the next) of step fails; counts start now.
    void failAt(Step step, int occurrence = 1);
    /// Each write takes at most maxBytes bytes (0: no limit).
    void limitWrites(size_t maxBytes);

    /// A queue made through addQueue: its definition and the PPD file's text at that moment.
    struct Queue {
        QueueDefinition definition;
        std::string ppd;
    };
    /// The queues made through addQueue and not removed since, in order.
    std::vector<Queue> queues() const;
    /// The device URIs listDevices reports.
    void setDevices(std::vector<std::string> uris);

    std::vector<Document> documents() const;
    /// Every call made, in order: "open NAME", "startDocument NAME TYPE", "startPage", "write N",
    /// "endPage", "endDocument", "cancel", "close", "list", "addQueue NAME", "removeQueue NAME",
    /// "setDefault NAME", "devices".
    std::vector<std::string> calls() const;

    std::unique_ptr<PrinterHandle> openPrinter(std::string_view printerName, std::string* error = nullptr) override;
    std::optional<std::string> deviceUri(std::string_view printerName) override;
    bool hasPrinter(std::string_view printerName) override;
    std::optional<std::string> makeAndModel(std::string_view printerName) override;
    /// The known printers in the order they were added; fails when Step::List is due to.
    std::optional<std::vector<Destination>> listDestinations(std::chrono::milliseconds timeLimit) override;

    /// Makes the queue a printer (description, URI, and the PPD's NickName as make and model).
    bool addQueue(const QueueDefinition& queue, std::string* error) override;
    bool removeQueue(std::string_view name) override;
    bool setDefaultDestination(std::string_view name) override;
    std::optional<std::string> defaultDestination() override;
    std::optional<std::vector<std::string>> listDevices(std::chrono::milliseconds timeLimit) override;

private:
    class Handle;
    void forget(std::string_view name); // with mutex_ held
    bool shouldFail(Step step); // with mutex_ held
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> printers_; ///< name, device URI
    std::vector<std::pair<std::string, std::string>> models_;   ///< name, make and model
    std::vector<Destination> places_;                            ///< name, location and info
    std::vector<Document> documents_;
    std::vector<std::string> calls_;
    std::vector<std::pair<Step, int>> failures_;
    size_t writeLimit_ = 0;
    std::vector<Queue> queues_;
    std::vector<std::string> devices_;
    std::string default_;
};

} // namespace platform
