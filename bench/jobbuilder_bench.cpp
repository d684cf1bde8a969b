// The job builder's send path: FlushJob to the redirect file with a 100 MB job image against a
// plain copy of that image, and conversion before sending of 1, 10, 100 and 1,000 pages against libtiff
// decoding and coding the same pages alone, with pages that need scaling besides.
//
// FlushJob also records the job in the sending log (which keeps a copy of the image and pauses
// half a second after each entry), so the stream alone (build and delivery) is timed too.
#include "bench/libtiff_peer.h"
#include "bench/ratio_reporter.h"
#include "bench/register_servers.h"
#include "bench/state_root.h"
#include "common/registry_helper.h"
#include "jobbuilder/conversion.h"
#include "jobbuilder/delivery.h"
#include "jobbuilder/job_tool.h"
#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/files.h"
#include "platform/spooler.h"
#include "platform/tests/support/recording_spooler.h"
#include "sample/sample_run.h"

#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using platform::com::Bstr;
using platform::com::Ptr;

constexpr const char* kPrinter = "Bench MFP";

std::string root() { return std::getenv("QELTA_ROOT"); }

// One uncompressed grey page of 10240 x 10240 pixels: 100 MiB of image data.
const std::string& bigImage()
{
    static const std::string path = [] {
        const std::string p = root() + "/big.tif";
        TIFF* tif = TIFFOpen(p.c_str(), "w");
        const uint32_t side = 10240;
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, side);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, side);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 64u);
        std::vector<unsigned char> row(side);
        for (uint32_t y = 0; y < side; ++y) {
            for (uint32_t x = 0; x < side; ++x)
                row[x] = static_cast<unsigned char>(x ^ y);
            TIFFWriteScanline(tif, row.data(), y, 0);
        }
        TIFFClose(tif);
        return p;
    }();
    return path;
}

