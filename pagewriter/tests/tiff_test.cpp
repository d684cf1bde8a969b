#include "pagewriter/tests/support/page_support.h"

#include <csignal>
#include <cstring>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pagewriter_test;
using imaging_test::readBytes;
using imaging_test::readTiff;

namespace {

constexpr int kPackBits = PAGEWRITER_COMPRESSION_PACKBITS;
constexpr size_t kPageTail = 16 + 2 + 14 * 12 + 4; // rationals, directory

std::string le16(uint32_t v) { return {char(v & 0xFF), char((v >> 8) & 0xFF)}; }
std::string le32(uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }
uint32_t readLe32(const std::string& s, size_t at)
{
    return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16
         | uint32_t(uint8_t(s[at + 3])) << 24;
}

std::string bytes(std::initializer_list<int> list)
{
    std::string s;
    for (int b : list)
        s.push_back(static_cast<char>(b));
    return s;
}

// One page of the file as the layout defines it, the strip given as it must appear on disk.
struct PageSpec {
    uint32_t width, height;
    std::string strip;
    uint16_t compression, bitsPerSample;
    uint16_t xDpi, yDpi;
};

// The whole file: header, then per page strip, rationals and directory, each directory linked from
// the previous link field.
std::string expectedFile(const std::vector<PageSpec>& pages)
{
    std::string file = "II" + le16(42) + le32(0);
    size_t link = 4;
    for (const PageSpec& p : pages) {
        const auto stripAt = uint32_t(file.size());
        file += p.strip;
        const auto xAt = uint32_t(file.size());
        file += le32(p.xDpi) + le32(1) + le32(p.yDpi) + le32(1);
        const auto directory = uint32_t(file.size());
        file.replace(link, 4, le32(directory));
        file += le16(14);
        auto shortEntry = [&](uint16_t tag, uint16_t value) { file += le16(tag) + le16(3) + le32(1) + le16(value) + le16(0); };
        auto entry = [&](uint16_t tag, uint16_t type, uint32_t value) { file += le16(tag) + le16(type) + le32(1) + le32(value); };
        entry(254, 4, 0);
        shortEntry(256, uint16_t(p.width));
        shortEntry(257, uint16_t(p.height));
        shortEntry(258, p.bitsPerSample);
        shortEntry(259, p.compression);
        shortEntry(262, 1);
        shortEntry(266, 1);
        entry(273, 4, stripAt);
        shortEntry(277, 1);
        entry(278, 4, p.height);
        entry(279, 4, uint32_t(p.strip.size()));
        entry(282, 5, xAt);
        entry(283, 5, xAt + 8);
        shortEntry(296, 2);
        link = file.size();
        file += le32(0);
    }
    return file;
}

class PageWriterTiff : public imaging_test::TempFolder {
protected:
    void TearDown() override
    {
        if (record.hFile >= 0)
            tiffCompleteFile(&record);
        TempFolder::TearDown();
    }

    int append(const std::string& data, uint32_t width, uint32_t height, int compression, int bitsPerSample = 1,
               uint16_t xDpi = 200, uint16_t yDpi = 200)
    {
        record.dwWidth = width;
        record.dwHeight = height;
        record.wXResolution = xDpi;
        record.wYResolution = yDpi;
        return tiffAppendPage(&record, data.data(), uint32_t(data.size()), compression, bitsPerSample, nullptr);
    }

    // The strip of a one-page PackBits file made of these rows.
    std::string packedStrip(const std::vector<std::string>& rows)
    {
        const std::string file = path("rows.tif");
        EXPECT_EQ(tiffCreateFile(&record, file.c_str()), 1);
        std::string image;
        for (const auto& row : rows)
            image += row;
        EXPECT_EQ(append(image, uint32_t(rows[0].size() * 8), uint32_t(rows.size()), kPackBits), 1);
        EXPECT_EQ(tiffCompleteFile(&record), 1);
        const std::string written = readBytes(file);
        return written.size() < 8 + kPageTail ? std::string() : written.substr(8, written.size() - 8 - kPageTail);
    }

    PageOutputFile record = outputRecord(0, 0);
};

} // namespace

