// Sending log store operations on logs of 1,000, 10,000 and 50,000 entries, and the remove that
// reads the index as a document on logs of 20,000 and 200,000.
//
// root.xml is one file, rewritten whole and atomically on every create and remove, so their cost
// follows the size of the log. Each is measured in the same run as a plain write that does the same
// work on the disk, its peer. A remove rewrites the index and removes the entry's folder with its
// file: its peer is a plain atomic write of the same bytes followed by the removal of one folder
// with one file, the same flushes (goal: at most 1.2). A create also makes the entry's folder with
// its file, and flushes that file, the new folder and the log folder before the index takes
// root.xml's place: its peer makes one folder with one file of an entry's bytes beside the index
// and writes the index atomically with the same flushes (goal: at most 1.2). A status change
// touches only its entry. The store's 500 ms pause belongs to FlushLogData2 (the notice that an
// entry is complete), which no operation here calls: every time is store work alone. The table at
// the end gives the time per operation at each size, the ratios against the peers, the bytes a
// create writes, and the time per entry and the peak memory of the remove the document way.
#include "common/registry_helper.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/process.h"
#include "sendlog/log_store.h"
#include "bench/sample_log.h"
#include "bench/state_root.h"

#include <fstream>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <malloc.h>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <sys/stat.h>
#include <vector>

