// Phone book store operations on books of 1,000, 10,000 and 50,000 records.
//
// Open/<n>          open the book (read, parse, index)
// List/<n>          list the root folder with every record's values, as the editor loads a folder
// Find/<n>          1,000 lookups by id
// Create100/<n>     create 100 records in a row (each commit writes the whole book)
// RemoveFolder/<n>  remove a folder of 1,000 records
//
// At the end: the listing time of 10k records against the 0.5 s goal, the ratio 50k/10k of every
// operation (goal for listing: at most 6), and the heap an open 50k-record book holds per record
// (goal: under 2 KB).
#include "bench/phonebook_text.h"
#include "bench/ratio_reporter.h"
#include "bench/state_root.h"
#include "common/data_folders.h"
#include "phonebook/store/phone_book.h"
#include "platform/files.h"
#include "xmldoc/node_impl.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr int kFolderRecords = 1000;

// The book text of n records (ids 3 to n + 2, all in the root folder) with one user folder that
// lists the first 1,000 of them.
const std::string& bookText(int n)
{
    static std::map<int, std::string> texts;
    auto it = texts.find(n);
    if (it != texts.end())
        return it->second;
    std::string text = benchdata::PhoneBookText(n).build();
    const int folderId = n + 4;
    std::string folder = "<folder id='" + std::to_string(folderId) + "'><name><data><value>Moved</value></data></name>"
        + "<id><data><value>" + std::to_string(folderId) + "</value></data></id><records>";
    for (int i = 0; i < kFolderRecords && i < n; ++i)
        folder += "<record><id type='fax'>" + std::to_string(i + 3) + "</id><name>r</name></record>";
    folder += "</records></folder>";
    text.insert(text.find("</folders>"), folder);
    const std::string counter = "<newid><data>" + std::to_string(n + 3) + "</data></newid>";
    text.replace(text.find(counter), counter.size(), "<newid><data>" + std::to_string(folderId) + "</data></newid>");
    return texts.emplace(n, std::move(text)).first->second;
}

std::string bookPath(int n)
{
    const std::string path = GetPhoneBookDirectory() + "/bench" + std::to_string(n) + ".xml";
    if (!platform::writeFileAtomic(path, bookText(n)))
        std::abort();
    return path;
}

void Open(benchmark::State& state)
{
    const std::string path = bookPath(static_cast<int>(state.range(0)));
    double faults = 0;
    auto minorFaults = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return static_cast<double>(usage.ru_minflt);
    };
    for (auto _ : state) {
        const double before = minorFaults();
        auto book = std::make_unique<CPhoneBook>(); // a store of its own: a real read of the file
        if (!book->Initiate(path, 0))
            state.SkipWithError("open failed");
        faults += minorFaults() - before;
        state.PauseTiming();
        book.reset();
        state.ResumeTiming();
    }
    state.counters["faults"] = faults / static_cast<double>(state.iterations());
}

void List(benchmark::State& state)
{
    const std::string path = bookPath(static_cast<int>(state.range(0)));
    CPhoneBook book;
    book.Initiate(path, 0);
    const char* const keys[] = {"initial", "frequentlyUsed", "faxNumber", "faxFCode", "faxSubAddress", "faxPassCode"};
    for (auto _ : state) {
        const PhoneBookList list = book.FindRecords(kRootFolderId, 0xFF);
        const int32_t count = book.GetRecordListCount(list);
        for (int32_t i = 0; i < count; ++i) {
            const int32_t id = book.GetRecordListID(list, i);
            int32_t type = 0, parent = 0;
            std::string text;
            if (!book.GetRecordInfo(id, type, text, parent))
                state.SkipWithError("record missing");
            for (const char* key : keys)
                book.GetRecordValue(id, key, text);
        }
        book.CloseRecords(list);
        if (count != state.range(0))
            state.SkipWithError("wrong count");
    }
}