// Fax pages with text-like stripes, G4: 1728 x 2292 pixels at 200 dpi unless told otherwise.
std::string faxImage(int pages, uint32_t width = 1728, uint32_t height = 2292, double xDpi = 200, double yDpi = 200)
{
    const std::string p = root() + "/fax" + std::to_string(pages) + "-" + std::to_string(width) + "x"
                          + std::to_string(height) + "-" + std::to_string(static_cast<int>(xDpi)) + ".tif";
    if (platform::pathExists(p))
        return p;
    TIFF* tif = TIFFOpen(p.c_str(), "w");
    std::vector<unsigned char> row((width + 7) / 8);
    for (int page = 0; page < pages; ++page) {
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, xDpi);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, yDpi);
        // The same text at every resolution: each pixel is the one of the 200-dpi page at its place.
        for (uint32_t y = 0; y < height; ++y) {
            const auto y200 = static_cast<uint32_t>(y * 200 / yDpi);
            const bool textLine = (y200 / 24) % 2 == 0 && y200 % 24 < 16;
            std::fill(row.begin(), row.end(), 0);
            for (uint32_t x = 0; textLine && x < width; ++x) {
                const auto x200 = static_cast<size_t>(x * 200 / xDpi);
                if ((x200 / 8 * 13 + y200 / 24 + static_cast<size_t>(page)) % 5 < 3 && (0x6d >> (7 - x200 % 8)) & 1)
                    row[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
            }
            TIFFWriteScanline(tif, row.data(), y, 0);
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return p;
}

void removeFile(const std::string& path) { ::unlink(path.c_str()); }

// A fresh job object with the big image registered for one destination.
Ptr<IQeltaJobTool> registeredJob(benchmark::State& state)
{
    IQeltaJobTool* raw = nullptr;
    platform::com::createObject<CQeltaJobTool>(IQeltaJobTool::iid, reinterpret_cast<void**>(&raw));
    auto tool = Ptr<IQeltaJobTool>::adopt(raw);
    Bstr image(bigImage()), printer(kPrinter), user("alice"), empty(""), document("Bench");
    Bstr name("Bob"), number("0123");
    if (tool->RegisterJobData(image.get(), printer.get(), user.get(), empty.get(), 0, 0, document.get()) != S_OK
        || tool->RegisterJobTarget(0, name.get(), number.get(), empty.get(), empty.get(), 0, empty.get()) != S_OK)
        state.SkipWithError("registration failed");
    return tool;
}

void PlainCopy(benchmark::State& state)
{
    const std::string target = root() + "/copy.bin";
    std::vector<char> buffer(64 * 1024);
    for (auto _ : state) {
        const int in = ::open(bigImage().c_str(), O_RDONLY);
        const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ssize_t n = 0;
        while ((n = ::read(in, buffer.data(), buffer.size())) > 0)
            if (!platform::writeAll(out, std::string_view(buffer.data(), static_cast<size_t>(n))))
                state.SkipWithError("copy failed");
        ::close(in);
        ::close(out);
        state.PauseTiming();
        removeFile(target);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 100 * 1024 * 1024);
}

void FlushJobToFile(benchmark::State& state)
{
    const std::string target = root() + "/job.pjl";
    const CRegistryHelper machine(HKEY_LOCAL_MACHINE, kProductKeyPrefix);
    machine.WriteString(kProductSubkey, "FileOutput", target);
    for (auto _ : state) {
        state.PauseTiming();
        auto tool = registeredJob(state);
        state.ResumeTiming();
        if (tool->FlushJob() != S_OK)
            state.SkipWithError("FlushJob failed");
        state.PauseTiming();
        tool.reset();
        removeFile(target);
        std::filesystem::remove_all(root() + "/log"); // each entry holds a copy of the image
        state.ResumeTiming();
    }
    machine.WriteString(kProductSubkey, "FileOutput", "");
}

void StreamToFile(benchmark::State& state)
{
    const std::string target = root() + "/stream.pjl";
    for (auto _ : state) {
        state.PauseTiming();
        auto tool = registeredJob(state);
        auto* job = static_cast<CQeltaJobTool*>(tool.get());
        state.ResumeTiming();
        CJobStream stream;
        auto redirect = CreateRedirectTarget(target);
        if (!job->BuildStream("Bench", stream) || !redirect || !DeliverToFile(stream, std::move(*redirect)))
            state.SkipWithError("stream failed");
        state.PauseTiming();
        stream.Discard();
        removeFile(target);
        state.ResumeTiming();
    }
}

// Conversion time and the peer's time on the same number of unscaled pages, run by turns so that
// the load of a shared machine reaches both alike; by benchmark name.
struct Paired {
    double ours = 0, peer = 0;
    double ratio() const { return peer > 0 ? ours / peer : -1; }
};
std::map<std::string, Paired> g_paired;

void convertImage(benchmark::State& state, const std::string& key, const std::string& image, int pages)
{
    const auto imaging = CImagingBinding::Acquire();
    CConversionBinding conversion;
    const std::string peerImage = faxImage(pages), peerTarget = root() + "/peer.tif";
    Paired& paired = g_paired[key];
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const auto start = Clock::now();
        const auto converted = ConvertBeforeSending(*imaging, conversion, {3, 1, 200, 200}, image);
        const auto done = Clock::now();
        if (!converted)
            state.SkipWithError("conversion failed");
        state.PauseTiming();
        if (converted)
            removeFile(*converted);
        const auto peerStart = Clock::now();
        if (!RecodeWithLibtiff(peerImage, peerTarget, COMPRESSION_CCITTFAX3))
            state.SkipWithError("libtiff failed");
        paired.peer += std::chrono::duration<double>(Clock::now() - peerStart).count();
        paired.ours += std::chrono::duration<double>(done - start).count();
        removeFile(peerTarget);
        state.ResumeTiming();
    }
}

void ConvertPages(benchmark::State& state)
{
    const int pages = static_cast<int>(state.range(0));
    convertImage(state, std::to_string(pages) + " pages", faxImage(pages), pages);
    state.counters["pages"] = pages;
}

// Pages that have to be scaled: Letter at 204 x 196 dpi onto the A4 line at 200 dpi (range 0), and
// A4 at 400 dpi down to 200 dpi (range 1); ten pages each.
void ConvertScaledPages(benchmark::State& state)
{
    if (state.range(0) == 0)
        convertImage(state, "letter", faxImage(10, 1728, 2156, 204, 196), 10);
    else
        convertImage(state, "400 dpi", faxImage(10, 3456, 4584, 400, 400), 10);
}

