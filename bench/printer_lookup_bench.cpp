// The lookup of the setup's recorded printer by its name (its device URI, as the send wizard asks
// for it) on a private print server with 450 other queues, against the same lookup on a private
// server that holds the printer's queue alone: the recorded queue is asked for by itself, so the
// other queues cost nothing. The goal is printed beside the result.
#include "bench/ratio_reporter.h"
#include "bench/state_root.h"
#include "platform/files.h"
#include "platform/spooler.h"
#include "platform/tests/support/cups_server.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr int kOtherQueues = 450;
constexpr const char* kPrinter = "Qelta Fax";
constexpr const char* kDriver = "Qelta Driver";
// The printer's queue, under the name the setup gives it beside a queue of the user's.
constexpr const char* kQueue = "Qelta_Fax_(1)";
constexpr const char* kDevice = "qeltatest:/dev/null";

qelta::test::CPrivateCupsServer alone, crowded;

// Writes a PPD file whose make and model is model; its path, or empty.
std::string WritePpd(const std::string& model)
{
    const std::string path = (std::filesystem::temp_directory_path() / ("qelta-bench-" + model + ".ppd")).string();
    return platform::writeFileAtomic(path, platform::minimalPpd(model)) ? path : std::string();
}

// Starts the server with the printer's queue and others queues of another driver beside it.
bool Prepare(qelta::test::CPrivateCupsServer& server, int others, const std::string& printerPpd,
             const std::string& otherPpd)
{
    std::string why;
    if (!server.Start(why)) {
        std::fprintf(stderr, "printer_lookup_bench: no private CUPS server: %s\n", why.c_str());
        return false;
    }
    server.UseInThisProcess();
    auto spooler = platform::makeCupsSpooler();
    if (!spooler->addQueue({kQueue, kPrinter, kDevice, printerPpd}, &why)) {
        std::fprintf(stderr, "printer_lookup_bench: the printer's queue: %s\n", why.c_str());
        return false;
    }
    for (int i = 0; i < others; ++i) {
        const std::string name = "Office_" + std::to_string(i);
        if (!spooler->addQueue({name, "Office printer " + std::to_string(i), kDevice, otherPpd}, &why)) {
            std::fprintf(stderr, "printer_lookup_bench: %s: %s\n", name.c_str(), why.c_str());
            return false;
        }
    }
    return true;
}

void LookUpRecordedPrinter(benchmark::State& state)
{
    (state.range(0) > 0 ? crowded : alone).UseInThisProcess();
    auto spooler = platform::makeCupsSpooler();
    for (auto _ : state)
        if (spooler->deviceUri(kPrinter) != kDevice) {
            state.SkipWithError("the recorded printer is not found");
            break;
        }
}
BENCHMARK(LookUpRecordedPrinter)->Arg(0)->Arg(kOtherQueues)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    const BenchStateRoot root;
    if (!root.ok())
        return 1;
    const std::string printerPpd = WritePpd(kDriver), otherPpd = WritePpd("Office Laser");
    const bool ready = !printerPpd.empty() && !otherPpd.empty() && Prepare(alone, 0, printerPpd, otherPpd)
                       && Prepare(crowded, kOtherQueues, printerPpd, otherPpd)
                       && platform::recordPrinter({kQueue, kPrinter, kDriver});
    platform::removeFile(printerPpd);
    platform::removeFile(otherPpd);
    if (!ready)
        return 1;
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("recorded printer lookup, %d other queues against none: %.2f (goal at most 1.2)\n", kOtherQueues,
                reporter.ratio("LookUpRecordedPrinter/" + std::to_string(kOtherQueues), "LookUpRecordedPrinter/0"));
    return 0;
}
