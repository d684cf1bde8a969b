// The viewer on 500-page fax files of A4 pages at 200 dpi (1728 x 2290, G4 and PackBits): opening
// the document (time a page, the second half of the file against the first, and the memory the
// pages take against their one-bit size, in a process of its own), the display image's work on one page, and drawing a
// 1000 x 800 window at 400 %, fitted in grey levels and at 12.5 %; the views over the 500-page G4
// document: the page view (1000 x 800) turning to the next page and taking a zoom step, the
// thumbnail view (200 x 800) rebuilding, painting first and scrolling; a page with 200 annotations of
// every kind repainted in the 1000 x 800 window at 100 % and fitted, and burnt into the page. The
// goals are printed beside the results.
#include "bench/ratio_reporter.h"
#include "bench/text_fax_file.h"
#include "imaging/pagefilelib.h"
#include "viewer/app/page_view.h"
#include "viewer/annotation_drawing.h"
#include "viewer/app/thumb_view.h"
#include "viewer/page_file_access.h"
#include "viewer/viewer_document.h"

#include <QApplication>
#include <QScrollBar>
#include <QtGui/QPainter>
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace viewer;

constexpr int kPages = 500;
constexpr uint32_t kWidth = 1728, kHeight = 2290;
constexpr double kOneBitBytes = double{kWidth} / 8 * kHeight * kPages;

std::string folder;
std::string fileOf(int kind) { return folder + (kind == 0 ? "/g4.tif" : "/packbits.tif"); }

void writeFile(const std::string& path, uint16_t compression) { WriteTextFaxFile(path, compression, kWidth, kHeight, kPages); }

// Resident memory of the process, bytes.
double residentBytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) * 1024;
    return 0;
}

struct NoPrompts : IPrompter {
    int MessageBox(const std::string& text, const std::string&, unsigned) override
    {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return IDCANCEL;
    }
};

// A document opened as the viewer opens one.
struct OpenedDocument {
    NoPrompts prompter;
    IViewerFrame frame;
    CQtPageClipboard clipboard;
    CViewerAppValues app;
    CTqlVwTLDoc document{app, prompter, frame, clipboard};

    bool open(const std::string& path) { return document.OnOpenDocument(path) && document.PageCount() == kPages; }
};

void Open(benchmark::State& state)
{
    const int kind = static_cast<int>(state.range(0));
    for (auto _ : state)
        if (!OpenedDocument().open(fileOf(kind))) {
            state.SkipWithError("open failed");
            return;
        }
}

// The memory an open document takes against its pages' one-bit size, measured in a process of its
// own (this program run with --open-memory): memory that earlier runs freed would hide it here.
constexpr const char* kOpenMemory = "--open-memory";

int printOpenMemory(const char* path)
{
    const double before = residentBytes();
    OpenedDocument opened;
    if (!opened.open(path))
        return 1;
    std::printf("%.4f\n", (residentBytes() - before) / kOneBitBytes);
    return 0;
}

double openMemoryRatio(int kind)
{
    const std::string command = "/proc/" + std::to_string(::getpid()) + "/exe " + kOpenMemory + " '" + fileOf(kind) + "'";
    FILE* child = ::popen(command.c_str(), "r");
    if (!child)
        return -1;
    double ratio = -1;
    if (std::fscanf(child, "%lf", &ratio) != 1)
        ratio = -1;
    return ::pclose(child) == 0 ? ratio : -1;
}

// The first n pages read in order, as the document reads them.
void FirstPages(benchmark::State& state)
{
    const int kind = static_cast<int>(state.range(0)), count = static_cast<int>(state.range(1));
    bool busy = false;
    for (auto _ : state) {
        CPageImageArray pages;
        if (ReadPages(fileOf(kind), pages, PF_TYPE_TIFF, 0, count, 0, 0, busy) != PF_OK) {
            state.SkipWithError("read failed");
            return;
        }
    }
}

