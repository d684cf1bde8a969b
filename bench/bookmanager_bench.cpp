// The phone book editor's loading: ReloadAll through the real phone book component on a folder of
// 1k, 10k and 50k records against the store's own listing of that folder (open, list, and each
// record's name and values), without the 500 ms pause that ends each loading; a rebuild and a
// sort of the record list's 50k rows, shown in the program's list view (offscreen); and 1k records imported by the test tree's line-importing
// converter through the import dialog's logic and worker against the same phone book object calls
// made directly.
#include "bench/phonebook_text.h"
#include "bench/ratio_reporter.h"
#include "bench/register_servers.h"
#include "bench/state_root.h"
#include "common/data_folders.h"
#include "common/prompter.h"
#include "phonebook/editor/app/main_frame.h"
#include "phonebook/editor/book_dialogs.h"
#include "phonebook/editor/bookmanager_doc.h"
#include "phonebook/editor/converter_logic.h"
#include "phonebook/editor/record_list_logic.h"
#include "phonebook/store/phone_book.h"
#include "platform/bstr.h"
#include "platform/files.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

namespace {

// The loading's progress, coalesced as the progress dialog's runner posts it.
struct InlineRunner : IProgressRunner, IProgressSink {
    int last = -1, posts = 0, failure = 0;
    int Run(const std::string&, const Worker& worker) override { return failure = 0, worker(*this), failure; }
    void Progress(int percent) override
    {
        if (percent != last)
            ++posts;
        last = percent;
    }
    void Fail(int code) override { failure = code; }
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

// The record list over a document holding 50k records, in the list view the editor shows it in:
// one rebuild, one sort, each with the view's repaint.
struct LoadedList {
    NoDialogs dialogs;
    InlineRunner runner;
    NoPrompter prompter;
    CQeltapbDoc doc{dialogs, runner};
    CQeltapbViewLogic list{doc, dialogs, prompter};
    CQeltapbView view{list};
    LoadedList()
    {
        view.resize(800, 600);
        view.show();
        doc.SetPathName(BookPath(50000));
        doc.SetLoadPause(std::chrono::milliseconds(0));
        doc.ReloadAll();
        QApplication::processEvents();
    }
    void Repaint()
    {
        view.viewport()->repaint();
        QApplication::processEvents();
    }
};

// Made when first needed; goes before the application does (its view is a widget).
std::unique_ptr<LoadedList> g_list;

LoadedList& List()
{
    if (!g_list)
        g_list = std::make_unique<LoadedList>();
    return *g_list;
}

void RebuildRows(benchmark::State& state)
{
    LoadedList& loaded = List();
    for (auto _ : state) {
        loaded.list.OnUpdate(kHintRecords);
        loaded.Repaint();
    }
}

void SortRows(benchmark::State& state)
{
    LoadedList& loaded = List();
    int column = 0;
    for (auto _ : state) {
        loaded.list.SortByColumn(column);
        loaded.Repaint();
        column = (column + 1) % 2;
    }
}

#ifdef QELTA_LINES_CONVERTER
constexpr int kRecords = 1000;

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
    platform::com::Ptr<IBookmanagerTool> FreshBook() const
    {
        if (!platform::copyFileAtomic(empty, book))
            std::abort();
        platform::com::Ptr<IBookmanagerTool> tool = CreateBookTool();
        if (!tool || tool->Initiate(platform::com::Bstr(book).get()) != S_OK)
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
        platform::com::Ptr<IBookmanagerTool> tool = setup.FreshBook();
        state.ResumeTiming();
        for (const auto& [name, number] : setup.lines) {
            int32_t id = 0;
            if (tool->CreateNewAddress(platform::com::Bstr(name).get(), 1, 0, platform::com::Bstr("").get(), 0, platform::com::Bstr(number).get(), 0, 0,
                                       platform::com::Bstr("").get(), platform::com::Bstr("").get(), 0, &id) != S_OK)
                state.SkipWithError("a call failed");
        }
    }
}


BENCHMARK(ImportThroughDialog)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(DirectCalls)->Iterations(5)->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK(ReloadAll)->Arg(1000)->Arg(10000)->Arg(50000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(StoreListing)->Arg(1000)->Arg(10000)->Arg(50000)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(RebuildRows)->Unit(benchmark::kMillisecond);
BENCHMARK(SortRows)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    BenchStateRoot root;
    if (!root.ok())
        return 1;
    platform::com::initializeThread();
    RegisterServers({"booktool.dll"});
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    g_list.reset();
    for (const char* n : {"1000", "10000", "50000"})
        std::printf("ReloadAll / store listing at %s records: %.2f\n", n,
                    reporter.ratio(std::string("ReloadAll/") + n + "/iterations:3",
                                   std::string("StoreListing/") + n + "/iterations:3"));
    std::printf("ReloadAll of 10k: %.3f s (goal under 1 s, besides the 500 ms pause)\n",
                reporter.time("ReloadAll/10000/iterations:3") / 1000);
    std::printf("ReloadAll 50k / 10k: %.2f (goal at most 6)\n",
                reporter.ratio("ReloadAll/50000/iterations:3", "ReloadAll/10000/iterations:3"));
#ifdef QELTA_LINES_CONVERTER
    std::printf("import of 1k records through the dialog / direct calls: %.2f (goal at most 1.1)\n",
                reporter.ratio("ImportThroughDialog/iterations:5", "DirectCalls/iterations:5"));
#endif
    std::printf("rebuild of 50k rows: %.1f ms, sort: %.1f ms (goal under 200 ms each)\n", reporter.time("RebuildRows"),
                reporter.time("SortRows"));
    return 0;
}
