// Opening link files in the viewer: a link file listing one 5-page fax of A4 pages at 200 dpi (G4)
// 40 and 200 times (200 and 1,000 pages, the bound of a converted document) is converted into the
// temporary document and read. Measured: the time a page of each, and the larger against the
// smaller per page (a conversion that grows with every page written before shows above 1). The
// goals are printed beside the results.
#include "bench/ratio_reporter.h"
#include "bench/text_fax_file.h"
#include "viewer/viewer_document.h"

#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace viewer;

constexpr int kFaxPages = 5;
std::string folder;

struct NoPrompts : IPrompter {
    int MessageBox(const std::string& text, const std::string&, unsigned) override
    {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return IDCANCEL;
    }
};
struct NoClipboard : IPageClipboard {
    bool Open() override { return false; }
    void SetImage(const QImage&) override {}
    std::optional<QImage> Image() override { return std::nullopt; }
};

std::string linkOf(int listings) { return folder + "/list" + std::to_string(listings) + ".lnk"; }

void OpenLink(benchmark::State& state)
{
    const int listings = static_cast<int>(state.range(0));
    NoPrompts prompter;
    IViewerFrame frame;
    NoClipboard clipboard;
    CViewerAppValues app;
    CTqlVwTLDoc document(app, prompter, frame, clipboard);
    for (auto _ : state)
        if (!document.OnOpenDocument(linkOf(listings)) || document.PageCount() != listings * kFaxPages) {
            state.SkipWithError("open failed");
            return;
        }
}

BENCHMARK(OpenLink)->Arg(40)->Arg(200)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    char pattern[] = "/tmp/qelta-viewer-link-bench-XXXXXX";
    if (!::mkdtemp(pattern))
        return 1;
    folder = pattern;
    const std::string fax = folder + "/five.tif";
    WriteTextFaxFile(fax, COMPRESSION_CCITTFAX4, 1728, 2290, kFaxPages);
    for (const int listings : {40, 200}) {
        std::ofstream link(linkOf(listings), std::ios::binary);
        for (int i = 0; i < listings; ++i)
            link << fax << "\r\n";
    }

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    // The reporter's times are in each run's unit: milliseconds here.
    const double small = reporter.time("OpenLink/40/iterations:1") / (40 * kFaxPages);
    const double large = reporter.time("OpenLink/200/iterations:1") / (200 * kFaxPages);
    std::printf("link file open: %.2f ms a page at 200 pages, %.2f at 1,000 (goal at most 10); 1,000 / 200 pages, "
                "a page: %.2f (goal at most 1.2)\n",
                small, large, small > 0 ? large / small : -1);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