void Find(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    CPhoneBook book;
    book.Initiate(bookPath(n), 0);
    uint32_t seed = 1;
    for (auto _ : state)
        for (int i = 0; i < 1000; ++i) {
            seed = seed * 1664525u + 1013904223u;
            int32_t type = 0, parent = 0;
            std::string name;
            benchmark::DoNotOptimize(book.GetRecordInfo(3 + static_cast<int32_t>(seed % static_cast<uint32_t>(n)), type, name, parent));
        }
}

void Create100(benchmark::State& state)
{
    CPhoneBook book;
    book.Initiate(bookPath(static_cast<int>(state.range(0))), 0);
    for (auto _ : state)
        for (int i = 0; i < 100; ++i) {
            int32_t id = 0;
            if (!book.CreateNewRecord(PB_RECORD_FAX, "New", kRootFolderId, id, 0)
                || !book.AddRecordValue(id, PB_RECORD_FAX, "faxNumber", "0123") || !book.FlushRecord(id, 0))
                state.SkipWithError("create failed");
        }
}

void RemoveFolder(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    std::unique_ptr<CPhoneBook> book;
    for (auto _ : state) {
        state.PauseTiming();
        book = std::make_unique<CPhoneBook>(); // the last round's book goes while the clock stands
        book->Initiate(bookPath(n), 0);
        state.ResumeTiming();
        if (!book->RemoveFolder(n + 4))
            state.SkipWithError("remove failed");
    }
}

// The heap an open book holds, per record: its strings and the live nodes of its tree; and how
// much more the process keeps after the open (the node pool keeps the blocks the whole book's
// parse took for later trees).
struct Heap {
    double book = -1, process = -1;
};

Heap heapPerRecord(int n)
{
    const std::string path = bookPath(n);
    malloc_trim(0);
    auto mallocBytes = [] {
        const struct mallinfo2 m = mallinfo2();
        return static_cast<double>(m.uordblks + m.hblkhd);
    };
    const double before = mallocBytes();
    const auto poolBefore = CXMLDOCLIB_Ostrel::nodePoolStats();
    Heap heap;
    CPhoneBook book;
    if (book.Initiate(path, 0)) {
        const auto poolAfter = CXMLDOCLIB_Ostrel::nodePoolStats();
        const double grown = mallocBytes() - before;
        const double poolBlocks = static_cast<double>((poolAfter.blocks - poolBefore.blocks) * poolAfter.blockBytes);
        heap.book = (grown - poolBlocks + static_cast<double>(poolAfter.liveBytes - poolBefore.liveBytes)) / n;
        heap.process = grown / n;
    }
    return heap;
}

} // namespace

BENCHMARK(Open)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(List)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(Find)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);
BENCHMARK(Create100)->Arg(1000)->Arg(10000)->Arg(50000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(RemoveFolder)->Arg(1000)->Arg(10000)->Arg(50000)->Iterations(3)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    BenchStateRoot root;
    if (!root.ok())
        return 1;
    const Heap heap = heapPerRecord(50000); // first, while the node pool is empty
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double list10k = reporter.time("List/10000");
    std::printf("\nlisting a 10k-record folder with its values: %.3f s (goal under 0.5 s)\n", list10k / 1000);
    std::printf("%-14s %10s\n", "operation", "50k/10k");
    for (const char* op : {"Open", "List", "Find", "Create100", "RemoveFolder"}) {
        const std::string suffix = std::string(op) == "Create100" ? "/iterations:1"
            : std::string(op) == "RemoveFolder"                   ? "/iterations:3"
                                                                  : "";
        std::printf("%-14s %10.2f\n", op,
                    reporter.ratio(std::string(op) + "/50000" + suffix, std::string(op) + "/10000" + suffix));
    }
    std::printf("(goal for List: at most 6)\n");
    std::printf("heap held by an open 50k-record book: %.0f bytes per record (goal under 2048)\n", heap.book);
    std::printf("heap the process keeps after opening it: %.0f bytes per record\n", heap.process);
    return 0;
}