namespace {

void Find(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    useLog(n);
    CQeltaLog log;
    const std::string cookie = CQeltaLog::MakeCookie(document(n / 2), sentAt());
    for (auto _ : state) {
        int32_t id = 0;
        if (!log.FindLogId2(cookie, id))
            state.SkipWithError("not found");
        benchmark::DoNotOptimize(id);
    }
}

void ChangeStatus(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    useLog(n);
    CQeltaLog log;
    int32_t status = 0;
    for (auto _ : state)
        if (!log.ChangeLogStatus2(n / 2, ++status % 8))
            state.SkipWithError("status failed");
}

void Create(benchmark::State& state)
{
    useLog(static_cast<int>(state.range(0)));
    CQeltaLog log;
    int32_t first = 0;
    log.CreateLogData2("", "Warm-up", sentAt(), first); // the first change of a process reads the index whole
    for (auto _ : state) {
        int32_t id = 0;
        if (!log.CreateLogData2("", "New job", sentAt(), id))
            state.SkipWithError("create failed");
    }
}

// The folder of the log of n entries, which the store is pointed at, with the bytes of its
// root.xml and of an entry's file: what the peers write.
struct LogBytes {
    std::string dir, index, entry;
};

LogBytes logBytes(int n)
{
    useLog(n);
    LogBytes bytes{std::string(std::getenv("QELTA_ROOT")) + "/log" + std::to_string(n), {}, {}};
    platform::readFile(bytes.dir + "/root.xml", bytes.index, 1u << 30);
    platform::readFile(bytes.dir + "/" + hexId(1) + "/desktop.xml", bytes.entry, 1u << 20);
    return bytes;
}

// The index alone: a plain atomic write (temporary file, flush, rename, folder flush) of root.xml's bytes.
void IndexWrite(benchmark::State& state)
{
    const auto [dir, index, entry] = logBytes(static_cast<int>(state.range(0)));
    const std::string target = dir + "/plain.xml";
    for (auto _ : state)
        if (!platform::writeFileAtomic(target, index))
            state.SkipWithError("write failed");
    state.counters["bytes"] = static_cast<double>(index.size());
}

// A create's peer: a new folder in the log folder with one file of an entry's bytes, then a plain
// atomic write of root.xml's bytes that flushes the file, the new folder and the log folder along
// with the index before the rename, and the log folder after it: the flushes a create makes.
void FolderAndIndexWrite(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto [dir, index, entry] = logBytes(n);
    static std::map<int, int> nextOf; // repetitions go on where the last one stopped
    int& next = nextOf[n];
    for (auto _ : state) {
        const std::string folder = dir + "/plain" + std::to_string(next++);
        const platform::FileDescriptor file = ::mkdir(folder.c_str(), 0777) == 0
            ? platform::createFileForWriting(folder + "/desktop.xml")
            : platform::FileDescriptor();
        const platform::FileDescriptor entryFolder = platform::openFolder(folder), logFolder = platform::openFolder(dir);
        const int along[] = {file.get(), entryFolder.get(), logFolder.get()};
        if (!file.valid() || !platform::writeAll(file.get(), entry) || !entryFolder.valid() || !logFolder.valid()
            || !platform::writeFileAtomic(dir + "/plain.xml", index, nullptr, along))
            state.SkipWithError("write failed");
    }
    state.counters["bytes"] = static_cast<double>(index.size() + entry.size());
}

// A remove's peer: the plain atomic write of root.xml's bytes a remove's new index takes, then the
// removal of one folder with one file of an entry's bytes, as the entry's goes. The folders are
// made, and reach the disk, before the timing, as the log's entries did.
void IndexWriteAndFolderRemove(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    const auto [dir, index, entry] = logBytes(n);
    static std::map<int, int> nextOf; // repetitions go on where the last one stopped
    int& next = nextOf[n];
    for (int64_t i = 0; i < static_cast<int64_t>(state.max_iterations); ++i) {
        const std::string folder = dir + "/gone" + std::to_string(next + i);
        ::mkdir(folder.c_str(), 0777);
        std::ofstream(folder + "/desktop.xml", std::ios::binary) << entry;
    }
    if (const platform::FileDescriptor folder = platform::openFolder(dir); !folder.valid() || ::syncfs(folder.get()) != 0)
        state.SkipWithError("folders not flushed");
    for (auto _ : state) {
        const std::string folder = dir + "/gone" + std::to_string(next++);
        if (!platform::writeFileAtomic(dir + "/plain.xml", index) || ::unlink((folder + "/desktop.xml").c_str()) != 0
            || ::rmdir(folder.c_str()) != 0)
            state.SkipWithError("write or remove failed");
    }
    state.counters["bytes"] = static_cast<double>(index.size());
}

void Remove(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    useLog(n);
    CQeltaLog log;
    static std::map<int, int32_t> nextOf; // repetitions go on where the last one stopped
    int32_t& next = nextOf.try_emplace(n, 2).first->second; // entry 1 stays as the model of the others
    log.RemoveLogData2(next++); // the first change of a process reads the index whole
    // What the other benchmarks and that first change left to write reaches the disk before the
    // timing, as the peer's folders do.
    if (const platform::FileDescriptor folder = platform::openFolder(std::string(std::getenv("QELTA_ROOT")) + "/log" + std::to_string(n));
        !folder.valid() || ::syncfs(folder.get()) != 0)
        state.SkipWithError("log not flushed");
    for (auto _ : state)
        if (!log.RemoveLogData2(next++))
            state.SkipWithError("remove failed");
}

// The remove the document way: another process wrote root.xml last (here: the same bytes written
// anew before each remove, outside the timing), so the store reads the whole index, element by
// element as it is parsed, and writes it again from its list of entries. Its time per entry must
// stay flat from 20k to 200k entries, and its memory a few times the index file's (see
// removeMemory). The index lists every entry; only the entries removed have folders.
constexpr int kThinFolders = 24;

void RemoveReadingTheIndex(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    useLog(n, kThinFolders);
    const std::string rootPath = logFolder(n, kThinFolders) + "/root.xml";
    CQeltaLog log;
    static std::map<int, int32_t> nextOf; // repetitions go on where the last one stopped
    int32_t& next = nextOf.try_emplace(n, 2).first->second;
    for (auto _ : state) {
        state.PauseTiming();
        std::string text;
        if (next >= kThinFolders || platform::readFile(rootPath, text, 1u << 30) != platform::ReadStatus::Ok
            || !platform::writeFileAtomic(rootPath, text)) {
            state.SkipWithError("index not written anew");
            break;
        }
        state.ResumeTiming();
        if (!log.RemoveLogData2(next++)) {
            state.SkipWithError("remove failed");
            break;
        }
    }
}

// Create and remove change the log's size; a fixed, small number of rounds keeps that under 5 %.
// A flush's time follows the load of the machine's disk, which changes while the benchmark runs, so
// the peers, create and remove run in short repetitions taken in random order (see main) and
// the table compares medians.
constexpr int kRepetitions = 10;
BENCHMARK(Find)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMicrosecond);
BENCHMARK(ChangeStatus)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMicrosecond);
BENCHMARK(IndexWrite)->Arg(1000)->Arg(10000)->Arg(50000)->Iterations(4)->Repetitions(kRepetitions)->Unit(benchmark::kMicrosecond);
BENCHMARK(FolderAndIndexWrite)->Arg(1000)->Arg(10000)->Arg(50000)->Iterations(4)->Repetitions(kRepetitions)->Unit(benchmark::kMicrosecond);
BENCHMARK(IndexWriteAndFolderRemove)->Arg(1000)->Arg(10000)->Arg(50000)->Iterations(4)->Repetitions(kRepetitions)->Unit(benchmark::kMicrosecond);
BENCHMARK(Create)->Arg(1000)->Arg(10000)->Arg(50000)->Iterations(4)->Repetitions(kRepetitions)->Unit(benchmark::kMicrosecond);
BENCHMARK(Remove)->Arg(1000)->Arg(10000)->Arg(50000)->Iterations(4)->Repetitions(kRepetitions)->Unit(benchmark::kMicrosecond);
BENCHMARK(RemoveReadingTheIndex)->Arg(20000)->Arg(200000)->Iterations(2)->Repetitions(9)->Unit(benchmark::kMillisecond);

