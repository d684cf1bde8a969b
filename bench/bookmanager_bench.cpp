// The phone book editor's loading: ReloadAll through the real phone book component on a folder of
// 1k, 10k and 50k records against the store's own listing of that folder (open, list, and each
// record's name and values), without the 500 ms pause that ends each loading; and a rebuild and a
// sort of the record list's 50k rows.
#include "bench/phonebook_text.h"
#include "bench/ratio_reporter.h"
#include "bench/register_servers.h"
#include "bench/state_root.h"
#include "common/data_folders.h"
#include "common/prompter.h"
#include "phonebook/editor/book_dialogs.h"
#include "phonebook/editor/bookmanager_doc.h"
#include "phonebook/editor/record_list_logic.h"
#include "phonebook/store/phone_book.h"
#include "platform/files.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace {

// The loading's progress, coalesced as the progress dialog's runner posts it.
struct InlineRunner : IProgressRunner, IProgressSink {
    int last = -1, posts = 0;
    int Run(const std::string&, const Worker& worker) override { return worker(*this), 0; }
    void Progress(int percent) override
    {
        if (percent != last)
            ++posts;
        last = percent;
    }
    void Fail(int) override {}
};

struct NoDialogs : IBookDialogs {
    int CreateNewAddress(const std::string&, int, void*, NewAddress&) override { return 0; }
    int CreateNewGroup(const std::string&, int, void*, std::string&, int&) override { return 0; }
    int CreateNewFolder(const std::string&, void*, std::string&, int&) override { return 0; }
    int SelectPhoneBook(void*, std::string&, std::string&, int, int) override { return 0; }
    int ShowAddress(void*, const std::string&, int, int&) override { return 0; }
    int ShowGroup(void*, const std::string&, int, int&) override { return 0; }
};

struct NoPrompter : IPrompter {
    int MessageBox(const std::string&, const std::string&, unsigned) override { return IDNO; }
};

// A book of n fax records in its root folder, written once.
const std::string& BookPath(int64_t n)
{
    static std::map<int64_t, std::string> paths;
    std::string& path = paths[n];
    if (path.empty()) {
        path = GetPhoneBookDirectory() + "/Bench" + std::to_string(n) + ".xml";
        if (!platform::createDirectories(GetPhoneBookDirectory()) ||
            !platform::writeFileAtomic(path, benchdata::PhoneBookText(static_cast<int>(n)).build()))
            std::abort();
    }
    return path;
}

void ReloadAll(benchmark::State& state)
{
    const std::string& path = BookPath(state.range(0));
    NoDialogs dialogs;
    InlineRunner runner;
    CQeltapbDoc doc(dialogs, runner);
    doc.SetPathName(path);
    doc.SetLoadPause(std::chrono::milliseconds(0));
    for (auto _ : state) {
        runner.posts = 0;
        doc.ReloadAll();
        if (static_cast<int64_t>(doc.Records().size()) != state.range(0))
            state.SkipWithError("not every record was loaded");
    }
    state.counters["posts"] = runner.posts;
}

void StoreListing(benchmark::State& state)
{
    const std::string& path = BookPath(state.range(0));
    for (auto _ : state) {
        CPhoneBook book;
        if (!book.Initiate(path, 1))
            state.SkipWithError("open failed");
        const PhoneBookList list = book.FindRecords(kRootFolderId, 255);
        const int32_t count = book.GetRecordListCount(list);
        std::string name, value;
        for (int32_t i = 0; i < count; ++i) {
            int32_t type = 0, parent = 0;
            const int32_t id = book.GetRecordListID(list, i);
            book.GetRecordInfo(id, type, name, parent);
            for (const char* key : {"faxNumber", "faxFCode", "faxSubAddress", "faxPassCode"})
                book.GetRecordValue(id, key, value);
        }
        book.CloseRecords(list);
        if (count != state.range(0))
            state.SkipWithError("the listing is short");
    }
}

// The record list over a document holding 50k records: one rebuild, one sort.
struct LoadedList {
    NoDialogs dialogs;
    InlineRunner runner;
    NoPrompter prompter;
    CQeltapbDoc doc{dialogs, runner};
    CQeltapbViewLogic list{doc, dialogs, prompter};
    LoadedList()
    {
        doc.SetPathName(BookPath(50000));
        doc.SetLoadPause(std::chrono::milliseconds(0));
        doc.ReloadAll();
    }
};

LoadedList& List()
{
    static LoadedList list;
    return list;
}

void RebuildRows(benchmark::State& state)
{
    LoadedList& loaded = List();
    for (auto _ : state)
        loaded.list.OnUpdate(kHintRecords);
}

void SortRows(benchmark::State& state)
{
    LoadedList& loaded = List();
    int column = 0;
    for (auto _ : state) {
        loaded.list.SortByColumn(column);
        column = (column + 1) % 2;
    }
}

} // namespace

BENCHMARK(ReloadAll)->Arg(1000)->Arg(10000)->Arg(50000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreListing)->Arg(1000)->Arg(10000)->Arg(50000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(RebuildRows)->Unit(benchmark::kMillisecond);
BENCHMARK(SortRows)->Unit(benchmark::kMillisecond);

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
    for (const char* n : {"1000", "10000", "50000"})
        std::printf("ReloadAll / store listing at %s records: %.2f\n", n,
                    reporter.ratio(std::string("ReloadAll/") + n + "/iterations:3",
                                   std::string("StoreListing/") + n + "/iterations:3"));
    std::printf("ReloadAll of 10k: %.3f s (goal under 1 s, besides the 500 ms pause)\n",
                reporter.time("ReloadAll/10000/iterations:3") / 1000);
    std::printf("ReloadAll 50k / 10k: %.2f (goal at most 6)\n",
                reporter.ratio("ReloadAll/50000/iterations:3", "ReloadAll/10000/iterations:3"));
    std::printf("rebuild of 50k rows: %.1f ms, sort: %.1f ms (goal under 200 ms each)\n", reporter.time("RebuildRows"),
                reporter.time("SortRows"));
    return 0;
}
