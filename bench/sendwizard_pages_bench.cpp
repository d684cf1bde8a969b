// The Select Destination page: its sort at 50 and 500 destinations, and importing 500 records of
// a 50,000-record phone book through the sheet's phone book reader, against one open of that book
// (about 1: the book is parsed once per import, not once per record). Writing "folder.info" with
// 100 and 1,000 folders (linear cost: the ratio should stay near 10).
#include "bench/phonebook_text.h"
#include "bench/ratio_reporter.h"
#include "bench/register_servers.h"
#include "bench/state_root.h"
#include "common/data_folders.h"
#include "phonebook/dialogs/selection.h"
#include "phonebook/store/phone_book.h"
#include "platform/files.h"
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

constexpr int kBookRecords = 50000;
constexpr int kImported = 500;

// The benchmark's book of 50,000 fax records (ids 3 to 50002), written once.
const std::string& BookPath()
{
    static const std::string path = [] {
        const std::string file = GetPhoneBookDirectory() + "/Import.xml";
        if (!platform::createDirectories(GetPhoneBookDirectory())
            || !platform::writeFileAtomic(file, benchdata::PhoneBookText(kBookRecords).build()))
            std::abort();
        return file;
    }();
    return path;
}

// The phone book dialogs answering with 500 records spread over the whole book.
struct ChosenRecords : IPhoneBookExports {
    int SelectPhoneBook(void*, std::string& path, std::string& name) override
    {
        path = BookPath();
        name = "Import";
        return 1;
    }
    int SelectDestinations(void*, const std::string&, PB2APISelection** selection, int) override
    {
        std::vector<int32_t> ids;
        for (int i = 0; i < kImported; ++i)
            ids.push_back(3 + i * (kBookRecords / kImported));
        *selection = NewSelection(ids, false);
        return 1;
    }
    void Free(PB2APISelection* selection) override { FreeSelection(selection); }
};

void ImportRecords(benchmark::State& state)
{
    BookPath();
    NoPrompter prompter;
    ChosenRecords exports;
    for (auto _ : state) {
        CPSMainuiLogic sheet;
        sheet.m_nModelType = 3;
        CPPSelectDestLogic logic(sheet, prompter, exports);
        if (logic.ImportFromPhoneBook() != kImported)
            state.SkipWithError("import failed");
    }
}

void OpenBook(benchmark::State& state)
{
    BookPath();
    for (auto _ : state) {
        CPhoneBook book;
        if (!book.Initiate(BookPath(), 0))
            state.SkipWithError("open failed");
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
BENCHMARK(ImportRecords)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenBook)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteFolders)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    BenchStateRoot root;
    if (!root.ok())
        return 1;
    platform::com::initializeThread();
    RegisterServers({"booktool.dll"});
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("sort 500/50: %.2f (n log n: about 16)\n", reporter.ratio("SortDestinations/500", "SortDestinations/50"));
    std::printf("import of 500 records from a 50k book: %.3f s (goal under 1 s)\n", reporter.time("ImportRecords/iterations:3") / 1000);
    std::printf("import / one open of the book: %.2f (about 1: parsed once, not per record)\n",
                reporter.ratio("ImportRecords/iterations:3", "OpenBook/iterations:3"));
    std::printf("folder.info 1000/100: %.2f (linear: about 10)\n", reporter.ratio("WriteFolders/1000", "WriteFolders/100"));
    return 0;
}
