// pagefilelib reading every page of 500-page G4 and PackBits TIFFs in order, each reader handed the
// one before, as the viewer reads: the last pages must cost what the first cost. The peer is a
// reader opened afresh for one page (page 1 and page 500).
#include "bench/ratio_reporter.h"
#include "bench/text_fax_file.h"
#include "imaging/pagefilelib.h"

#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kPages = 500;
constexpr uint32_t kWidth = 1728, kHeight = 1100;

std::string folder;
std::string fileOf(int kind) { return folder + (kind == 0 ? "/g4.tif" : "/packbits.tif"); }

void writeFile(const std::string& path, uint16_t compression) { WriteTextFaxFile(path, compression, kWidth, kHeight, kPages); }

// Seconds spent on each page by the last in-order read, per file kind.
std::vector<double> pageSeconds[2];

bool readPage(const std::string& path, int page, PFHANDLE previous, PFHANDLE& reader)
{
    reader = PageFileReadPagesOpen(path.c_str(), PF_TYPE_TIFF, page, 1, previous, 0);
    if (!reader)
        return false;
    while (PageFileReadStep(PF_TYPE_TIFF, reader) != 0) {
    }
    IKHANDLE bitmap = 0;
    const bool ok = PageFileReadPagesEnd(PF_TYPE_TIFF, reader, &bitmap, 0) == 1 && PageFileGetLastError() == 0;
    IKFreeMemory(bitmap);
    return ok;
}

void InOrder(benchmark::State& state)
{
    const int kind = static_cast<int>(state.range(0));
    for (auto _ : state) {
        pageSeconds[kind].assign(kPages, 0);
        PFHANDLE previous = 0;
        for (int page = 1; page <= kPages; ++page) {
            const auto start = std::chrono::steady_clock::now();
            PFHANDLE reader = 0;
            if (!readPage(fileOf(kind), page, previous, reader)) {
                state.SkipWithError("read failed");
                return;
            }
            pageSeconds[kind][page - 1] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            previous = reader;
        }
    }
}

void Fresh(benchmark::State& state)
{
    const int kind = static_cast<int>(state.range(0));
    const int page = static_cast<int>(state.range(1));
    for (auto _ : state) {
        PFHANDLE reader = 0;
        if (!readPage(fileOf(kind), page, 0, reader)) {
            state.SkipWithError("read failed");
            return;
        }
    }
}

double average(const std::vector<double>& seconds, size_t from, size_t count)
{
    double sum = 0;
    for (size_t i = from; i < from + count && i < seconds.size(); ++i)
        sum += seconds[i];
    return sum / static_cast<double>(count);
}

} // namespace

BENCHMARK(InOrder)->Arg(0)->Arg(1)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Fresh)->Args({0, 1})->Args({0, kPages})->Args({1, 1})->Args({1, kPages})->Iterations(20)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    char pattern[] = "/tmp/qelta-pagefile-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    folder = pattern;
    writeFile(fileOf(0), COMPRESSION_CCITTFAX4);
    writeFile(fileOf(1), COMPRESSION_PACKBITS);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const char* names[] = {"G4", "PackBits"};
    for (int kind = 0; kind < 2; ++kind) {
        const double first = average(pageSeconds[kind], 0, 10), last = average(pageSeconds[kind], kPages - 10, 10);
        std::printf("%-8s in order: pages 1-10 %.3f ms, pages 491-500 %.3f ms a page; last / first: %.2f (1 = flat)\n",
                    names[kind], first * 1e3, last * 1e3, first > 0 ? last / first : -1);
        const std::string prefix = "Fresh/" + std::to_string(kind) + "/";
        std::printf("%-8s opened afresh: page 500 / page 1: %.2f\n", names[kind],
                    reporter.ratio(prefix + "500/iterations:20", prefix + "1/iterations:20"));
    }
    std::filesystem::remove_all(folder);
    return 0;
}
