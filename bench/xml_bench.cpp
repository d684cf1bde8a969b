// The XML library against libxml2's tree and pugixml, on phone books of 1,000, 10,000 and 50,000
// records stored the way our writer stores them: one line, attributes in single quotes, and the
// line breaks and tabs of the templates kept as character references between the elements.
//
// Parse/<library>/<records>   text to tree and the tree freed again (whitespace text kept by all three)
// Write/<library>/<records>   tree to one-line text
// Memory/<library>/<records>  live heap bytes held by one parsed tree, per node
//
// Throughput is given as bytes of the stored phone book per second for every library, so that the
// three compare on the same document even though each writes it back at its own length (libxml2
// and pugixml write the referenced bytes out raw; out_bytes shows what each produced). Nodes are
// elements, attributes and text nodes, counted by walking each tree once.
//
// Heap bytes are counted only while a memory run parses (allocations per node are the heap blocks
// the tree holds, divided by its nodes): our library through the global operator
// new and delete of this program, libxml2 through xmlMemSetup, pugixml through its memory hooks.
// All three go through the same counting functions, which cost one test of a flag when idle.
// pugixml's count includes the copy of the text its tree points into.
//
// A table of the three side by side (and ours divided by each of the others) follows the runs.
#include "xmldoc/dom.h"
#include "xmldoc/node_impl.h"
#include "bench/phonebook_text.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlmemory.h>
#include <malloc.h>
#include <pugixml.hpp>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

using namespace mfpif_Halvet_R1;

// ---- heap counting ----

namespace {

std::atomic<bool> g_counting{false};
std::atomic<int64_t> g_liveBytes{0};
std::atomic<int64_t> g_liveBlocks{0};

void countBlock(void* p, int sign) noexcept
{
    g_liveBytes.fetch_add(sign * static_cast<int64_t>(malloc_usable_size(p)), std::memory_order_relaxed);
    g_liveBlocks.fetch_add(sign, std::memory_order_relaxed);
}

void* countedAlloc(std::size_t size) noexcept
{
    void* p = std::malloc(size ? size : 1);
    if (p && g_counting.load(std::memory_order_relaxed))
        countBlock(p, 1);
    return p;
}

void* countedAlignedAlloc(std::size_t size, std::size_t alignment) noexcept
{
    void* p = nullptr;
    if (alignment < sizeof(void*))
        alignment = sizeof(void*);
    if (posix_memalign(&p, alignment, size ? size : 1) != 0)
        return nullptr;
    if (g_counting.load(std::memory_order_relaxed))
        countBlock(p, 1);
    return p;
}

void countedFree(void* p) noexcept
{
    if (!p)
        return;
    if (g_counting.load(std::memory_order_relaxed))
        countBlock(p, -1);
    std::free(p);
}

void* countedRealloc(void* p, std::size_t size) noexcept
{
    if (!g_counting.load(std::memory_order_relaxed))
        return std::realloc(p, size);
    if (!p)
        return countedAlloc(size);
    const auto before = static_cast<int64_t>(malloc_usable_size(p));
    void* q = std::realloc(p, size);
    if (q) {
        g_liveBytes.fetch_add(static_cast<int64_t>(malloc_usable_size(q)) - before, std::memory_order_relaxed);
    } else if (size == 0) { // freed
        g_liveBytes.fetch_sub(before, std::memory_order_relaxed);
        g_liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    }
    return q;
}

char* countedStrdup(const char* text) noexcept
{
    const std::size_t length = std::strlen(text) + 1;
    auto* copy = static_cast<char*>(countedAlloc(length));
    if (copy)
        std::memcpy(copy, text, length);
    return copy;
}

void* throwingAlloc(std::size_t size)
{
    if (void* p = countedAlloc(size))
        return p;
    throw std::bad_alloc();
}

void* throwingAlignedAlloc(std::size_t size, std::align_val_t alignment)
{
    if (void* p = countedAlignedAlloc(size, static_cast<std::size_t>(alignment)))
        return p;
    throw std::bad_alloc();
}

struct HeapUse {
    int64_t bytes = 0;
    int64_t blocks = 0;
};

// Counts the live bytes and blocks taken between construction and stop().
class HeapWindow {
public:
    HeapWindow()
    {
        g_liveBytes.store(0, std::memory_order_relaxed);
        g_liveBlocks.store(0, std::memory_order_relaxed);
        g_counting.store(true, std::memory_order_relaxed);
    }
    ~HeapWindow() { g_counting.store(false, std::memory_order_relaxed); }
    HeapUse stop()
    {
        g_counting.store(false, std::memory_order_relaxed);
        return {g_liveBytes.load(std::memory_order_relaxed), g_liveBlocks.load(std::memory_order_relaxed)};
    }
};

} // namespace

