#include "jobbuilder/pjl_stream.h"

#include "platform/com.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char ESC = '\x1B';
constexpr const char* CRLF = "\r\n";

// The header lines, each checked against the longest line a device takes.
class HeaderWriter {
public:
    explicit HeaderWriter(std::string& out) : out_(out) {}

    void Plain(std::string_view line) { Add(std::string(line) + CRLF); }
    void Word(std::string_view prefix, std::string_view word) { Add(std::string(prefix) + std::string(word) + CRLF); }
    void Number(std::string_view prefix, long long n) { Add(std::string(prefix) + std::to_string(n) + CRLF); }
    /// Every quoted value passes here: one that could end its quotes or its line is refused.
    void Quoted(std::string_view prefix, std::string_view value)
    {
        if (!jobcheck::IsQuotableValue(value))
            ok_ = false;
        else
            Add(std::string(prefix) + '"' + std::string(value) + '"' + CRLF);
    }
    bool ok() const { return ok_; }

private:
    void Add(const std::string& line)
    {
        if (line.size() > jobcheck::kMaxHeaderLine)
            ok_ = false;
        else
            out_ += line;
    }
    std::string& out_;
    bool ok_ = true;
};

std::string startTimeText(const platform::LocalTime& t)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d,%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return buf;
}

std::string firstBytes(std::string_view text, size_t n) { return std::string(platform::utf8Prefix(text, n)); }

// Keeps why the stream could not be built as the thread's error information, with the system's
// text for error, the errno of the call that failed, when there is one; false.
bool streamFailed(const std::string& what, int error = 0)
{
    platform::com::setErrorInfo(platform::withSystemError("the job stream cannot be built: " + what, error));
    return false;
}

std::string Named(const std::string& name) { return platform::quotedName(name); }

// Copies exactly size bytes of the image into fd; a short image fails.
bool copyImage(const std::string& path, uint32_t size, int fd, const std::string& streamPath)
{
    std::error_code error;
    const int in = platform::openRegularFile(path, O_RDONLY, &error);
    if (in < 0)
        return streamFailed("the page file " + Named(path) + " cannot be opened", error.value());
    char buf[65536];
    uint64_t left = size;
    bool ok = true;
    while (ok && left > 0) {
        const size_t want = left < sizeof buf ? static_cast<size_t>(left) : sizeof buf;
        const ssize_t n = ::read(in, buf, want);
        const int readError = n < 0 ? errno : 0;
        if (readError == EINTR)
            continue;
        if (n <= 0) {
            ok = streamFailed("the page file " + Named(path) + " cannot be read to its end", readError);
        } else if (!platform::writeAll(fd, std::string_view(buf, static_cast<size_t>(n)))) {
            const int writeError = errno;
            ok = streamFailed("the stream file " + Named(streamPath) + " cannot be written", writeError);
        }
        left -= n > 0 ? static_cast<uint64_t>(n) : 0;
    }
    ::close(in);
    return ok;
}

} // namespace

void CJobStream::Discard()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_strPath.empty())
        ::unlink(m_strPath.c_str());
    m_fd = -1;
    m_strPath.clear();
    m_nLength = 0;
}

bool BuildJobHeader(const CQeltaJob& job, const std::string& jobName, const CJobStreamInputs& in, uint32_t imageSize,
                    uint32_t destinationBlockSize, std::string& header)
{
    header.clear();
    HeaderWriter w(header);
    const bool mfp = job.m_nModelType == 3;
    w.Plain(std::string(1, ESC) + "%-12345X@PJL");
    w.Word("@PJL SET NOTIFYFAXJOBEND=", job.m_bJobEndNotification == 1 ? "ON" : "OFF");
    w.Quoted("@PJL SET USERNAME=", firstBytes(job.m_strUserName, 16));
    w.Quoted("@PJL SET PCNAME=", in.computerName);
    w.Quoted("@PJL SET IPADDRESS=", in.notificationAddress);
    w.Quoted("@PJL SET JOBNAME=", firstBytes(jobName, 80));
    w.Quoted("@PJL SET DRIVERNAME=", firstBytes(job.m_strPrinterName, 32));
    w.Quoted("@PJL SET STARTTIME=", startTimeText(job.m_spoolTime));
    w.Quoted("@PJL SET SPOOLTIME=", in.spoolTimeText);
    w.Number("@PJL SET FAXIMAGESIZE=", imageSize);
    w.Number("@PJL SET TOTALDATASIZE=", static_cast<long long>(imageSize) + destinationBlockSize);
    w.Number("@PJL SET FAXMEMORYBOXCOUNT=", static_cast<long long>(job.m_destinations.size()));
    if (job.m_bFiling && mfp) {
        const int type = job.m_nFilingFolderType;
        w.Word("@PJL SET FILING=", type == 1 || type == 2 ? "PERMANENCE" : "TEMPORALITY");
        w.Word("@PJL SET SUSPEND=", "HOLD");
        auto digest = [&](const std::string& text) { return in.digest ? in.digest(text) : std::string(); };
        if (type == 1) {
            w.Quoted("@PJL SET FILINGFOLDERPATH=", job.m_strFilingFolderName);
            w.Quoted("@PJL SET FILINGFOLDERPASSWORD=", digest(in.spoolTimeText + job.m_strFilingFolderPassword));
        } else if (type == 2) {
            w.Quoted("@PJL SET FILINGFOLDERPATH=", "*standard");
        }
        if ((type == 1 || type == 2) && !job.m_strFilingFilePassword.empty())
            w.Quoted("@PJL SET SUSPENDKEY=", digest(job.m_strFilingFilePassword + in.spoolTimeText));
    }
    if (mfp) {
        w.Quoted("@PJL SET MFPUSERNAME=", job.m_strUserName);
        w.Quoted("@PJL SET MFPPASSWORD=", job.m_strPassword);
    }
    if (job.m_nDriverHeader == 1)
        w.Plain("@PJL SET DRIVERHEADER=ON");
    if (job.m_bAccountNumber && mfp)
        w.Quoted("@PJL SET ACCOUNTNUMBER=", job.m_strAccountNumber);
    w.Plain("@PJL ENTER LANGUAGE=QELTA");
    return w.ok();
}

