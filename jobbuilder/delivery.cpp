#include "jobbuilder/delivery.h"

#include "platform/com.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/spooler.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

// Reads are made in large blocks; the page breaks are still counted in pieces of kDeliveryPiece.
constexpr size_t kBlock = 64 * 1024;

// Reads the stream from offset 260 on, block by block; every block but the last is full.
class StreamReader {
public:
    explicit StreamReader(const CJobStream& stream) : m_stream(stream), m_buffer(kBlock) {}

    /// The next block of at most max bytes; an empty view at the end. False on a read error or a
    /// stream file shorter than its length.
    bool Next(uint64_t max, const char*& data, size_t& size)
    {
        const uint64_t left = m_stream.Length() - m_done;
        size = static_cast<size_t>(std::min<uint64_t>({max, left, m_buffer.size()}));
        data = m_buffer.data();
        size_t got = 0;
        while (got < size) {
            const ssize_t n = ::pread(m_stream.Descriptor(), m_buffer.data() + got, size - got,
                                      static_cast<off_t>(kStreamPathField + m_done + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            got += static_cast<size_t>(n);
        }
        m_done += size;
        return true;
    }
    uint64_t Done() const { return m_done; }

private:
    const CJobStream& m_stream;
    std::vector<char> m_buffer;
    uint64_t m_done = 0;
};

// The reason a delivery failed, for the caller's log: what failed, on which file or queue, and the
// system's text for errno when it has one.
bool Failed(const std::string& what, int error = 0)
{
    platform::com::setErrorInfo(platform::withSystemError(what, error));
    return false;
}

std::string QueueNamed(const std::string& printerName) { return "print queue " + platform::quotedText(printerName); }

bool writeToPrinter(platform::PrinterHandle& printer, const char* data, size_t size)
{
    while (size > 0) {
        size_t written = 0;
        if (!printer.write(data, size, written) || written > size)
            return false;
        if (written == 0)
            return false; // a spooler that takes nothing would never finish
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

std::optional<CRedirectTarget> CreateRedirectTarget(const std::string& setting)
{
    if (setting.empty())
        return std::nullopt;
    auto create = [](const std::string& path) {
        // The stream holds the fax numbers and any pass code: only the user may read it, wherever it goes.
        return platform::createOwnFile(path, O_RDWR | O_EXCL | O_NOFOLLOW).release();
    };
    int fd = create(setting);
    if (fd >= 0)
        return CRedirectTarget{setting, fd};
    for (int n = 0; n <= 255 && errno == EEXIST; ++n) {
        const std::string numbered = setting + "." + std::to_string(n);
        fd = create(numbered);
        if (fd >= 0)
            return CRedirectTarget{numbered, fd};
    }
    Failed("cannot create the job file " + platform::quotedName(setting), errno);
    return std::nullopt;
}

bool DeliverToFile(const CJobStream& stream, CRedirectTarget target)
{
    StreamReader reader(stream);
    bool ok = true;
    int error = 0;
    while (ok && reader.Done() < stream.Length()) {
        const char* data = nullptr;
        size_t size = 0;
        errno = 0;
        ok = reader.Next(kBlock, data, size) && platform::writeAll(target.fd, std::string_view(data, size));
        error = ok ? 0 : errno;
    }
    if (::close(target.fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(target.path.c_str());
        return Failed("cannot write the job file " + platform::quotedName(target.path), error);
    }
    return ok;
}

std::unique_ptr<platform::PrinterHandle> OpenPrinterFor(const std::string& printerName)
{
    std::string said;
    auto printer = platform::currentSpooler()->openPrinter(printerName, &said);
    if (!printer)
        Failed("the " + QueueNamed(printerName) + " cannot be opened "
               + (said.empty() ? "(no such queue, or the print server cannot be reached)" : "(" + said + ")"));
    return printer;
}

bool DeliverToPrinter(const CJobStream& stream, const std::string& printerName, const std::string& jobName,
                      int pageCount)
{
    if (pageCount <= 0)
        return false;
    auto printer = OpenPrinterFor(printerName);
    if (!printer)
        return false;
    if (!printer->startDocument(jobName, "RAW"))
        return Failed("the " + QueueNamed(printerName) + " refused the job");
    // From here on every failure abandons the document, so the device never gets part of a job.
    auto fail = [&] {
        printer->cancelDocument();
        return Failed("the " + QueueNamed(printerName) + " failed while the job was sent; the job was cancelled");
    };
    if (!printer->startPage())
        return fail();

    // A page ends once the bytes sent pass the next multiple of the page share; the test is made
    // before each piece, so a break falls on a piece boundary. Pieces between two breaks are read
    // and written together.
    const uint64_t length = stream.Length();
    const uint64_t share = length / static_cast<uint64_t>(pageCount);
    uint64_t boundary = share;
    StreamReader reader(stream);
    while (reader.Done() < length) {
        const uint64_t sent = reader.Done();
        if (sent > boundary) {
            if (!printer->endPage() || !printer->startPage())
                return fail();
            boundary += share;
        }
        // Pieces up to the one that first takes the count past the boundary stay on this page.
        uint64_t run = kDeliveryPiece;
        if (boundary >= sent)
            run = ((boundary - sent) / kDeliveryPiece + 1) * kDeliveryPiece;
        const char* data = nullptr;
        size_t size = 0;
        if (!reader.Next(run, data, size) || !writeToPrinter(*printer, data, size))
            return fail();
    }
    if (!printer->endPage() || !printer->endDocument())
        return fail();
    return true;
}
