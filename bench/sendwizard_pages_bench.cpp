// The Select Destination page's sort at 50 and 500 destinations, and writing "folder.info" with
// 100 and 1,000 folders (linear cost: the ratio should stay near 10).
#include "bench/ratio_reporter.h"
#include "bench/state_root.h"
#include "sendwizard/folder_info.h"
#include "sendwizard/select_dest_logic.h"

#include <cstdio>
#include <cstdlib>

namespace {

struct NoPrompter : IPrompter {
    int MessageBox(const std::string&, const std::string&, unsigned) override { return IDYES; }
};

struct NoExports : IPhoneBookExports {
    int SelectPhoneBook(void*, std::string&, std::string&) override { return 0; }
    int SelectDestinations(void*, const std::string&, PB2APISelection**, int) override { return 0; }
    void Free(PB2APISelection*) override {}
};

void SortDestinations(benchmark::State& state)
{
    CPSMainuiLogic sheet;
    for (int64_t i = 0; i < state.range(0); ++i)
        sheet.AddDestination(CJobDestination(std::to_string((i * 7919) % 100003), "Name " + std::to_string(i % 97), 0,
                                             0, "", "", 0));
    NoPrompter prompter;
    NoExports exports;
    CPPSelectDestLogic logic(sheet, prompter, exports);
    int column = 0;
    for (auto _ : state) {
        logic.SortByColumn(column);
        column = (column + 1) % 2;
    }
}

void WriteFolders(benchmark::State& state)
{
    std::vector<CFilingFolder> folders(static_cast<size_t>(state.range(0)));
    for (size_t i = 0; i < folders.size(); ++i) {
        folders[i].strName = "Folder " + std::to_string(i);
        folders[i].nSize = static_cast<uint32_t>(i * 4096);
    }
    const std::string path = std::string(std::getenv("QELTA_ROOT")) + "/folder" + std::to_string(state.range(0)) + ".info";
    for (auto _ : state)
        benchmark::DoNotOptimize(WriteFolderInfo(path, "socket://10.0.0.5:9100", folders));
}

} // namespace

BENCHMARK(SortDestinations)->Arg(50)->Arg(500)->Unit(benchmark::kMicrosecond);
BENCHMARK(WriteFolders)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    BenchStateRoot root;
    if (!root.ok())
        return 1;
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("sort 500/50: %.2f (n log n: about 16)\n", reporter.ratio("SortDestinations/500", "SortDestinations/50"));
    std::printf("folder.info 1000/100: %.2f (linear: about 10)\n", reporter.ratio("WriteFolders/1000", "WriteFolders/100"));
    return 0;
}