std::string BuildDestinationBlock(const CQeltaJob& job)
{
    std::string block = {'\x1C', '#', '=', '\x01'};
    const size_t count = job.m_destinations.size();
    block.push_back(static_cast<char>((count >> 8) & 0xFF));
    block.push_back(static_cast<char>(count & 0xFF));
    for (const auto& d : job.m_destinations) {
        if (d->m_bIFax)
            block += d->m_strNumber + "/ifax/" + (d->m_bReceptionConfirm ? "00000001" : "00000000") + ";";
        else if (d->m_bFCode)
            block += d->m_strNumber + "/" + d->m_strSubAddress + "/" + d->m_strPassCode + ";";
        else
            block += d->m_strNumber + ";";
    }
    return block;
}

bool BuildJobStream(const CQeltaJob& job, const std::string& jobName, const CJobStreamInputs& inputs, CJobStream& out)
{
    out.Discard();
    const std::string& image = inputs.imagePath.empty() ? job.m_strImagePath : inputs.imagePath;
    // The image size as a directory search gives it; an image too large for the size fields is refused.
    struct stat st;
    uint32_t imageSize = 0;
    if (::stat(image.c_str(), &st) == 0) {
        if (st.st_size > 0x7FFFFFFF)
            return streamFailed("the page file " + Named(image) + " is larger than 2 GB");
        imageSize = static_cast<uint32_t>(st.st_size);
    }
    const std::string block = BuildDestinationBlock(job);
    std::string header;
    if (!BuildJobHeader(job, jobName, inputs, imageSize, static_cast<uint32_t>(block.size()), header))
        return streamFailed("a header line would be longer than the device takes, or a value cannot be quoted");

    const auto folder = platform::knownFolder(platform::KnownFolder::Temp);
    if (!folder)
        return streamFailed("no temporary folder is known");
    std::error_code error;
    if (!platform::createDirectories(*folder, &error))
        return streamFailed("the temporary folder " + Named(*folder) + " cannot be made", error.value());
    platform::FileDescriptor file;
    const auto path = platform::createTempFile(*folder, "FAX", ".tmp", &error, &file);
    if (!path)
        return streamFailed("no stream file can be made in " + Named(*folder), error.value());
    CJobStream stream;
    stream.m_strPath = *path;
    stream.m_fd = file.release();
    if (path->size() >= kStreamPathField) // the path must fit its field with a terminating zero
        return streamFailed("the stream file's path " + Named(*path) + " is longer than 259 bytes");

    char field[kStreamPathField] = {};
    std::memcpy(field, path->data(), path->size());
    static const char trailer[] = "\x1B%-12345X@PJL EOJ\r\n\x1B%-12345X";
    const int fd = stream.m_fd;
    auto written = [&](std::string_view bytes) {
        if (platform::writeAll(fd, bytes))
            return true;
        const int writeError = errno;
        return streamFailed("the stream file " + Named(*path) + " cannot be written", writeError);
    };
    if (!written(std::string_view(field, sizeof field)) || !written(header) || !written(block)
        || !copyImage(image, imageSize, fd, *path) || !written(std::string_view(trailer, sizeof trailer - 1)))
        return false;
    const off_t end = ::lseek(stream.m_fd, 0, SEEK_CUR);
    if (end < 0 || ::ftruncate(stream.m_fd, end) != 0 || ::lseek(stream.m_fd, kStreamPathField, SEEK_SET) < 0) {
        const int endError = errno;
        return streamFailed("the stream file " + Named(*path) + " cannot be ended", endError);
    }
    stream.m_nLength = static_cast<uint64_t>(end) - kStreamPathField;
    std::swap(out.m_fd, stream.m_fd);
    std::swap(out.m_strPath, stream.m_strPath);
    out.m_nLength = stream.m_nLength;
    return true;
}