QImage onePage;

void PageWork(benchmark::State& state)
{
    const int work = static_cast<int>(state.range(0));
    for (auto _ : state) {
        CDisplayImage image;
        image.SetFromBitmap(onePage);
        bool done = true;
        switch (work) {
        case 0: done = image.Rotate(90); break;
        case 2:
        case 4:
        case 8: done = image.ReduceByStep(work, true); break;
        case 600: done = image.ReduceToSize(600, 600 * static_cast<int>(kHeight) / static_cast<int>(kWidth), true); break;
        case 1: image.Invert(); benchmark::DoNotOptimize(image.Bitmap().constBits()); break;
        default: break;
        }
        if (!done)
            state.SkipWithError("operation failed");
    }
}

// A 1000 x 800 window: 0 at 400 % (the page's top left), 1 fitted in grey levels, 2 at 12.5 %.
void Draw(benchmark::State& state)
{
    const int mode = static_cast<int>(state.range(0));
    QImage window(1000, 800, QImage::Format_RGB32);
    CDisplayImage image;
    image.SetFromBitmap(onePage);
    if (mode == 1)
        image.ReduceToSize(800 * static_cast<int>(kWidth) / static_cast<int>(kHeight), 800, true);
    else if (mode == 2)
        image.ReduceByStep(8, false);
    for (auto _ : state) {
        QPainter painter(&window);
        painter.setClipRect(0, 0, 1000, 800);
        if (mode == 0)
            image.Draw(painter, 0, 0, static_cast<int>(kWidth) * 4, static_cast<int>(kHeight) * 4);
        else
            image.Draw(painter, 0, 0, image.Width(), image.Height());
    }
}

// 200 annotations of every kind spread over one page, texts in a 12-point font; or 5,000 over 100
// pages, 50 on each.
CAnnotationList annotatedPage(int pages = 1)
{
    CAnnotationList items;
    std::mt19937 random(38);
    const int count = pages == 1 ? 200 : 50 * pages;
    auto between = [&](int low, int high) { return low + static_cast<int>(random() % static_cast<unsigned>(high - low)); };
    for (int i = 0; i < count; ++i) {
        auto item = std::make_unique<CAnnotationItem>();
        item->page = i % pages;
        item->kind = kAnnotFreehand + i % 9;
        item->colour = AnnotationColours()[static_cast<size_t>(i % 16)];
        item->background = 0x00FFFF;
        item->width = 1 + i % 4;
        const int x = between(0, static_cast<int>(kWidth) - 320), y = between(0, static_cast<int>(kHeight) - 170);
        item->rect = {x, y, x + between(100, 300), y + between(40, 150)};
        item->x1 = item->rect.left, item->y1 = item->rect.top, item->x2 = item->rect.right, item->y2 = item->rect.bottom;
        for (int k = 0; k < 20; ++k)
            item->points.push_back({between(item->rect.left, item->rect.right), between(item->rect.top, item->rect.bottom)});
        item->text = "Annotation " + std::to_string(i) + ": checked against the order, call back";
        item->font.lfHeight = -16;
        std::strcpy(item->font.lfFaceName, "DejaVu Sans");
        item->pageWidth = static_cast<int>(kWidth);
        item->pageHeight = static_cast<int>(kHeight);
        items.push_back(std::move(item));
    }
    return items;
}

