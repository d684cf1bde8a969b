// The cover sheet renderer as the driver calls it: one sheet (texts, memo, sender fields, frames and
// lines) rendered to a PackBits page file, in steady state and in a fresh process (Qt and font
// start-up included). Peers: the packed bitmap alone (no file) and a fresh process that only loads
// the library.
#include "bench/ratio_reporter.h"
#include "bench/state_root.h"
#include "cover/renderer/coverrender.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/process.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

using MakeBitmapFn = decltype(&TqlCvrMakeBitmap);
using MakeBitmapHandleFn = decltype(&TqlCvrMakeBitmapHandle);

std::string root() { return std::getenv("QELTA_ROOT"); }
std::string sheet() { return root() + "/sheet.TQC"; }

void writeSheet()
{
    std::ofstream out(sheet());
    out << "[TQLCVR]\nFrames=12\nLang=1\n"
        << "Frame.1=StaticText,100,100,1500,200,DejaVu Serif,120,700,0,0,0,0,Facsimile\\nCover sheet\n"
        << "Frame.2=COMPANY,100,400,800,60,DejaVu Sans,39,400,0,0,0,0,\n"
        << "Frame.3=NAME,100,480,800,60,DejaVu Sans,39,400,0,0,0,0,\n"
        << "Frame.4=FAX,100,560,800,60,DejaVu Sans,39,400,0,0,0,0,\n"
        << "Frame.5=UserCompany,900,400,700,60,DejaVu Sans,39,400,0,0,0,0,\n"
        << "Frame.6=UserFaxNumber,900,480,700,60,DejaVu Sans,39,400,0,0,0,0,\n"
        << "Frame.7=Date,900,560,700,60,DejaVu Sans,39,400,0,0,0,0,\n"
        << "Frame.8=Memo,100,800,1500,1000,DejaVu Sans,39,400,0,0,0,0,\n"
        << "Frame.9=DrawingFrame,80,80,1568,2000,0,4,0\n"
        << "Frame.10=DrawingLine,100,700,1500,0,0,2\n"
        << "Frame.11=Page,1400,300,200,60,DejaVu Sans,39,400,0,0,0,0,\n"
        << "Frame.12=PageCut,0,2200,1728,0,0,1\n";
}

const char kFields[] = "Example Ltd\0Sales\0Manager\0A. Smith\0000-0000\0Street 1\0Town\0+1 555 0100\0+1 555 0101\0Ms\0"
                       "1";

const char* sender()
{
    static char block[COVERRENDER_SENDER_SIZE] = {};
    std::snprintf(block, 128, "81");
    std::snprintf(block + 128, 128, "03");
    std::snprintf(block + 1280, 128, "Qelta Inc.");
    std::snprintf(block + 1280 + 5 * 128, 128, "1234-5678");
    return block;
}

std::string memoText()
{
    std::string memo;
    for (int i = 0; i < 20; ++i)
        memo += "Please find the pages that follow; call us with any question. ";
    return memo;
}

std::shared_ptr<platform::Library> library;

// One render to a page file; the file is removed again. False on failure.
bool renderToFile(MakeBitmapFn make, const std::string& memo, const std::string& out)
{
    HGLOBAL block = make(sheet().c_str(), kFields, memo.c_str(), sender(), out.c_str());
    if (!block)
        return false;
    const auto* path = static_cast<const char*>(GlobalLock(block));
    platform::removeFile(path);
    GlobalUnlock(block);
    GlobalUnlock(block);
    GlobalFree(block);
    return true;
}

void SteadyStateFile(benchmark::State& state)
{
    const auto make = library->function<MakeBitmapFn>("TqlCvrMakeBitmap");
    const std::string memo = memoText();
    for (auto _ : state)
        if (!renderToFile(make, memo, root()))
            state.SkipWithError("no page file");
}

void SteadyStatePacked(benchmark::State& state)
{
    const auto make = library->function<MakeBitmapHandleFn>("TqlCvrMakeBitmapHandle");
    const std::string memo = memoText();
    for (auto _ : state) {
        HGLOBAL block = make(sheet().c_str(), kFields, memo.c_str(), sender());
        if (!block)
            state.SkipWithError("no bitmap");
        GlobalFree(block);
    }
}

// This program again, rendering once (or only loading the library).
void FreshProcess(benchmark::State& state, const char* mode)
{
    for (auto _ : state)
        if (platform::runProgram(platform::programPath(), {mode}) != 0)
            state.SkipWithError("child failed");
}
void FreshProcessRender(benchmark::State& state) { FreshProcess(state, "--one-render"); }
void FreshProcessLoadOnly(benchmark::State& state) { FreshProcess(state, "--load-only"); }

BENCHMARK(SteadyStateFile)->Unit(benchmark::kMillisecond);
BENCHMARK(SteadyStatePacked)->Unit(benchmark::kMillisecond);
BENCHMARK(FreshProcessRender)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(FreshProcessLoadOnly)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc == 2 && (std::string(argv[1]) == "--one-render" || std::string(argv[1]) == "--load-only")) {
        library = platform::Library::load("libcoverrender.so");
        if (!library)
            return 1;
        if (std::string(argv[1]) == "--load-only")
            return 0;
        return renderToFile(library->function<MakeBitmapFn>("TqlCvrMakeBitmap"), memoText(), root()) ? 0 : 1;
    }
    const BenchStateRoot state;
    if (!state.ok())
        return 1;
    library = platform::Library::load("libcoverrender.so");
    if (!library) {
        std::fprintf(stderr, "cannot load libcoverrender.so\n");
        return 1;
    }
    writeSheet();

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nper page: steady state %.1f ms (goal under 100 ms), fresh process %.1f ms\n",
                reporter.times["SteadyStateFile"], reporter.times["FreshProcessRender/iterations:10"]);
    std::printf("page file / packed bitmap: %.2f; fresh process render / load only: %.2f\n",
                reporter.ratio("SteadyStateFile", "SteadyStatePacked"),
                reporter.ratio("FreshProcessRender/iterations:10", "FreshProcessLoadOnly/iterations:10"));
    return 0;
}