// The peer: the same pages decoded and coded again as MH by libtiff alone, one strip a page, into a
// new file; no scaling, the sizes agree.
void LibtiffPeer(benchmark::State& state)
{
    const int pages = static_cast<int>(state.range(0));
    const std::string image = faxImage(pages), target = root() + "/peer.tif";
    for (auto _ : state) {
        if (!RecodeWithLibtiff(image, target, COMPRESSION_CCITTFAX3))
            state.SkipWithError("libtiff failed");
        state.PauseTiming();
        removeFile(target);
        state.ResumeTiming();
    }
    state.counters["pages"] = pages;
}

BENCHMARK(PlainCopy)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(FlushJobToFile)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(StreamToFile)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(ConvertPages)->Arg(1)->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(ConvertPages)->Arg(10)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(ConvertPages)->Arg(100)->Iterations(2)->Unit(benchmark::kMillisecond);
// Each page is joined to the pages before it: a join that grows with them shows here.
BENCHMARK(ConvertPages)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(LibtiffPeer)->Arg(10)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(LibtiffPeer)->Arg(100)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(LibtiffPeer)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ConvertScaledPages)->Arg(0)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(ConvertScaledPages)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    const BenchStateRoot state;
    if (!state.ok())
        return 1;
    TIFFSetWarningHandler(nullptr);
    const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    user.WriteString(kProductSubkey, "LogDirectory", root() + "/log");
    auto spooler = platform::RecordingSpooler::install(kPrinter);
    platform::com::initializeThread();
    RegisterServers(kJobServers);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nFlushJob to the redirect file / plain copy (100 MB): %.2f\n", reporter.ratio("FlushJobToFile/iterations:3", "PlainCopy/iterations:5"));
    std::printf("stream build and delivery / plain copy (100 MB):     %.2f\n", reporter.ratio("StreamToFile/iterations:5", "PlainCopy/iterations:5"));
    const double one = reporter.times["ConvertPages/1/iterations:20"];
    const double ten = reporter.times["ConvertPages/10/iterations:5"] / 10;
    const double hundred = reporter.times["ConvertPages/100/iterations:2"] / 100;
    std::printf("conversion per page: 1 page %.2f ms, 10 pages %.2f ms, 100 pages %.2f ms\n", one, ten,
                hundred);
    const double thousand = reporter.times["ConvertPages/1000/iterations:1"] / 1000;
    std::printf("conversion per page: 1,000 pages %.2f ms\n", thousand);
    std::printf("per-page cost 10/1: %.2f, 100/10: %.2f, 1,000/100: %.2f (1 = linear)\n", one > 0 ? ten / one : -1,
                ten > 0 ? hundred / ten : -1, hundred > 0 ? thousand / hundred : -1);
    const double peerTen = reporter.time("LibtiffPeer/10/iterations:5") / 10;
    const double peerHundred = reporter.time("LibtiffPeer/100/iterations:2") / 100;
    std::printf("libtiff peer per page (decode G4, code MH): 10 pages %.2f ms, 100 pages %.2f ms\n", peerTen,
                peerHundred);
    // From the runs by turns: each conversion against the peer's run right after it.
    auto paired = [](const char* name) { return g_paired[name].ratio(); };
    std::printf("conversion / libtiff peer per page: 10 pages %.2f, 100 pages %.2f (goal: at most 1.5)\n",
                paired("10 pages"), paired("100 pages"));
    // Per-page cost measured against the peer beside it, which the machine's other work disturbs less.
    std::printf("per-page cost 100/10 against the peer: %.2f (goal: within 1.1)\n",
                paired("10 pages") > 0 ? paired("100 pages") / paired("10 pages") : -1);
    std::printf("per-page cost 1,000/100 against the peer: %.2f (goal: within 1.1)\n",
                paired("100 pages") > 0 ? paired("1000 pages") / paired("100 pages") : -1);
    std::printf("scaled pages / unscaled peer per page: Letter 204 x 196 to A4 %.2f, 400 dpi to 200 dpi %.2f "
                "(goal: at most 2)\n",
                paired("letter"), paired("400 dpi"));
    return 0;
}