// The peak memory one remove the document way adds to a fresh process (this program again, so
// that nothing an earlier run freed hides it), against the size of the index file, at n entries.
constexpr const char* kRemoveMemory = "--remove-memory";

long statusKilobytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::string_view(field).size());
    return -1;
}

// The child's part: the store pointed at the log of n entries, one remove of its last entry with a
// folder, then the growth of its peak resident memory into the report file.
int removeMemory(int n, const std::string& report)
{
    const CRegistryHelper user(HKEY_CURRENT_USER, kProductKeyPrefix);
    user.WriteString(kProductSubkey, "LogDirectory", logFolder(n, kThinFolders));
    CQeltaLog log;
    const long before = statusKilobytes("VmRSS:");
    if (!log.RemoveLogData2(kThinFolders))
        return 1;
    std::ofstream(report) << statusKilobytes("VmHWM:") - before << "\n";
    return 0;
}

// The memory that removeMemory reports against the index file's size; -1 when it failed.
double removeMemoryRatio(int n)
{
    const std::string dir = logFolder(n, kThinFolders), report = dir + "/memory.txt";
    std::error_code e;
    const auto index = std::filesystem::file_size(dir + "/root.xml", e);
    if (e || platform::runProgram(platform::programPath(), {kRemoveMemory, std::to_string(n), report}) != 0)
        return -1;
    std::ifstream in(report);
    long kb = -1;
    in >> kb;
    return kb < 0 ? -1 : kb * 1024.0 / static_cast<double>(index);
}

