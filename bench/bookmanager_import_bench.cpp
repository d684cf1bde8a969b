// The phone book editor's import: 1k records imported by the line-importing test converter through
// the import dialog's logic and its worker, against the same phone book object calls made directly.
#include "bench/phonebook_text.h"
#include "bench/ratio_reporter.h"
#include "bench/register_servers.h"
#include "bench/state_root.h"
#include "common/data_folders.h"
#include "common/prompter.h"
#include "phonebook/editor/bookmanager_doc.h"
#include "phonebook/editor/converter_logic.h"
#include "platform/bstr.h"
#include "platform/files.h"

#include <cstdio>
#include <cstdlib>

using platform::com::Bstr;
using platform::com::Ptr;

namespace {

constexpr int kRecords = 1000;

// Runs workers in line, as the progress dialog's runner would on its thread.
struct InlineRunner : IProgressRunner, IProgressSink {
    int failure = 0;
    int Run(const std::string&, const Worker& worker) override { return failure = 0, worker(*this), failure; }
    void Progress(int) override {}
    void Fail(int code) override { failure = code; }
};

struct ChoosesSource : IPrompter {
    std::string source;
    int MessageBox(const std::string&, const std::string&, unsigned) override { return IDOK; }
    std::optional<std::string> GetOpenFileName(FileQuestion&) override { return source; }
};

struct Setup {
    std::string empty, book, source, converters;
    std::vector<std::pair<std::string, std::string>> lines;
    Setup()
    {
        const std::string dir = GetPhoneBookDirectory();
        empty = dir + "/Empty.xml";
        book = dir + "/Import.xml";
        source = dir + "/import.txt";
        converters = dir + "/converters";
        std::string text;
        for (int i = 0; i < kRecords; ++i) {
            lines.emplace_back("Person " + std::to_string(i), "0300" + std::to_string(i));
            text += lines.back().first + "," + lines.back().second + "\n";
        }
        const std::string folder = converters + "/lines";
        if (!platform::createDirectories(folder) ||
            !platform::writeFileAtomic(empty, benchdata::PhoneBookText(0).build()) ||
            !platform::writeFileAtomic(source, text) ||
            !platform::writeFileAtomic(folder + "/converter.xml",
                                       "<address_book_converter><version>1.1</version><converter><module-name><value>"
                                       "lines.so</value></module-name><support-extension><extension>txt</extension>"
                                       "<value>Lines</value><id>D</id></support-extension><name><value>Lines</value>"
                                       "<id>N</id></name><functions><function type='generic_import'><name>LinesImport"
                                       "</name></function><function type='generic_export'><name>LinesExport</name>"
                                       "</function></functions></converter></address_book_converter>") ||
            !platform::writeFileAtomic(folder + "/converter.tmx", "<tmx><body/></tmx>") ||
            !platform::copyFileAtomic(QELTA_LINES_CONVERTER, folder + "/lines.so"))
            std::abort();
    }
    // A fresh empty book, opened by a new phone book object.
    Ptr<IBookmanagerTool> FreshBook() const
    {
        if (!platform::copyFileAtomic(empty, book))
            std::abort();
        Ptr<IBookmanagerTool> tool = CreateBookTool();
        if (!tool || tool->Initiate(Bstr(book).get()) != S_OK)
            std::abort();
        return tool;
    }
};

const Setup& TheSetup()
{
    static const Setup setup;
    return setup;
}

void ImportThroughDialog(benchmark::State& state)
{
    const Setup& setup = TheSetup();
    ChoosesSource prompter;
    prompter.source = setup.source;
    InlineRunner runner;
    for (auto _ : state) {
        state.PauseTiming();
        CDConverterLogic logic(ConverterKind::Import, setup.book, setup.FreshBook(), prompter, runner);
        logic.SetDonePause(std::chrono::milliseconds(0));
        logic.Init(setup.converters, "");
        state.ResumeTiming();
        logic.Convert(0);
        if (!logic.Succeeded())
            state.SkipWithError("the import failed");
    }
}

void DirectCalls(benchmark::State& state)
{
    const Setup& setup = TheSetup();
    for (auto _ : state) {
        state.PauseTiming();
        Ptr<IBookmanagerTool> tool = setup.FreshBook();
        state.ResumeTiming();
        for (const auto& [name, number] : setup.lines) {
            int32_t id = 0;
            if (tool->CreateNewAddress(Bstr(name).get(), 1, 0, Bstr("").get(), 0, Bstr(number).get(), 0, 0,
                                       Bstr("").get(), Bstr("").get(), 0, &id) != S_OK)
                state.SkipWithError("a call failed");
        }
    }
}

} // namespace

BENCHMARK(ImportThroughDialog)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(DirectCalls)->Iterations(5)->Unit(benchmark::kMillisecond);

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
    std::printf("import of 1k records through the dialog / direct calls: %.2f (goal at most 1.1)\n",
                reporter.ratio("ImportThroughDialog/iterations:5", "DirectCalls/iterations:5"));
    return 0;
}
