// The cover sheet image service: one cover image at 200 and 400 dpi with 20 pasted pictures and a
// few texts, against the same page with nothing on it (page made, scaled and written alone). Also
// prints the peak memory of a fresh process that makes one image.
#include "bench/ratio_reporter.h"
#include "bench/register_servers.h"
#include "bench/state_root.h"
#include "cover/imageservice/IQeltaCoverSheetTool.h"
#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/library.h"
#include "platform/process.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

using platform::com::Bstr;
using platform::com::Ptr;

std::string root() { return std::getenv("QELTA_ROOT"); }

// A 400 x 300 colour picture, scaled down to 160 x 120 on the sheet.
void writePicture(const std::string& path)
{
    QImage picture(400, 300, QImage::Format_RGB32);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x)
            picture.setPixel(x, y, qRgb(x * 255 / 400, y * 255 / 300, (x ^ y) & 0xff));
    QPainter(&picture).drawEllipse(50, 50, 300, 200);
    picture.save(QString::fromStdString(path));
}

// The busy sheet: 20 pictures in a grid, a title, recipient fields and a frame; the empty sheet.
void writeSheets()
{
    writePicture(root() + "/picture.png");
    std::ofstream busy(root() + "/busy.TQC");
    busy << "[TQLCVR]\nFrames=25\nLang=0\n";
    int n = 0;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 5; ++col)
            busy << "Frame." << ++n << "=Bitmap," << 100 + col * 320 << "," << 900 + row * 300 << ",160,120,picture.png\n";
    busy << "Frame.21=StaticText,100,100,1500,200,DejaVu Serif,120,700,0,0,0,0,Facsimile\\nCover sheet\n"
         << "Frame.22=NAME,100,400,800,60,DejaVu Sans,39,400,0,0,0,0,\n"
         << "Frame.23=FAX,100,500,800,60,DejaVu Sans,39,400,0,0,0,0,\n"
         << "Frame.24=DrawingFrame,80,80,1568,2200,0,4,0\n"
         << "Frame.25=Page,1400,400,200,60,DejaVu Sans,39,400,0,0,0,0,\n";
    std::ofstream(root() + "/empty.TQC") << "[TQLCVR]\nFrames=0\nLang=0\n";
}

Ptr<IQeltaCoverSheetTool> makeTool()
{
    Ptr<IQeltaCoverSheetTool> tool;
    if (platform::com::createInstance(kQeltaCoverSheetToolProgId, CLSCTX_ALL, tool) != S_OK)
        return {};
    tool->put_bIsRequestStretch(1);
    return tool;
}

bool makeImage(IQeltaCoverSheetTool* tool, const std::string& sheet, int dpi)
{
    return tool->CreateCoverSheetImageWithData(Bstr("Recipient").get(), Bstr("0123 4567").get(), Bstr("").get(),
                                               Bstr("2026-12-09").get(), Bstr("14:00").get(), 2,
                                               Bstr(root() + "/" + sheet).get(), dpi, dpi,
                                               Bstr(root() + "/out.tif").get())
        == S_OK;
}

void CoverImage(benchmark::State& state, const char* sheet)
{
    const auto tool = makeTool();
    const int dpi = static_cast<int>(state.range(0));
    for (auto _ : state)
        if (!tool || !makeImage(tool.get(), sheet, dpi))
            state.SkipWithError("image not made");
}

void BusySheet(benchmark::State& state) { CoverImage(state, "busy.TQC"); }
void EmptySheet(benchmark::State& state) { CoverImage(state, "empty.TQC"); }

BENCHMARK(EmptySheet)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(BusySheet)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);

// Peak resident memory in MB of a fresh process (this program again) that makes one image at dpi,
// or none with dpi 0.
double peakMegabytes(int dpi)
{
    const std::string report = root() + "/peak.txt";
    if (platform::runProgram(platform::programPath(), {"--one-image", std::to_string(dpi), report}) != 0)
        return -1;
    std::ifstream in(report);
    long kb = -1;
    in >> kb;
    return kb < 0 ? -1 : kb / 1024.0;
}

// The child's part: one image, then its peak resident memory into the report file.
int oneImage(int dpi, const std::string& report)
{
    platform::com::initializeThread();
    if (dpi) {
        const auto tool = makeTool();
        if (!tool || !makeImage(tool.get(), "busy.TQC", dpi))
            return 1;
    }
    // The high-water mark of this program image alone (getrusage would count the parent's before exec).
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            std::ofstream(report) << std::atol(line.c_str() + 6) << "\n";
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string(argv[1]) == "--one-image")
        return oneImage(std::atoi(argv[2]), argv[3]);
    const BenchStateRoot state;
    if (!state.ok())
        return 1;
    if (!RegisterServers({"covertool.dll"}))
        return 1;
    platform::com::initializeThread();
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int qtArgc = 1;
    char name[] = "cover_bench";
    char* qtArgv[] = {name, nullptr};
    const QGuiApplication application(qtArgc, qtArgv); // for the pictures written here
    writeSheets();

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\nper image: 200 dpi %.1f ms, 400 dpi %.1f ms (20 pictures, texts, frame)\n",
                reporter.times["BusySheet/200"], reporter.times["BusySheet/400"]);
    std::printf("busy sheet / empty sheet: 200 dpi %.2f, 400 dpi %.2f\n", reporter.ratio("BusySheet/200", "EmptySheet/200"),
                reporter.ratio("BusySheet/400", "EmptySheet/400"));
    const double none = peakMegabytes(0), at200 = peakMegabytes(200), at400 = peakMegabytes(400);
    std::printf("peak memory of a process making one image: 200 dpi %.1f MB, 400 dpi %.1f MB (none: %.1f MB)\n",
                at200, at400, none);
    return 0;
}