TEST_F(PageWriterTiff, PagesLaidOutByteForByte)
{
    const std::string file = path("two.tif");
    ASSERT_EQ(tiffCreateFile(&record, file.c_str()), 1);
    EXPECT_EQ(record.dwEndOffset, 8u);
    EXPECT_EQ(readBytes(file), bytes({'I', 'I', 42, 0, 0, 0, 0, 0}));

    // A raw page of odd length (so the rest of the page starts at odd offsets), bits per sample 0.
    const std::string raw = bytes({0xF0, 0x0F, 0xAA, 0x55, 0x81, 0x18, 0x00});
    ASSERT_EQ(append(raw, 24, 2, 1, 0, 200, 100), 1);
    // A PackBits page: rows "AAAB" and "CDDD".
    ASSERT_EQ(append("AAABCDDD", 32, 2, kPackBits, 1, 400, 400), 1);
    ASSERT_EQ(tiffCompleteFile(&record), 1);
    EXPECT_EQ(record.hFile, -1);

    const std::string expected = expectedFile({{24, 2, raw, 1, 1, 200, 100},
                                               {32, 2, bytes({0xFE, 'A', 0x00, 'B', 0x00, 'C', 0xFE, 'D'}), 32773, 1, 400, 400}});
    EXPECT_EQ(readBytes(file), expected);
    EXPECT_EQ(record.dwEndOffset, expected.size());
    EXPECT_EQ(tiffCompleteFile(&record), 0) << "a closed record";
}

TEST_F(PageWriterTiff, FirstDirectoryOfAFullPageAndItsLinkToTheNext)
{
    const PackedPage page = PackedPage::faxLike(1728, 2200);
    const std::string image(page.bytes.begin(), page.bytes.end());
    const std::string file = path("full.tif");
    ASSERT_EQ(tiffCreateFile(&record, file.c_str()), 1);
    ASSERT_EQ(append(image, 1728, 2200, kPackBits), 1);
    std::string written = readBytes(file);
    const uint32_t directory = readLe32(written, 4);
    ASSERT_EQ(written.size(), directory + 2 + 14 * 12 + 4);
    const uint32_t stripBytes = readLe32(written, directory + 2 + 10 * 12 + 8); // StripByteCounts value
    EXPECT_EQ(directory, stripBytes + 8 + 16);
    EXPECT_EQ(written.substr(directory, 2), le16(14));
    EXPECT_EQ(readLe32(written, directory + 2 + 14 * 12), 0u);

    ASSERT_EQ(append(image, 1728, 2200, kPackBits), 1);
    ASSERT_EQ(tiffCompleteFile(&record), 1);
    written = readBytes(file);
    EXPECT_EQ(readLe32(written, directory + 2 + 14 * 12), written.size() - (2 + 14 * 12 + 4));
}

