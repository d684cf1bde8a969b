// Hit testing annotations with the Select pointer: 5,000 annotations of every kind spread over a
// 100-page document of A4 pages at 200 dpi (freehand strokes of 400 points, items written at all
// four orientations), the page shown turned by 90 degrees at 50 %. Measured: the item under a point
// that misses everything (every item of the page is tested), a point inside the lowest item of the
// page (an item above it may answer first), and the handle test of a stroke; the reference is the same miss with only the shown page's 50
// items in the list. The goal is printed beside the results.
#include "bench/ratio_reporter.h"
#include "viewer/tests/quiet_annotation_view.h"

#include <QtGui/QGuiApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using namespace viewer;

constexpr int kPages = 100, kPerPage = 50, kStrokePoints = 400;
constexpr int kWidth = 1728, kHeight = 2290;

// The page view over a document of blank pages, the page shown at 50 % turned a quarter.
struct BenchView : viewer_quiet::QuietAnnotationView {
    BenchView() : QuietAnnotationView(kPages, kWidth, kHeight)
    {
        state.SetTool(kToolSelect);
        state.SetRotation(1);
        state.SetCurrentPage(kPages / 2);
        zoom = 0.5;
    }
};

// Item n of a page: every kind in turn, in the upper half of the page (at orientation 0), written at
// orientation n % 4 with that orientation's page size.
CAnnotationItem ItemOf(int page, int n)
{
    CAnnotationItem item;
    item.page = page;
    item.kind = kAnnotFreehand + n % 9;
    item.width = 1 + n % 4;
    const int x = 100 + (n * 29) % 1200, y = 100 + (n * 17) % 900;
    const gdi::RECT rect{x, y, x + 300, y + 120};
    item.x1 = rect.left;
    item.y1 = rect.top;
    item.x2 = rect.right;
    item.y2 = rect.bottom;
    if (item.kind == kAnnotFreehand)
        for (int k = 0; k < kStrokePoints; ++k)
            item.points.push_back({x + k * 300 / kStrokePoints, y + (k % 2) * 120});
    if (IsTextKind(item.kind))
        item.text = "annotation text";
    item.orientation = n % 4;
    const auto [w, h] = SizeInOrientation(kWidth, kHeight, item.orientation);
    item.pageWidth = w;
    item.pageHeight = h;
    item.rect = TurnRect(rect, 0, item.orientation, w, h);
    if (item.orientation) {
        const int angle = TurnAngle(0, item.orientation);
        for (CAnnotationPoint& p : item.points) {
            const gdi::POINT q = TurnPointBy(angle, {p.x, p.y}, w, h);
            p = {q.x, q.y};
        }
        const gdi::POINT a = TurnPointBy(angle, {item.x1, item.y1}, w, h);
        const gdi::POINT b = TurnPointBy(angle, {item.x2, item.y2}, w, h);
        item.x1 = a.x;
        item.y1 = a.y;
        item.x2 = b.x;
        item.y2 = b.y;
    }
    return item;
}

struct Layer {
    explicit Layer(bool wholeDocument) : layer(view, undo)
    {
        for (int page = 0; page < kPages; ++page)
            if (wholeDocument || page == kPages / 2)
                for (int n = 0; n < kPerPage; ++n)
                    layer.Append(std::make_unique<CAnnotationItem>(ItemOf(page, n)));
    }
    BenchView view;
    CUndoRecord undo;
    CAnnotationLayer layer;
};

Layer* whole = nullptr;
Layer* onePage = nullptr;

// A point of the shown page (rotation 1 at 50 %: 1145 x 864) below every item.
constexpr int kMissX = 20, kMissY = 850;

void HitMiss(benchmark::State& state)
{
    Layer& l = state.range(0) ? *whole : *onePage;
    for (auto _ : state)
        benchmark::DoNotOptimize(l.layer.HitItem(kMissX, kMissY));
    if (l.layer.HitItem(kMissX, kMissY) != -1)
        state.SkipWithError("the miss point hits an item");
}

void HitLowest(benchmark::State& state)
{
    // Inside the lowest item of the shown page, a stroke at orientation 0.
    Layer& l = *whole;
    const int lowest = kPages / 2 * kPerPage;
    const CAnnotationItem& item = *l.layer.Items()[static_cast<size_t>(lowest)];
    const gdi::RECT shown = ScreenRectOf(item, 1, kHeight, kWidth, 0.5);
    const int x = shown.left + 1, y = shown.bottom - 1;
    for (auto _ : state)
        benchmark::DoNotOptimize(l.layer.HitItem(x, y));
    if (l.layer.HitItem(x, y) < 0)
        state.SkipWithError("the stroke was not hit");
}

void HandleOfStroke(benchmark::State& state)
{
    Layer& l = *whole;
    const int stroke = kPages / 2 * kPerPage;
    for (auto _ : state)
        benchmark::DoNotOptimize(l.layer.HitHandle(kMissX, kMissY, stroke));
}

BENCHMARK(HitMiss)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(HitLowest)->Unit(benchmark::kMicrosecond);
BENCHMARK(HandleOfStroke)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication application(argc, argv);
    Layer wholeLayer(true), onePageLayer(false);
    whole = &wholeLayer;
    onePage = &onePageLayer;
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    // The reporter's times are in each run's unit: microseconds here.
    std::printf("hit test among 5,000 items over 100 pages: miss %.3f ms, lowest item %.3f ms (goal under 5); "
                "whole document / the shown page alone: %.2f\n",
                reporter.time("HitMiss/1") / 1000, reporter.time("HitLowest") / 1000,
                reporter.ratio("HitMiss/1", "HitMiss/0"));
    return 0;
}
