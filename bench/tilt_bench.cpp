// The tilt correction on an A4 fax page at 200 dpi (1728 x 2290) of text bands tilted by 2.3
// degrees: finding the tilt, levelling the page along it, and the whole automatic straightening.
// The goals are printed beside the results.
#include "bench/ratio_reporter.h"
#include "bench/text_fax_file.h"
#include "viewer/page_file_access.h"
#include "viewer/tilt_detect.h"
#include "viewer/tilt_tool.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace viewer;

QImage tilted;

void Detect(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(DetectTilt(tilted));
}

void Level(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(LevelMono(tilted, 2.3));
}

void Straighten(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(StraightenPage(tilted, std::nullopt));
}

} // namespace

BENCHMARK(Detect)->Unit(benchmark::kMillisecond);
BENCHMARK(Level)->Unit(benchmark::kMillisecond);
BENCHMARK(Straighten)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    char pattern[] = "/tmp/qelta-tilt-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    const std::string path = std::string(pattern) + "/page.tif";
    WriteTextFaxFile(path, COMPRESSION_PACKBITS, 1728, 2290, 1);
    {
        CPageImageArray pages;
        bool busy = false;
        if (ReadPages(path, pages, PF_TYPE_TIFF, 0, 1, 0, 0, busy) != PF_OK)
            return 1;
        tilted = LevelMono(pages[0]->Bitmap(), -2.3);
    }
    std::filesystem::remove_all(pattern);
    const std::optional<double> found = DetectTilt(tilted);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("tilt found %.2f degrees (made 2.30)\n", found ? *found : -99.0);
    std::printf("detection %.2f ms (goal under 300); levelling %.2f ms (goal under 100); "
                "automatic straightening %.2f ms\n",
                reporter.time("Detect"), reporter.time("Level"), reporter.time("Straighten"));
    return 0;
}