TEST_F(PageWriterTiff, PackBitsPacketsPerRow)
{
    std::string distinct200;
    for (int i = 0; i < 200; ++i)
        distinct200.push_back(char(i));
    std::string cap = distinct200.substr(0, 127) + std::string(2, char(200));
    struct Case {
        const char* name;
        std::vector<std::string> rows;
        std::string strip;
    };
    const Case cases[] = {
        {"128 equal", {std::string(128, 'A')}, bytes({0x81, 'A'})},
        {"129 equal", {std::string(129, 'A')}, bytes({0x81, 'A', 0x00, 'A'})},
        {"130 equal", {std::string(130, 'A')}, bytes({0x81, 'A', 0xFF, 'A'})},
        {"200 distinct", {distinct200}, "\x7F" + distinct200.substr(0, 128) + "\x47" + distinct200.substr(128)},
        {"AABCC", {"AABCC"}, bytes({0xFF, 'A', 0x00, 'B', 0xFF, 'C'})},
        {"ABB", {"ABB"}, bytes({0x00, 'A', 0xFF, 'B'})},
        {"lone last byte", {"AAAAB"}, bytes({0xFD, 'A', 0x00, 'B'})},
        {"full literal before a run", {cap}, "\x7E" + cap.substr(0, 127) + bytes({0xFF, 200})},
        {"runs in two rows", {"AA", "AA"}, bytes({0xFF, 'A', 0xFF, 'A'})},
        {"literals in two rows", {"AB", "CD"}, bytes({0x01, 'A', 'B', 0x01, 'C', 'D'})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(packedStrip(c.rows), c.strip);
    }
}

TEST_F(PageWriterTiff, FailedPageDropsTheFile)
{
    struct Case {
        const char* name;
        uint32_t width, height;
        int compression;
        bool nullBits;
    };
    const Case cases[] = {
        {"no bytes per row", 0, 4, kPackBits, false},
        {"row of 65,536 bytes", 65536 * 8, 1, kPackBits, false},
        {"row of 65,537 bytes", 65537 * 8, 1, kPackBits, false},
        {"width beyond a SHORT", 70000, 1, 1, false},
        {"no bits", 64, 1, 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = path("failed.tif");
        ASSERT_EQ(tiffCreateFile(&record, file.c_str()), 1);
        ASSERT_EQ(append(std::string(8, 'A'), 64, 1, kPackBits), 1);
        record.dwWidth = c.width;
        record.dwHeight = c.height;
        const std::string image(size_t{(c.width + 7) / 8} * c.height + 8, '\x55');
        EXPECT_EQ(tiffAppendPage(&record, c.nullBits ? nullptr : image.data(), uint32_t(image.size()), c.compression, 1,
                                 nullptr), 0);
        EXPECT_EQ(record.hFile, -1);
        EXPECT_FALSE(imaging_test::fs::exists(file));
        EXPECT_EQ(append(std::string(8, 'A'), 64, 1, kPackBits), 0);
        EXPECT_FALSE(imaging_test::fs::exists(file));
    }
}

TEST_F(PageWriterTiff, PackBitsReadsNoRowBeyondThePage)
{
    // The page ends right before an unreadable memory page, so a read past it ends the child.
    const PackedPage page = PackedPage::faxLike(1728, 2290);
    const size_t memoryPage = size_t(::sysconf(_SC_PAGESIZE));
    const size_t room = (page.bytes.size() + memoryPage - 1) / memoryPage * memoryPage;
    const uint32_t byteCounts[] = {600000, 0xFFFFFFFF};
    for (const uint32_t byteCount : byteCounts) {
        SCOPED_TRACE(byteCount);
        const std::string file = path("guarded.tif");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            void* memory = ::mmap(nullptr, room + memoryPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (memory == MAP_FAILED || ::mprotect(static_cast<char*>(memory) + room, memoryPage, PROT_NONE) != 0)
                ::_exit(10);
            auto* bits = static_cast<uint8_t*>(memory) + room - page.bytes.size();
            std::memcpy(bits, page.bytes.data(), page.bytes.size());
            PageOutputFile out = outputRecord(1728, 2290);
            if (tiffCreateFile(&out, file.c_str()) != 1)
                ::_exit(11);
            if (tiffAppendPage(&out, bits, byteCount, kPackBits, 1, nullptr) != 1 || tiffCompleteFile(&out) != 1)
                ::_exit(12);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << "signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        ASSERT_EQ(WEXITSTATUS(status), 0);
        const auto pages = readTiff(file);
        ASSERT_EQ(pages.size(), 1u);
        EXPECT_EQ(pages[0].height, 2290u);
        EXPECT_TRUE(pages[0].bits == page.bits());
    }
}

TEST_F(PageWriterTiff, OverlongPathRefusedAndTheCreatedFileIsTheOneDropped)
{
    const std::string folder = path("");
    const auto pathOfLength = [&](size_t n) { return folder + std::string(n - folder.size(), 'x'); };
    const std::string atLimit = pathOfLength(259);
    ASSERT_EQ(tiffCreateFile(&record, atLimit.c_str()), 1);

    PageOutputFile other = outputRecord(64, 1);
    EXPECT_EQ(tiffCreateFile(&other, pathOfLength(260).c_str()), 0);
    EXPECT_EQ(tiffCreateFile(&other, (path("missing") + "/x.tif").c_str()), 0);
    EXPECT_EQ(other.hFile, -1);
    EXPECT_EQ(entries(), std::vector<std::string>{atLimit.substr(folder.size())});

    record.dwWidth = 0;
    EXPECT_EQ(tiffAppendPage(&record, "A", 1, kPackBits, 1, nullptr), 0);
    EXPECT_TRUE(entries().empty()) << "the file created, not a name refused since, is dropped";
}

TEST_F(PageWriterTiff, LibtiffReadsEveryFileBack)
{
    std::vector<uint8_t> ab = {'A', 'B'};
    struct Case {
        const char* name;
        int compression;
        std::vector<PackedPage> pages;
        std::vector<std::pair<uint16_t, uint16_t>> dpi;
        bool oddStrip;
    };
    const Case cases[] = {
        {"raw", 1, {PackedPage::faxLike(1728, 40)}, {{200, 200}}, false},
        {"PackBits, three pages", kPackBits,
         {PackedPage::faxLike(1728, 40, 1), PackedPage::faxLike(1728, 80, 2), PackedPage::faxLike(1728, 20, 3)},
         {{200, 100}, {200, 200}, {200, 100}}, false},
        {"PackBits at 400 dpi", kPackBits, {PackedPage::faxLike(3456, 60, 4)}, {{400, 400}}, false},
        {"PackBits larger than the first block", kPackBits, {PackedPage::alternating(3456, 4676)}, {{400, 400}}, false},
        {"raw, odd strips", 1, {PackedPage::faxLike(24, 3), PackedPage::faxLike(40, 5), PackedPage::faxLike(8, 1)},
         {{200, 200}, {400, 400}, {200, 100}}, true},
        {"PackBits, odd strips", kPackBits, {PackedPage{16, 1, ab}, PackedPage{16, 1, ab}, PackedPage::faxLike(1728, 3)},
         {{200, 200}, {200, 200}, {400, 400}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = path("back.tif");
        ASSERT_EQ(tiffCreateFile(&record, file.c_str()), 1);
        for (size_t i = 0; i < c.pages.size(); ++i) {
            const PackedPage& p = c.pages[i];
            ASSERT_EQ(append(std::string(p.bytes.begin(), p.bytes.end()), p.width, p.height, c.compression, 1,
                             c.dpi[i].first, c.dpi[i].second), 1);
        }
        ASSERT_EQ(tiffCompleteFile(&record), 1);
        if (c.oddStrip) {
            EXPECT_EQ(readLe32(readBytes(file), 4) % 2, 1u) << "first directory at an odd offset";
        }
        const auto pages = readTiff(file);
        ASSERT_EQ(pages.size(), c.pages.size());
        for (size_t i = 0; i < pages.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(pages[i].width, c.pages[i].width);
            EXPECT_EQ(pages[i].height, c.pages[i].height);
            EXPECT_EQ(pages[i].compression, c.compression == kPackBits ? COMPRESSION_PACKBITS : COMPRESSION_NONE);
            EXPECT_EQ(pages[i].xDpi, c.dpi[i].first);
            EXPECT_EQ(pages[i].yDpi, c.dpi[i].second);
            EXPECT_TRUE(pages[i].bits == c.pages[i].bits());
        }
    }
}

TEST_F(PageWriterTiff, WriteFailingMidwayLeavesNoFile)
{
    const std::string file = path("limited.tif");
    const PackedPage page = PackedPage::faxLike(1728, 2200);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A file-size limit in the child makes the big page's write fail partway through.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100000, 100000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        PageOutputFile out = outputRecord(1728, 20);
        int code = tiffCreateFile(&out, file.c_str()) == 1 ? 0 : 10;
        if (code == 0 && tiffAppendPage(&out, page.bytes.data(), 1728 / 8 * 20, 1, 1, nullptr) != 1)
            code = 11;
        out.dwHeight = 2200;
        if (code == 0 && tiffAppendPage(&out, page.bytes.data(), uint32_t(page.bytes.size()), 1, 1, nullptr) != 0)
            code = 12;
        if (code == 0 && (out.hFile != -1 || ::access(file.c_str(), F_OK) == 0))
            code = 13;
        // A bitmap page over the limit goes the same way.
        out.dwPageNumber = 3;
        if (code == 0 && (dibOutputFile(&out, page.bytes.data(), uint32_t(page.bytes.size())) != 0
                          || ::access((file + ".003").c_str(), F_OK) == 0))
            code = 14;
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(entries().empty()) << "neither the TIFF file nor the bitmap is left";
}
