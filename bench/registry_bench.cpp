// Registry reads and writes on a hive of 1,000 keys.
//
// A read of an unchanged hive must not parse it again: compare ReadUnchangedHive with ParseHive,
// which is what every read would cost if it did. A write is a whole read-modify-write of the file
// under the lock.
#include "platform/files.h"
#include "platform/registry.h"
#include "bench/state_root.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace platform;

namespace {

constexpr int kKeys = 1000;

// Fills HKCU with kKeys keys of three values each, once per process.
void buildHive()
{
    static bool built = false;
    if (built)
        return;
    built = true;
    std::string text = "Windows Registry Editor Version 5.00\n";
    for (int i = 0; i < kKeys; ++i) {
        text += "\n[HKEY_CURRENT_USER\\SOFTWARE\\Kovra\\TqlStl2\\Key" + std::to_string(i) + "]\n";
        text += "\"Name\"=\"Value number " + std::to_string(i) + "\"\n";
        text += "\"Count\"=dword:0000002a\n";
        text += "\"Path\"=\"/home/user/.local/share/ACME/qelta/phonebook\"\n";
    }
    createDirectories(parentPath(hiveFilePath(Hive::CurrentUser)));
    writeFileAtomic(hiveFilePath(Hive::CurrentUser), text);
}

void ReadUnchangedHive(benchmark::State& state)
{
    buildHive();
    RegistryKey key;
    RegistryKey::open(Hive::CurrentUser, "SOFTWARE\\Kovra\\TqlStl2\\Key500", key);
    RegValue value;
    for (auto _ : state) {
        if (key.query("Name", value) != RegStatus::Ok)
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(ReadUnchangedHive);

void ParseHive(benchmark::State& state)
{
    buildHive();
    std::string text;
    readFile(hiveFilePath(Hive::CurrentUser), text, kMaxHiveFileBytes);
    for (auto _ : state) {
        std::string error;
        auto tree = parseHiveText(text, "HKEY_CURRENT_USER", &error);
        benchmark::DoNotOptimize(tree);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(ParseHive);

void WriteOneValue(benchmark::State& state)
{
    buildHive();
    RegistryKey key;
    RegistryKey::open(Hive::CurrentUser, "SOFTWARE\\Kovra\\TqlStl2\\Key500", key);
    uint32_t n = 0;
    for (auto _ : state)
        if (key.set("Counter", RegValue::dword(++n)) != RegStatus::Ok)
            state.SkipWithError("write failed");
}
BENCHMARK(WriteOneValue)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    const BenchStateRoot root;
    if (!root.ok())
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
