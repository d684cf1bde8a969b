// The phone book dialogs' work on books of 10,000 and 50,000 fax records in one folder.
//
// FolderRows/<n>   the Select Destination rows of the folder (name and fax number of each record)
// Search/<n>       a search no name matches, so every record's retrieval characters are read
// Expand500/<n>    OK with a 500-member group chosen: the group's member ids
// ListBooks/1000   listing 1,000 phone book files (and the benchmark's two books), against a bare
//                  listing of the same folder
//
// At the end: the 10k times against the 0.5 s goal and the ratios 50k/10k (goals: at most 6 for
// the listing and the search, at most 2 for the expansion).
#include "bench/phonebook_text.h"
#include "bench/ratio_reporter.h"
#include "bench/state_root.h"
#include "common/data_folders.h"
#include "phonebook/dialogs/select_dest_logic.h"
#include "platform/files.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr int kGroupMembers = 500;

class SilentNotifier : public IMessageNotifier {
public:
    void Notify(void*, int, const std::string&, unsigned) override {}
};

// An open book of n fax records in the root folder, and with a 500-member group.
struct OpenBook {
    std::unique_ptr<CPickerPhoneBook> book = std::make_unique<CPickerPhoneBook>();
    int32_t group = 0;
};

// Closed before main returns, while the document library's pools still exist.
std::map<int, OpenBook> books;

OpenBook& openBook(int n)
{
    auto it = books.find(n);
    if (it != books.end())
        return it->second;
    OpenBook& b = books[n];
    const std::string path = GetPhoneBookDirectory() + "/bench" + std::to_string(n) + ".xml";
    if (!platform::writeFileAtomic(path, benchdata::PhoneBookText(n).build()) || !b.book->Initiate(path, 0)
        || !b.book->CreateNewGroup("Everyone", kRootFolderId, b.group, 0))
        std::abort();
    for (int32_t i = 0; i < kGroupMembers; ++i)
        if (!b.book->AddRecord2Group(b.group, 3 + i * (n / kGroupMembers)))
            std::abort();
    if (!b.book->FlushGroup(b.group, 0))
        std::abort();
    return b;
}

void FolderRows(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    OpenBook& b = openBook(n);
    SilentNotifier notifier;
    CSelectDestLogic logic(*b.book, notifier, "", CSelectDestLogic::Destinations);
    for (auto _ : state)
        if (logic.ListFolder(kRootFolderId).size() != static_cast<size_t>(n) + 1)
            state.SkipWithError("wrong count");
}

void Search(benchmark::State& state)
{
    OpenBook& b = openBook(static_cast<int>(state.range(0)));
    for (auto _ : state)
        if (b.book->GetSearchCount(b.book->QueryRecords(kRootFolderId, "no such text", PB_MASK_FAX)) != 0)
            state.SkipWithError("search failed");
}

void Expand500(benchmark::State& state)
{
    OpenBook& b = openBook(static_cast<int>(state.range(0)));
    SilentNotifier notifier;
    for (auto _ : state) {
        CSelectDestLogic logic(*b.book, notifier, "", CSelectDestLogic::Destinations);
        DestinationRow row;
        row.id = b.group;
        row.type = PB_RECORD_GROUP;
        if (logic.Accept(&row).size() != kGroupMembers)
            state.SkipWithError("wrong expansion");
    }
}

void makeBooks()
{
    static bool made = false;
    if (made)
        return;
    const std::string text = benchdata::PhoneBookText(1).build();
    for (int i = 0; i < 1000; ++i)
        if (!platform::writeFileAtomic(GetPhoneBookDirectory() + "/b" + std::to_string(i) + ".xml", text))
            std::abort();
    made = true;
}

void ListBooks(benchmark::State& state)
{
    makeBooks();
    for (auto _ : state) {
        std::vector<CPhoneBook::BookFile> books;
        if (!CPhoneBook::ListPhoneBooks(books) || books.size() < 1000)
            state.SkipWithError("listing failed");
        benchmark::DoNotOptimize(books);
    }
}

// Every book by index, as the phone book server's callers walk them: one count, then each index.
void BooksByIndex(benchmark::State& state)
{
    makeBooks();
    CPhoneBook store;
    for (auto _ : state) {
        const int32_t count = store.GetPhoneBookCount();
        std::string path;
        std::time_t written = 0;
        for (int32_t i = 0; i < count; ++i)
            if (!store.GetPhoneBookInfo(i, path, written))
                state.SkipWithError("no book at an index");
        if (count < 1000)
            state.SkipWithError("listing failed");
    }
}

void BareListing(benchmark::State& state)
{
    makeBooks();
    for (auto _ : state)
        benchmark::DoNotOptimize(platform::listFiles(GetPhoneBookDirectory(), "*.xml"));
}

} // namespace

BENCHMARK(FolderRows)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(Search)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(Expand500)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(BareListing)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(ListBooks)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BooksByIndex)->Arg(1000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    BenchStateRoot root;
    if (!root.ok())
        return 1;
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    books.clear();
    for (const char* op : {"FolderRows", "Search"})
        std::printf("%-10s 10k: %.3f s (goal under 0.5 s)\n", op, reporter.time(std::string(op) + "/10000") / 1000);
    std::printf("%-10s %10s %6s\n", "operation", "50k/10k", "goal");
    for (const char* op : {"FolderRows", "Search", "Expand500"})
        std::printf("%-10s %10.2f %6s\n", op, reporter.ratio(std::string(op) + "/50000", std::string(op) + "/10000"),
                    std::string(op) == "Expand500" ? "2" : "6");
    std::printf("listing 1,000 books against a bare listing of their folder: %.2f\n",
                reporter.ratio("ListBooks/1000", "BareListing/1000"));
    std::printf("1,000 books by index against one listing of them: %.2f\n",
                reporter.ratio("BooksByIndex/1000", "ListBooks/1000"));
    return 0;
}