// Keeps the time per operation of every run (each repetition) for the table.
class TableReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const std::string name = run.benchmark_name();
            const auto slash = name.find('/');
            const double perUs = 1e6 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            const std::string size = name.substr(slash + 1, name.find('/', slash + 1) - slash - 1);
            times[name.substr(0, slash)][size].push_back(run.GetAdjustedRealTime() * perUs);
            cpuTimes[name.substr(0, slash)][size].push_back(run.GetAdjustedCPUTime() * perUs);
        }
    }
    std::map<std::string, std::map<std::string, std::vector<double>>> times;
    /// The same in the processor time of the thread that runs them (no waits for the disk).
    std::map<std::string, std::map<std::string, std::vector<double>>> cpuTimes;
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::string_view(argv[1]) == kRemoveMemory)
        return removeMemory(std::atoi(argv[2]), argv[3]);
    // Freed memory stays with the process and large blocks come from the heap too, so that a remove
    // costs the same whichever ran before it: otherwise whether the allocator hands back memory it
    // kept or fresh pages decides the result (on virtual machines the first touch of a page costs
    // microseconds, and a remove at 200k entries touches about 10,000). The child that measures
    // the peak memory keeps the allocator's defaults.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
    const BenchStateRoot root;
    if (!root.ok())
        return 1;

    // Repetitions in random order, unless the command line says otherwise.
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    if (std::none_of(args.begin(), args.end(), [](const char* a) {
            return std::string_view(a).starts_with("--benchmark_enable_random_interleaving");
        }))
        args.insert(args.begin() + 1, interleave.data());
    argc = static_cast<int>(args.size());
    args.push_back(nullptr);
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const char* sizes[] = {"1000", "10000", "50000"};
    auto medianIn = [](auto& times, const char* op, const char* size) {
        const auto& t = times[op];
        return t.count(size) ? median(t.at(size)) : 0.0;
    };
    auto at = [&](const char* op, const char* size) { return medianIn(reporter.times, op, size); };
    std::printf("\n%-26s %12s %12s %12s %10s   (median of the repetitions)\n", "operation", "1k (us)", "10k (us)",
                "50k (us)", "50k/1k");
    for (const char* op : {"IndexWrite", "FolderAndIndexWrite", "IndexWriteAndFolderRemove", "Create", "Remove", "Find",
                           "ChangeStatus"})
        std::printf("%-26s %12.1f %12.1f %12.1f %10.2f\n", op, at(op, "1000"), at(op, "10000"), at(op, "50000"),
                    at(op, "1000") > 0 ? at(op, "50000") / at(op, "1000") : 0.0);
    std::printf("\nspread of the repetitions (fastest - slowest, us)\n");
    for (const char* op : {"IndexWrite", "FolderAndIndexWrite", "IndexWriteAndFolderRemove", "Create", "Remove"}) {
        std::printf("%-26s", op);
        for (const char* size : sizes) {
            const auto& t = reporter.times[op][size];
            if (!t.empty())
                std::printf("  %8.0f - %-8.0f", *std::min_element(t.begin(), t.end()), *std::max_element(t.begin(), t.end()));
        }
        std::printf("\n");
    }
    std::printf("\nagainst the peers, medians %12s %12s %12s\n", "1k", "10k", "50k");
    for (const auto& [op, peer, goal] : {std::tuple{"Create", "FolderAndIndexWrite", "goal: at most 1.2"},
                                         std::tuple{"Remove", "IndexWriteAndFolderRemove", "goal: at most 1.2"},
                                         std::tuple{"Remove", "IndexWrite", "the index alone, for comparison"},
                                         std::tuple{"Create", "IndexWrite", "the index alone, for comparison"}}) {
        std::printf("%-32s", (std::string(op) + "/" + peer).c_str());
        for (const char* size : sizes)
            std::printf(" %12.2f", at(peer, size) > 0 ? at(op, size) / at(peer, size) : 0.0);
        std::printf("   (%s)\n", goal);
    }
    std::printf("\nremove the document way (median)  %12s %12s\n", "20k", "200k");
    const double at20k = at("RemoveReadingTheIndex", "20000"), at200k = at("RemoveReadingTheIndex", "200000"); // us
    std::printf("%-32s %12.1f %12.1f\n", "time (ms)", at20k / 1e3, at200k / 1e3);
    std::printf("%-32s %12.0f %12.0f   (200k/20k %.2f, goal: flat)\n", "time per entry (ns)", at20k * 1e3 / 20000,
                at200k * 1e3 / 200000, at20k > 0 ? (at200k / 200000) / (at20k / 20000) : 0.0);
    // The flush of the new index waits for the disk, whose speed changes while the benchmark runs.
    const double cpu20k = medianIn(reporter.cpuTimes, "RemoveReadingTheIndex", "20000"),
                 cpu200k = medianIn(reporter.cpuTimes, "RemoveReadingTheIndex", "200000");
    std::printf("%-32s %12.0f %12.0f   (200k/20k %.2f)\n", "  of it in the processor (ns)", cpu20k * 1e3 / 20000,
                cpu200k * 1e3 / 200000, cpu20k > 0 ? (cpu200k / 200000) / (cpu20k / 20000) : 0.0);
    if (at20k > 0 && at200k > 0)
        std::printf("%-32s %12.2f %12.2f   (goal: a few times)\n", "peak memory / index file",
                    removeMemoryRatio(20000), removeMemoryRatio(200000));

    // Bytes one create writes: the index and the entry's file (no image: the job names none).
    std::printf("\nbytes written per create\n");
    const std::string stateRoot = std::getenv("QELTA_ROOT");
    for (const char* size : sizes) {
        const std::string dir = stateRoot + "/log" + size;
        std::error_code e1, e2;
        const auto index = std::filesystem::file_size(dir + "/root.xml", e1);
        const auto entry = std::filesystem::file_size(dir + "/" + hexId(std::atoi(size) + 2) + "/desktop.xml", e2);
        if (e1 || e2)
            continue; // no create ran at this size
        std::printf("%-14s %12llu (index %llu + entry %llu)\n", size, static_cast<unsigned long long>(index + entry),
                    static_cast<unsigned long long>(index), static_cast<unsigned long long>(entry));
    }
    return 0;
}
