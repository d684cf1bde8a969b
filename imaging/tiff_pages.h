// Page images shared by the imaging and fax conversion libraries: one reader, one writer and the
// transforms a fax page needs, all over libtiff. Internal to those libraries; never exported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qelta::imaging {

// Pages larger than this are refused: they are no documents and would only exhaust memory.
constexpr uint32_t kMaxSide = 65535;
constexpr uint64_t kMaxBilevelPixels = uint64_t{256} << 20;
constexpr uint64_t kMaxRgbPixels = uint64_t{64} << 20;
// Directories in one file at most: PAGENUMBER counts in 16 bits.
constexpr uint32_t kMaxPages = 65535;

enum class PixelKind : uint8_t {
    Bilevel, // one bit per pixel, most significant bit first, 1 = black; bits past the width are 0
    Rgb,     // three bytes per pixel
};

// One page in memory, rows top down without gaps.
struct Page {
    PixelKind kind = PixelKind::Bilevel;
    uint32_t width = 0, height = 0;
    double xDpi = 0, yDpi = 0; // 0: the file gives no resolution
    std::vector<uint8_t> pixels;

    size_t stride() const { return kind == PixelKind::Bilevel ? (size_t{width} + 7) / 8 : size_t{width} * 3; }
    uint8_t* row(uint32_t y) { return pixels.data() + y * stride(); }
    const uint8_t* row(uint32_t y) const { return pixels.data() + y * stride(); }
};

// Pixels of a bilevel row.
inline bool bitAt(const uint8_t* row, uint32_t x) { return (row[x >> 3] >> (7 - (x & 7))) & 1; }
inline void setBlack(uint8_t* row, uint32_t x) { row[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7)); }
inline void setBit(uint8_t* row, uint32_t x, bool black)
{
    const auto mask = static_cast<uint8_t>(0x80u >> (x & 7));
    row[x >> 3] = static_cast<uint8_t>(black ? row[x >> 3] | mask : row[x >> 3] & ~mask);
}

// Dots per inch rounded to a whole number for the image facts: 0 for none (or no number), at most
// the largest 32-bit value.
int32_t roundedDpi(double dotsPerInch);

// True when a page of this kind and size may be held.
bool fitsLimits(PixelKind kind, uint64_t width, uint64_t height);

// An all-white page; throws std::bad_alloc, callers check fitsLimits first.
Page blankPage(PixelKind kind, uint32_t width, uint32_t height);

enum class Status {
    Ok,
    NotFound,  // no such file, or not a regular file
    Corrupt,   // no TIFF, or one that does not hold together
    NoPage,    // the page asked for does not exist
    TooLarge,  // beyond the limits above
    WriteFailed,
};

// Mh is TIFF's modified Huffman run-length coding (compression 2, rows byte aligned, no EOL codes);
// ClassF is G3 one-dimensional with byte-aligned EOLs and the Class F fax tags.
enum class Compression { None, PackBits, G3OneD, G3TwoD, G4, Lzw, Mh, ClassF };

// A bilevel page's pixels as a file holds them: one strip in a fax coding (G4, G3OneD, G3TwoD or
// ClassF), white = 0, most significant bit first. A page copied unchanged travels in this form and
// is never decoded.
struct CodedStrip {
    Compression compression = Compression::G4;
    std::vector<uint8_t> data;
};

// Reads pages of one TIFF file. Errors of libtiff are collected, never printed.
class TiffReader {
public:
    static std::unique_ptr<TiffReader> open(const std::string& path, Status& status);
    // The same for a descriptor, which the reader owns from then on.
    static std::unique_ptr<TiffReader> open(int fd, const std::string& name, Status& status);
    ~TiffReader();
    TiffReader(const TiffReader&) = delete;
    TiffReader& operator=(const TiffReader&) = delete;

