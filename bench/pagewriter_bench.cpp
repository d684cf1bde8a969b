// The page writer against libtiff writing the same pages with PackBits: 100 pages of 1728 x 2200
// and 20 of 3456 x 4676, fax-like content and the worst case for PackBits (alternating bytes, which
// grows the compression block at 400 dpi). The page writer flushes every page to disk; libtiff is
// measured without and with the same flush, so the second ratio leaves the flush out.
#include "bench/ratio_reporter.h"
#include "pagewriter/pagewriter.h"

#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kIterations = 3;

struct PageSize {
    const char* name;
    uint32_t width, height;
    int pages;
};
constexpr PageSize kSizes[] = {{"1728x2200x100", 1728, 2200, 100}, {"3456x4676x20", 3456, 4676, 20}};
constexpr const char* kContents[] = {"fax", "alternating"};

std::vector<uint8_t> makePage(const PageSize& size, const std::string& content)
{
    const uint32_t rowBytes = (size.width + 7) / 8;
    std::vector<uint8_t> page(size_t{rowBytes} * size.height, 0xFF);
    for (uint32_t y = 0; y < size.height; ++y)
        for (uint32_t x = 0; x < rowBytes; ++x) {
            uint8_t& b = page[size_t{y} * rowBytes + x];
            if (content == "alternating")
                b = (x % 2) ? 0x00 : 0xFF;
            else if ((y / 24) % 3 != 2 && x > 20 && x < rowBytes - 20 && (x * 7 + y / 3) % 9 < 4)
                b = static_cast<uint8_t>(0xFF ^ (0x81 << (y % 3)) ^ (x % 5 == 0 ? 0x3C : 0)); // lines of text
        }
    return page;
}

std::string outputPath()
{
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder && *folder ? folder : "/tmp") + "/qelta-pagewriter-bench-" + std::to_string(::getpid())
         + ".tif";
}

void writeWithPageWriter(benchmark::State& state, const PageSize& size, const std::vector<uint8_t>& page, int compression)
{
    const std::string path = outputPath();
    for (auto _ : state) {
        PageOutputFile file{};
        file.hFile = -1;
        file.dwWidth = size.width;
        file.dwHeight = size.height;
        file.wXResolution = file.wYResolution = size.width > 2000 ? 400 : 200;
        bool ok = tiffCreateFile(&file, path.c_str()) == 1;
        for (int p = 0; ok && p < size.pages; ++p)
            ok = tiffAppendPage(&file, page.data(), uint32_t(page.size()), compression, 1, nullptr) == 1;
        if (!ok || tiffCompleteFile(&file) != 1) {
            state.SkipWithError("the page writer failed");
            break;
        }
    }
    ::unlink(path.c_str());
}

void writeWithLibtiff(benchmark::State& state, const PageSize& size, const std::vector<uint8_t>& page, bool flush)
{
    const std::string path = outputPath();
    for (auto _ : state) {
        TIFF* tif = TIFFOpen(path.c_str(), "w");
        bool ok = tif != nullptr;
        for (int p = 0; ok && p < size.pages; ++p) {
            const float dpi = size.width > 2000 ? 400 : 200;
            TIFFSetField(tif, TIFFTAG_SUBFILETYPE, uint32_t{0});
            TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, size.width);
            TIFFSetField(tif, TIFFTAG_IMAGELENGTH, size.height);
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
            TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
            TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, size.height);
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, dpi);
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, dpi);
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
            ok = TIFFWriteEncodedStrip(tif, 0, const_cast<uint8_t*>(page.data()), tmsize_t(page.size())) >= 0
              && TIFFWriteDirectory(tif) == 1 && (!flush || ::fsync(TIFFFileno(tif)) == 0);
        }
        if (tif)
            TIFFClose(tif);
        if (!ok) {
            state.SkipWithError("libtiff failed");
            break;
        }
    }
    ::unlink(path.c_str());
}

std::string runName(const std::string& name) { return name + "/iterations:" + std::to_string(kIterations) + "/real_time"; }

} // namespace

int main(int argc, char** argv)
{
    TIFFSetWarningHandler(nullptr);
    std::vector<std::vector<uint8_t>> pages; // kept alive for the registered runs
    pages.reserve(std::size(kSizes) * std::size(kContents));
    for (const PageSize& size : kSizes)
        for (const char* content : kContents) {
            const std::vector<uint8_t>& page = pages.emplace_back(makePage(size, content));
            const std::string tag = std::string(content) + "/" + size.name;
            const auto add = [&](const std::string& name, auto run) {
                benchmark::RegisterBenchmark(name.c_str(), run)->Iterations(kIterations)->Unit(benchmark::kMillisecond)->UseRealTime();
            };
            add("PageWriterRaw/" + tag, [&size, &page](benchmark::State& s) { writeWithPageWriter(s, size, page, 1); });
            add("PageWriterPackBits/" + tag,
                [&size, &page](benchmark::State& s) { writeWithPageWriter(s, size, page, PAGEWRITER_COMPRESSION_PACKBITS); });
            add("LibtiffPackBits/" + tag, [&size, &page](benchmark::State& s) { writeWithLibtiff(s, size, page, false); });
            add("LibtiffPackBitsFlushed/" + tag, [&size, &page](benchmark::State& s) { writeWithLibtiff(s, size, page, true); });
        }

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\npage writer / libtiff PackBits (1 = as fast; the page writer flushes every page)\n");
    std::printf("%-28s %14s %14s %18s %18s\n", "pages", "raw", "PackBits", "raw, flush out", "PackBits, flush out");
    for (const PageSize& size : kSizes)
        for (const char* content : kContents) {
            const std::string tag = std::string(content) + "/" + size.name;
            const std::string peer = runName("LibtiffPackBits/" + tag), flushedPeer = runName("LibtiffPackBitsFlushed/" + tag);
            const std::string raw = runName("PageWriterRaw/" + tag), packBits = runName("PageWriterPackBits/" + tag);
            std::printf("%-28s %14.2f %14.2f %18.2f %18.2f\n", tag.c_str(), reporter.ratio(raw, peer),
                        reporter.ratio(packBits, peer), reporter.ratio(raw, flushedPeer), reporter.ratio(packBits, flushedPeer));
        }
    return 0;
}
