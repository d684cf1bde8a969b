// The print spooler: printers by name, raw documents written to them in pages.
//
// Two implementations: CUPS (the real one) and an in-process recording spooler for tests.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
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

/// The spooler.
class Spooler {
public:
    virtual ~Spooler() = default;
    /// Opens a printer the spooler knows; null otherwise.
    virtual std::unique_ptr<PrinterHandle> openPrinter(std::string_view printerName) = 0;
    /// The device URI of a printer (for example "socket://192.0.2.7:9100"), when it has one.
    virtual std::optional<std::string> deviceUri(std::string_view printerName) = 0;
};

/// The spooler in use: CUPS unless another was installed.
std::shared_ptr<Spooler> currentSpooler();

/// Installs a spooler (null restores CUPS); gives back the previous one.
std::shared_ptr<Spooler> setSpooler(std::shared_ptr<Spooler> spooler);

/// The spooler over CUPS: printers are CUPS destinations, raw documents are CUPS jobs in the
/// raw format.
std::shared_ptr<Spooler> makeCupsSpooler();

/// A spooler that keeps every document in memory, for tests. It can be told to fail a step.
class RecordingSpooler : public Spooler {
public:
    enum class Step { Open, StartDocument, StartPage, Write, EndPage, EndDocument };

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
    /// The occurrence-th call (1 = the next) of step fails; counts start now.
    void failAt(Step step, int occurrence = 1);
    /// Each write takes at most maxBytes bytes (0: no limit).
    void limitWrites(size_t maxBytes);

    std::vector<Document> documents() const;
    /// Every call made, in order: "open NAME", "startDocument NAME TYPE", "startPage", "write N",
    /// "endPage", "endDocument", "cancel", "close".
    std::vector<std::string> calls() const;

    std::unique_ptr<PrinterHandle> openPrinter(std::string_view printerName) override;
    std::optional<std::string> deviceUri(std::string_view printerName) override;

private:
    class Handle;
    bool shouldFail(Step step); // with mutex_ held
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> printers_;
    std::vector<Document> documents_;
    std::vector<std::string> calls_;
    std::vector<std::pair<Step, int>> failures_;
    size_t writeLimit_ = 0;
};

} // namespace platform