void* operator new(std::size_t size) { return throwingAlloc(size); }
void* operator new[](std::size_t size) { return throwingAlloc(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return countedAlloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return countedAlloc(size); }
void* operator new(std::size_t size, std::align_val_t alignment) { return throwingAlignedAlloc(size, alignment); }
void* operator new[](std::size_t size, std::align_val_t alignment) { return throwingAlignedAlloc(size, alignment); }
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return countedAlignedAlloc(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept
{
    return countedAlignedAlloc(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* p) noexcept { countedFree(p); }
void operator delete[](void* p) noexcept { countedFree(p); }
void operator delete(void* p, std::size_t) noexcept { countedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { countedFree(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { countedFree(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { countedFree(p); }
void operator delete(void* p, std::align_val_t) noexcept { countedFree(p); }
void operator delete[](void* p, std::align_val_t) noexcept { countedFree(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { countedFree(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { countedFree(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { countedFree(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { countedFree(p); }

namespace {
using benchdata::PhoneBookText;

// ---- the phone book ----

constexpr std::array<int, 3> kRecordCounts = {1000, 10000, 50000};
constexpr int kSizes = static_cast<int>(kRecordCounts.size());

enum Library { Ours, LibXml2, Pugi, kLibraries };
const char* const kLibraryNames[kLibraries] = {"ours", "libxml2", "pugixml"};

// The stored text for each size, made on first use.
const DOMString& phoneBook(int size)
{
    static std::array<std::optional<DOMString>, kSizes> texts;
    if (!texts[size]) {
        const std::string text = PhoneBookText(kRecordCounts[size]).build();
        texts[size].emplace(text.data(), text.size());
    }
    return *texts[size];
}

// ---- parsing with each library ----

struct OurTree {
    IDocumentPtr document;
    INodePtr root;
};

OurTree parseOurs(const DOMString& text)
{
    OurTree tree{IDocumentPtr(createDocument()), nullptr};
    tree.root = tree.document->loadXML(text, true);
    if (!tree.root)
        throw DOMException(DOM_NOT_WELL_FORMED);
    tree.document->appendChild(tree.root);
    return tree;
}

xmlDocPtr parseLibXml2(const DOMString& text)
{
    return xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, 0);
}

constexpr unsigned kPugiParse = pugi::parse_default | pugi::parse_ws_pcdata;

bool parsePugi(pugi::xml_document& document, const DOMString& text)
{
    return static_cast<bool>(document.load_buffer(text.data(), text.size(), kPugiParse));
}

// ---- node counts: elements, attributes and text nodes ----

int64_t countNodes(INode* node)
{
    int64_t count = 0;
    switch (node->getNodeType()) {
    case ELEMENT_NODE: {
        count = 1;
        if (INamedNodeMapPtr attributes = node->getAttributes())
            count += attributes->getLength();
        for (INodePtr child = node->getFirstChild(); child; child = child->getNextSibling())
            count += countNodes(child.get());
        break;
    }
    case TEXT_NODE:
        count = 1;
        break;
    default:
        break;
    }
    return count;
}

int64_t countNodes(xmlNodePtr node)
{
    int64_t count = 0;
    if (node->type == XML_ELEMENT_NODE) {
        count = 1;
        for (xmlAttrPtr a = node->properties; a; a = a->next)
            ++count;
        for (xmlNodePtr child = node->children; child; child = child->next)
            count += countNodes(child);
    } else if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
        count = 1;
    }
    return count;
}

int64_t countNodes(pugi::xml_node node)
{
    int64_t count = 0;
    if (node.type() == pugi::node_element) {
        count = 1;
        for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
            ++count;
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling())
            count += countNodes(child);
    } else if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
        count = 1;
    }
    return count;
}

// The node count of each library's tree of each size (0 when the parse failed), from a tree of its
// own: walking ours makes attribute maps, which must not end up in a measured tree.
int64_t nodeCount(Library library, int size)
{
    static std::array<std::array<std::optional<int64_t>, kSizes>, kLibraries> counts;
    auto& cached = counts[library][size];
    if (cached)
        return *cached;
    const DOMString& text = phoneBook(size);
    int64_t count = 0;
    switch (library) {
    case Ours:
        try {
            OurTree tree = parseOurs(text);
            count = countNodes(tree.root.get());
        } catch (const IDOMException&) {
        }
        break;
    case LibXml2:
        if (xmlDocPtr document = parseLibXml2(text)) {
            count = countNodes(xmlDocGetRootElement(document));
            xmlFreeDoc(document);
        }
        break;
    case Pugi: {
        pugi::xml_document document;
        if (parsePugi(document, text))
            count = countNodes(document.document_element());
        break;
    }
    default:
        break;
    }
    cached = count;
    return count;
}

void setThroughput(benchmark::State& state, const DOMString& text)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

// ---- parse ----

void parseBenchmark(benchmark::State& state, Library library, int size)
{
    const DOMString& text = phoneBook(size);
    const int64_t nodes = nodeCount(library, size);
    if (nodes == 0) {
        state.SkipWithError("the phone book does not parse");
        return;
    }
    auto parseAndFree = [&] {
        switch (library) {
        case Ours: {
            OurTree tree = parseOurs(text);
            benchmark::DoNotOptimize(tree.root.get());
            break;
        }
        case LibXml2: {
            xmlDocPtr document = parseLibXml2(text);
            benchmark::DoNotOptimize(document);
            xmlFreeDoc(document);
            break;
        }
        case Pugi: {
            pugi::xml_document document;
            benchmark::DoNotOptimize(parsePugi(document, text));
            break;
        }
        default:
            break;
        }
    };
    parseAndFree(); // untimed: the heap as a program finds it once it has held a tree before
    for (auto _ : state)
        parseAndFree();
    setThroughput(state, text);
    state.counters["nodes"] = static_cast<double>(nodes);
}

// ---- write ----

class StringWriter final : public pugi::xml_writer {
public:
    void write(const void* data, std::size_t size) override { out.append(static_cast<const char*>(data), size); }
    std::string out;
};

void writeBenchmark(benchmark::State& state, Library library, int size)
{
    const DOMString& text = phoneBook(size);
    if (nodeCount(library, size) == 0) {
        state.SkipWithError("the phone book does not parse");
        return;
    }
    std::optional<OurTree> ours;
    xmlDocPtr libxml2Document = nullptr;
    pugi::xml_document pugiDocument;
    switch (library) {
    case Ours:
        ours = parseOurs(text);
        break;
    case LibXml2:
        libxml2Document = parseLibXml2(text);
        break;
    case Pugi:
        parsePugi(pugiDocument, text);
        break;
    default:
        break;
    }
    std::size_t written = 0;
    auto write = [&] {
        switch (library) {
        case Ours: {
            DOMString out = ours->root->getXML();
            written = out.size();
            benchmark::DoNotOptimize(out.data());
            break;
        }
        case LibXml2: {
            xmlChar* out = nullptr;
            int length = 0;
            xmlDocDumpMemory(libxml2Document, &out, &length);
            benchmark::DoNotOptimize(out);
            written = static_cast<std::size_t>(length);
            xmlFree(out);
            break;
        }
        case Pugi: {
            StringWriter writer;
            pugiDocument.document_element().print(writer, "", pugi::format_raw);
            written = writer.out.size();
            benchmark::DoNotOptimize(writer.out.data());
            break;
        }
        default:
            break;
        }
    };
    write(); // untimed, like the parse
    for (auto _ : state)
        write();
    if (libxml2Document)
        xmlFreeDoc(libxml2Document);
    setThroughput(state, text);
    state.counters["out_bytes"] = static_cast<double>(written);
}

// ---- memory ----

void memoryBenchmark(benchmark::State& state, Library library, int size)
{
    const DOMString& text = phoneBook(size);
    const int64_t nodes = nodeCount(library, size);
    if (nodes == 0) {
        state.SkipWithError("the phone book does not parse");
        return;
    }
    HeapUse use;
    for (auto _ : state) {
        switch (library) {
        case Ours: {
            // A parse's nodes lie in pages the tree holds, counted as the heap blocks they are; the few
            // nodes made otherwise (the document) come from the node pool: count the slots they take,
            // not the pool's blocks.
            const auto before = CXMLDOCLIB_Ostrel::nodePoolStats();
            HeapWindow window;
            OurTree tree = parseOurs(text);
            use = window.stop();
            const auto after = CXMLDOCLIB_Ostrel::nodePoolStats();
            const int64_t newBlocks = after.blocks - before.blocks;
            use.bytes += after.liveBytes - before.liveBytes - newBlocks * after.blockBytes;
            use.blocks += after.liveNodes - before.liveNodes - newBlocks;
            break;
        }
        case LibXml2: {
            HeapWindow window;
            xmlDocPtr document = parseLibXml2(text);
            use = window.stop();
            xmlFreeDoc(document);
            break;
        }
        case Pugi: {
            pugi::xml_document document;
            HeapWindow window;
            parsePugi(document, text);
            use = window.stop();
            break;
        }
        default:
            break;
        }
    }
    state.counters["tree_bytes"] = static_cast<double>(use.bytes);
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["bytes_per_node"] = static_cast<double>(use.bytes) / static_cast<double>(nodes);
    state.counters["blocks_per_node"] = static_cast<double>(use.blocks) / static_cast<double>(nodes);
}

// ---- the summary ----

enum Measure { Parse, Write, Memory, kMeasures };
const char* const kMeasureNames[kMeasures] = {"Parse", "Write", "Memory"};

struct Cell {
    Measure measure;
    Library library;
    int size;
};

// Keeps each run's result for the table printed after the runs.
class SummaryReporter final : public benchmark::ConsoleReporter {
public:
    explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}

    void registerCell(const std::string& name, Cell cell) { cells_.emplace(name, cell); }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "mean")
                continue;
            const auto cell = cells_.find(run.run_name.function_name);
            if (cell == cells_.end())
                continue;
            const char* counter = cell->second.measure == Memory ? "bytes_per_node" : "bytes_per_second";
            const auto value = run.counters.find(counter);
            if (value != run.counters.end())
                values_[cell->second.measure][cell->second.library][cell->second.size] = value->second.value;
            if (cell->second.measure == Memory) {
                const auto blocks = run.counters.find("blocks_per_node");
                if (blocks != run.counters.end())
                    blocks_[cell->second.library][cell->second.size] = blocks->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printSummary() const
    {
        std::printf("\nXML libraries on the phone book: MiB of stored text per second (higher is better),\n"
                    "heap bytes per node (lower is better); ratios are ours divided by the other.\n");
        for (int m = 0; m < kMeasures; ++m) {
            const bool rate = m != Memory;
            std::printf("\n%-7s %8s %9s %10s %10s %10s %12s %12s\n", kMeasureNames[m], "records", "text MiB",
                        kLibraryNames[Ours], kLibraryNames[LibXml2], kLibraryNames[Pugi], "ours/libxml2",
                        "ours/pugixml");
            const auto& row = values_[m];
            for (int s = 0; s < kSizes; ++s) {
                if (!row[Ours][s] && !row[LibXml2][s] && !row[Pugi][s])
                    continue; // not run
                std::printf("%-7s %8d %9.1f", "", kRecordCounts[s],
                            static_cast<double>(phoneBook(s).size()) / (1024.0 * 1024.0));
                for (int l = 0; l < kLibraries; ++l) {
                    if (row[l][s])
                        std::printf(" %10.1f", rate ? *row[l][s] / (1024.0 * 1024.0) : *row[l][s]);
                    else
                        std::printf(" %10s", "-");
                }
                for (int l : {LibXml2, Pugi}) {
                    if (row[Ours][s] && row[l][s] && *row[l][s] > 0)
                        std::printf(" %12.2f", *row[Ours][s] / *row[l][s]);
                    else
                        std::printf(" %12s", "-");
                }
                std::printf("\n");
            }
        }
        std::printf("\nAllocations per node (heap blocks a parsed tree holds; our pages count as one each)\n");
        for (int s = 0; s < kSizes; ++s) {
            if (!blocks_[Ours][s] && !blocks_[LibXml2][s] && !blocks_[Pugi][s])
                continue;
            std::printf("%-7s %8d %9s", "", kRecordCounts[s], "");
            for (int l = 0; l < kLibraries; ++l) {
                if (blocks_[l][s])
                    std::printf(" %10.3f", *blocks_[l][s]);
                else
                    std::printf(" %10s", "-");
            }
            std::printf("\n");
        }
        std::fflush(stdout);
    }

private:
    std::map<std::string, Cell> cells_;
    std::array<std::array<std::array<std::optional<double>, kSizes>, kLibraries>, kMeasures> values_{};
    std::array<std::array<std::optional<double>, kSizes>, kLibraries> blocks_{};
};

void registerBenchmarks(SummaryReporter& reporter)
{
    using Function = void (*)(benchmark::State&, Library, int);
    const Function functions[kMeasures] = {parseBenchmark, writeBenchmark, memoryBenchmark};
    for (int m = 0; m < kMeasures; ++m) {
        for (int s = 0; s < kSizes; ++s) {
            for (int l = 0; l < kLibraries; ++l) {
                const std::string name = std::string(kMeasureNames[m]) + '/' + kLibraryNames[l] + '/'
                                         + std::to_string(kRecordCounts[s]);
                const Function function = functions[m];
                const auto library = static_cast<Library>(l);
                auto* benchmark = benchmark::RegisterBenchmark(
                    name.c_str(), [function, library, s](benchmark::State& state) { function(state, library, s); });
                benchmark->Unit(benchmark::kMillisecond);
                if (m == Memory)
                    benchmark->Iterations(1);
                else if (s == kSizes - 1)
                    benchmark->MinTime(2.0); // a few passes even where one takes most of a second
                reporter.registerCell(name, Cell{static_cast<Measure>(m), library, s});
            }
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    // Freed memory stays with the process and large blocks come from the heap too, so that a pass
    // costs the same whichever benchmark ran before it: otherwise the first touch of fresh pages,
    // which is expensive on virtual machines, decides the result more than the libraries do.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());

    // Before anything else of libxml2 runs, so that every block it holds goes through the counter.
    if (xmlMemSetup(countedFree, countedAlloc, countedRealloc, countedStrdup) != 0)
        return 1;
    xmlInitParser();
    pugi::set_memory_management_functions(countedAlloc, countedFree);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // Colours only on a terminal, as the library's own console output does.
    SummaryReporter reporter(::isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                     : benchmark::ConsoleReporter::OO_Tabular);
    registerBenchmarks(reporter);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary();
    benchmark::Shutdown();
    xmlCleanupParser();
    return 0;
}
