// The cover sheet editor's repaint: a 1000 x 800 viewport at 50, 100 and 200 percent with the
// 2.5 mm grid and 200 objects of mixed kinds, against the same viewport of an empty sheet. Goal:
// under 16 ms a repaint.
#include "bench/ratio_reporter.h"
#include "cover/editor/app/header_view.h"
#include "uiwidgets/qt_prompter.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct BenchScreen : cvr::IScreenMetricsProvider {
    cvr::ScreenMetrics Metrics() const override
    {
        cvr::ScreenMetrics m;
        m.horzRes = 1920;
        m.vertRes = 1080;
        m.horzSize = 5080; // 96 pixels an inch
        m.vertSize = 2857;
        return m;
    }
};

// 200 objects spread over the page: texts, recipient fields, frames with shading, lines.
void fill(CtqHeaderDoc& doc)
{
    for (int i = 0; i < 200; ++i) {
        const int x = 40 + (i % 8) * 200, y = 40 + (i / 8) * 88;
        std::string line;
        switch (i % 5) {
        case 0: line = "StaticText," + std::to_string(x) + "," + std::to_string(y) + ",180,60,DejaVu Sans,33,400,0,0,0,0,Text " + std::to_string(i); break;
        case 1: line = "NAME," + std::to_string(x) + "," + std::to_string(y) + ",180,40,DejaVu Serif,33,700,0,0,0,0"; break;
        case 2: line = "DrawingFrame," + std::to_string(x) + "," + std::to_string(y) + ",180,70,0,2,10"; break;
        case 3: line = "DrawingLine," + std::to_string(x) + "," + std::to_string(y) + ",180,0,0,3"; break;
        default: line = "Date," + std::to_string(x) + "," + std::to_string(y) + ",180,40,DejaVu Sans,33,0,0,0,0,0"; break;
        }
        doc.CreateFrame(line);
    }
}

void repaint(benchmark::State& state, bool busy)
{
    static const BenchScreen screen;
    static CQtPrompter prompter;
    CtqHeaderDoc doc;
    doc.OnNewDocument();
    doc.DeleteContents();
    if (busy)
        fill(doc);
    cvr::CtqHeaderView view(doc, screen, prompter);
    view.Logic().SetGrid(true, cvr::ID_GRID_25, false);
    view.Logic().SetZoom(static_cast<int>(state.range(0)));
    QImage image(1000, 800, QImage::Format_RGB32);
    const QRect visible(100, 100, 1000, 800);
    for (auto _ : state) {
        view.DrawSheet(image, visible);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BusySheet(benchmark::State& state) { repaint(state, true); }
void EmptySheet(benchmark::State& state) { repaint(state, false); }

} // namespace

BENCHMARK(BusySheet)->Arg(6008)->Arg(6007)->Arg(6006)->Unit(benchmark::kMillisecond);
BENCHMARK(EmptySheet)->Arg(6008)->Arg(6007)->Arg(6006)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const char* zooms[] = {"6008", "6007", "6006"};
    const char* names[] = {"50 %", "100 %", "200 %"};
    std::printf("\nrepaint of a 1000 x 800 viewport, 2.5 mm grid, 200 objects (goal: under 16 ms):\n");
    for (int i = 0; i < 3; ++i)
        std::printf("  %-6s %.2f ms, busy / empty sheet %.2f\n", names[i],
                    reporter.time(std::string("BusySheet/") + zooms[i]),
                    reporter.ratio(std::string("BusySheet/") + zooms[i], std::string("EmptySheet/") + zooms[i]));
    return 0;
}
