// The job builder's send path: FlushJob to the redirect file with a 100 MB job image against a
// plain copy of that image, and conversion before sending of 1, 10 and 100 pages.
//
// FlushJob also records the job in the sending log (which keeps a copy of the image and pauses
// half a second after each entry), so the stream alone (build and delivery) is timed too.
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

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
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

// Fax pages of 1728 x 2292 pixels at 200 dpi with text-like stripes, G4.
std::string faxImage(int pages)
{
    const std::string p = root() + "/fax" + std::to_string(pages) + ".tif";
    if (platform::pathExists(p))
        return p;
    TIFF* tif = TIFFOpen(p.c_str(), "w");
    std::vector<unsigned char> row(1728 / 8);
    for (int page = 0; page < pages; ++page) {
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1728u);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2292u);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 2292u);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, 200.0);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, 200.0);
        for (uint32_t y = 0; y < 2292; ++y) {
            const bool textLine = (y / 24) % 2 == 0 && y % 24 < 16;
            for (size_t x = 0; x < row.size(); ++x)
                row[x] = textLine && (x * 13 + y / 24 + static_cast<size_t>(page)) % 5 < 3 ? 0x6d : 0x00;
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

void ConvertPages(benchmark::State& state)
{
    const int pages = static_cast<int>(state.range(0));
    const std::string image = faxImage(pages);
    const auto imaging = CImagingBinding::Acquire();
    CConversionBinding conversion;
    for (auto _ : state) {
        const auto converted = ConvertBeforeSending(*imaging, conversion, {3, 1, 200, 200}, image);
        if (!converted)
            state.SkipWithError("conversion failed");
        state.PauseTiming();
        if (converted)
            removeFile(*converted);
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
    std::printf("per-page cost 10/1: %.2f, 100/10: %.2f (1 = linear)\n", one > 0 ? ten / one : -1,
                ten > 0 ? hundred / ten : -1);
    return 0;
}