// The page and its annotations painted into a 1000 x 800 window: 0 at 100 % (the page's top left),
// 1 fitted in grey levels, 2 fitted, the page's 50 among 5,000 annotations over 100 pages.
void AnnotationRepaint(benchmark::State& state)
{
    const bool fit = state.range(0) >= 1;
    const int page = state.range(0) == 2 ? 37 : 0;
    const CAnnotationList items = annotatedPage(state.range(0) == 2 ? 100 : 1);
    QImage window(1000, 800, QImage::Format_RGB32);
    CDisplayImage image;
    image.SetFromBitmap(onePage);
    const double zoom = fit ? 800.0 / kHeight : 1.0;
    const int w = static_cast<int>(kWidth * zoom), h = static_cast<int>(kHeight * zoom);
    if (fit)
        image.ReduceToSize(w, h, true);
    CScreenFrame frame;
    frame.zoom = zoom;
    frame.pageWidth = static_cast<int>(kWidth);
    frame.pageHeight = static_cast<int>(kHeight);
    frame.image = &image;
    frame.displayWidth = w;
    frame.displayHeight = h;
    for (auto _ : state) {
        QPainter painter(&window);
        painter.setClipRect(window.rect());
        image.Draw(painter, 0, 0, w, h);
        DrawAnnotationsOnScreen(painter, items, page, 7, frame, window.rect());
    }
}

// The 200 annotations burnt into a copy of the page, as saving and printing do.
void AnnotationBurnIn(benchmark::State& state)
{
    const CAnnotationList items = annotatedPage();
    for (auto _ : state) {
        QImage page = onePage.copy();
        if (!BurnInAnnotations(page, items, 0, 96)) {
            state.SkipWithError("nothing burnt");
            return;
        }
        benchmark::DoNotOptimize(page.constBits());
    }
}

// The two views over the 500-page document, as the program lays them out.
struct Views {
    NoPrompts prompter;
    IViewerFrame frame;
    CQtPageClipboard clipboard;
    CViewerAppValues app;
    CViewerSettings settings;
    CTqlVwTLDoc document{app, prompter, frame, clipboard};
    CTqlVwTLPageView page{document, frame, settings, app, prompter};
    CTqlVwTLView thumbs{document, frame, app};
    // What the views paint into (a window that is not on a screen does not paint).
    QImage pageWindow{1000, 800, QImage::Format_RGB32};
    QImage thumbWindow{200, 800, QImage::Format_RGB32};
    Views()
    {
        page.resize(1000, 800);
        thumbs.resize(200, 800);
        page.show();
        thumbs.show();
        document.SetViews(&thumbs, &page);
        document.OnOpenDocument(fileOf(0));
    }
};
Views* views = nullptr;
double thumbMemoryRatio = -1;

// 0 next page (rebuild and paint at fit in grey), 1 a zoom step (in and out in turn).
void PageView(benchmark::State& state)
{
    const int what = static_cast<int>(state.range(0));
    CTqlVwTLPageView& page = views->page;
    page.PageState().SetFit(1);
    page.PageState().SetGrey(1);
    page.GoToPage(0);
    bool in = true;
    for (auto _ : state) {
        if (what == 0) {
            if (page.PageState().GetCurrentPage() == kPages - 1)
                page.GoToPage(0);
            else
                page.OnCommand(ID_PAGE_NEXT);
        } else {
            page.OnCommand(in ? ID_VIEW_ENLARGE : ID_VIEW_REDUCE);
            in = !in;
        }
        page.viewport()->render(&views->pageWindow);
    }
}

// 0 rebuild, 1 first paint after a rebuild, 2 a scroll step.
void ThumbView(benchmark::State& state)
{
    const int what = static_cast<int>(state.range(0));
    CTqlVwTLView& thumbs = views->thumbs;
    QScrollBar* bar = thumbs.verticalScrollBar();
    for (auto _ : state) {
        if (what == 0) {
            const double before = residentBytes();
            thumbs.OnRefresh();
            thumbMemoryRatio = (residentBytes() - before) / kOneBitBytes;
        } else if (what == 1) {
            state.PauseTiming();
            thumbs.OnRefresh();
            state.ResumeTiming();
            thumbs.viewport()->render(&views->thumbWindow);
        } else {
            bar->setValue(bar->value() + bar->singleStep() > bar->maximum() ? 0 : bar->value() + bar->singleStep());
            thumbs.viewport()->render(&views->thumbWindow);
        }
    }
}

} // namespace