    // Directories in the file (walks the chain once; the current page stays selected).
    uint32_t pageCount();
    // Makes page `index` (0 = first) current.
    Status select(uint32_t index);
    // Moves on to the page after the current one; NoPage at the end.
    Status next();
    // Reads the current page.
    Status read(Page& page);
    // Reads the current page without decoding it, when it is a bilevel page of one fax-coded strip
    // that this writer would store alike: header then gets its kind, size and resolution (no
    // pixels). False for any other page (read it with read()).
    bool readCoded(Page& header, CodedStrip& coded);
    // The compression the current page is stored with, as close as this writer gets to it.
    Compression storedCompression();
    // libtiff's first complaint about the file, for messages.
    const std::string& message() const;

    struct State;

private:
    explicit TiffReader(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// Text tags of one page.
struct TextTag {
    uint32_t tag;
    std::string value;
};

struct PageOptions {
    Compression compression = Compression::G4;
    uint16_t number = 0, total = 0; // PAGENUMBER; total 0 = not known
    std::vector<TextTag> text;
};

// Writes pages to a TIFF file the caller holds open for reading and writing. Fax compressions
// apply to bilevel pages; an RGB page asked for one is stored with LZW.
class TiffWriter {
public:
    // A new TIFF at the start of the empty file fd.
    static std::unique_ptr<TiffWriter> create(int fd, const std::string& name);
    // New pages after those of the existing TIFF file fd; the earlier pages are not rewritten.
    static std::unique_ptr<TiffWriter> append(int fd, const std::string& name, Status& status);
    ~TiffWriter();
    TiffWriter(const TiffWriter&) = delete;
    TiffWriter& operator=(const TiffWriter&) = delete;

    // Pages the file held when it was opened.
    uint32_t pagesBefore() const;
    // With coded (the page's pixels in coded form) in options' compression, the strip is stored as it
    // is and page may be a header without pixels.
    bool write(const Page& page, const PageOptions& options, const CodedStrip* coded = nullptr);
    // Completes the file. On failure an appended file is put back as it was.
    bool finish();
    // Gives up: an appended file is put back as it was (also what an unfinished writer does).
    void discard();
    // After a successful finish: puts an appended file back as it was (for a caller whose own
    // later step failed).
    void rollBack();

    struct State;

private:
    explicit TiffWriter(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

// Writes pages to path: a new file (replacing one there only when overwrite) written beside it and
// renamed into place, or, with append, after the pages of an existing TIFF file in place (a missing
// or empty file is made; on failure the file is put back as it was). Page numbers are set here.
// coded, when given, holds the coded form of each page or null (see TiffWriter::write).
bool saveTiffPages(const std::string& path, const std::vector<const Page*>& pages, PageOptions options, bool append,
                   bool overwrite, const std::vector<const CodedStrip*>& coded = {});

// The pixels of a page read with TiffReader::readCoded.
Status decodeCoded(const Page& header, const CodedStrip& coded, Page& page);
// A bilevel page coded as one strip in compression (G4, G3OneD, G3TwoD or ClassF), as TiffWriter
// stores it. False for another page or compression.
bool encodeCoded(const Page& page, Compression compression, CodedStrip& coded);

// The rows of a bilevel page coded as TIFF compression 2 (modified Huffman, each row byte aligned,
// no EOL codes), and back. Decoding fails with Corrupt unless the data holds exactly the rows.
std::vector<uint8_t> encodeMhRows(const Page& page);
Status decodeMhRows(const uint8_t* data, size_t size, uint32_t width, uint32_t height, Page& page);

// Transforms. All throw std::bad_alloc when memory runs out.

// A bilevel page of an RGB page: black where the brightness (0-255) is below level (half by default).
Page threshold(const Page& rgb, unsigned level = 128);
// An RGB page of a bilevel page: black and white.
Page expandToRgb(const Page& bilevel);
// A bilevel page scaled to width x height: reduced pixels are black when any source pixel they
// cover is black (thin lines survive), enlarged ones repeat their nearest source pixel. With a
// lineWidth above width, the result is that wide, white on the right (as padRight would make it).
Page scaleBilevel(const Page& page, uint32_t width, uint32_t height, uint32_t lineWidth = 0);
// A bilevel page turned a quarter to the left (counter-clockwise): the top edge becomes the left.
Page turnLeft(const Page& page);
// A bilevel page widened to width with white on the right.
Page padRight(const Page& page, uint32_t width);

} // namespace qelta::imaging