BENCHMARK(PageView)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ThumbView)->Arg(0)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(ThumbView)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(Open)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(FirstPages)->Args({0, 250})->Args({0, 500})->Args({1, 250})->Args({1, 500})->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PageWork)->Arg(0)->Arg(2)->Arg(4)->Arg(8)->Arg(600)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(Draw)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(AnnotationRepaint)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(AnnotationBurnIn)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], kOpenMemory) == 0)
        return printOpenMemory(argv[2]);
    char pattern[] = "/tmp/qelta-viewer-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    folder = pattern;
    writeFile(fileOf(0), COMPRESSION_CCITTFAX4);
    writeFile(fileOf(1), COMPRESSION_PACKBITS);
    {
        CPageImageArray pages;
        bool busy = false;
        if (ReadPages(fileOf(0), pages, PF_TYPE_TIFF, 0, 1, 0, 0, busy) != PF_OK)
            return 1;
        onePage = pages[0]->Bitmap().copy();
    }

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    {
        Views shown;
        views = &shown;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        views = nullptr;
    }
    benchmark::Shutdown();
    const double memoryRatio[2] = {openMemoryRatio(0), openMemoryRatio(1)};

    // The reporter's times are in each run's unit: milliseconds here.
    const char* names[] = {"G4", "PackBits"};
    for (int kind = 0; kind < 2; ++kind) {
        const std::string k = std::to_string(kind);
        const double open = reporter.time("Open/" + k + "/iterations:1");
        const double half = reporter.time("FirstPages/" + k + "/250/iterations:1");
        const double whole = reporter.time("FirstPages/" + k + "/500/iterations:1");
        std::printf("%-8s open: %.2f ms a page (goal at most 10); pages 251-500 / pages 1-250: %.2f (goal 1); "
                    "memory / one-bit size: %.2f (goal at most 1.10)\n",
                    names[kind], open / kPages, half > 0 ? (whole - half) / half : -1, memoryRatio[kind]);
    }
    const char* works[] = {"turn 90", "grey / 2", "grey / 4", "grey / 8", "600 px wide", "invert"};
    const int args[] = {0, 2, 4, 8, 600, 1};
    for (int i = 0; i < 6; ++i)
        std::printf("page %-12s %.2f ms (goal under 10)\n", works[i],
                    reporter.time("PageWork/" + std::to_string(args[i])));
    const char* draws[] = {"at 400 %", "fitted in grey", "at 12.5 %"};
    for (int i = 0; i < 3; ++i)
        std::printf("draw 1000 x 800 %-15s %.2f ms (goal under 16)\n", draws[i],
                    reporter.time("Draw/" + std::to_string(i)));
    std::printf("200 annotations repainted at 100 %% %.2f ms, fitted in grey %.2f ms (goal under 16); burnt in %.2f ms "
                "(goal under 100)\n",
                reporter.time("AnnotationRepaint/0"), reporter.time("AnnotationRepaint/1"),
                reporter.time("AnnotationBurnIn"));
    std::printf("one page of 5,000 annotations over 100 pages repainted fitted %.2f ms (goal under 5)\n",
                reporter.time("AnnotationRepaint/2"));
    std::printf("page view next page at fit in grey %.2f ms (goal under 50); zoom step %.2f ms (goal under 50)\n",
                reporter.time("PageView/0"), reporter.time("PageView/1"));
    std::printf("thumbnail view rebuild %.2f ms (goal under 1000), memory / one-bit size %.3f (goal under 0.05); "
                "first paint %.2f ms (goal under 100); scroll step %.2f ms (goal under 16)\n",
                reporter.time("ThumbView/0/iterations:3"), thumbMemoryRatio, reporter.time("ThumbView/1"),
                reporter.time("ThumbView/2"));
    std::filesystem::remove_all(folder);
    return 0;
}
