// XPath selection on phone books of 1k, 10k and 50k records, ours against libxml2's XPath in the
// same run, with equal result counts checked:
//   all records of the root folder   /system/folders/root/records/record   (N siblings)
//   every record element             //record
//   1,000 profile lookups by id      /system/profiles/profile[@id='K']
// Selecting N siblings must cost about N: compare the 10k and 50k rows.
#include "bench/phonebook_text.h"
#include "xmldoc/dom.h"

#include "bench/ratio_reporter.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>

using namespace mfpif_Halvet_R1;

namespace {

constexpr std::array<int, 3> kRecordCounts = {1000, 10000, 50000};
constexpr int kLookups = 1000;

struct Documents {
    std::string text;
    IDocumentPtr ours;
    xmlDocPtr libxml2 = nullptr;
};

Documents& documents(int records)
{
    static std::map<int, Documents> all;
    Documents& d = all[records];
    if (!d.ours) {
        d.text = benchdata::PhoneBookText(records).build();
        d.ours = IDocumentPtr(createDocument());
        d.ours->appendChild(d.ours->loadXML(DOMString(d.text.data(), d.text.size()), true));
        d.libxml2 = xmlReadMemory(d.text.data(), static_cast<int>(d.text.size()), nullptr, nullptr, 0);
    }
    return d;
}

int64_t selectOurs(Documents& d, const char* path) { return d.ours->selectNodes(path)->getLength(); }

int64_t selectLibXml2(Documents& d, const char* path)
{
    xmlXPathContextPtr context = xmlXPathNewContext(d.libxml2);
    xmlXPathObjectPtr result = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(path), context);
    const int64_t count = result && result->nodesetval ? result->nodesetval->nodeNr : 0;
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(context);
    return count;
}

void report(benchmark::State& state, int64_t count, int64_t expected)
{
    if (count != expected)
        state.SkipWithError("the libraries select different numbers of nodes");
    state.counters["selected"] = static_cast<double>(count);
}

template <bool Ours>
void queryBenchmark(benchmark::State& state, const char* path)
{
    const int records = static_cast<int>(state.range(0));
    Documents& d = documents(records);
    const int64_t expected = selectLibXml2(d, path);
    int64_t count = 0;
    for (auto _ : state)
        count = Ours ? selectOurs(d, path) : selectLibXml2(d, path);
    report(state, count, expected);
}

template <bool Ours>
void lookupBenchmark(benchmark::State& state)
{
    const int records = static_cast<int>(state.range(0));
    Documents& d = documents(records);
    std::array<std::string, kLookups> paths;
    for (int i = 0; i < kLookups; ++i)
        paths[static_cast<size_t>(i)] =
            "/system/profiles/profile[@id='" + std::to_string(3 + (i * 7919) % records) + "']";
    int64_t found = 0;
    for (auto _ : state) {
        found = 0;
        for (const auto& p : paths)
            found += Ours ? selectOurs(d, p.c_str()) : selectLibXml2(d, p.c_str());
    }
    report(state, found, kLookups);
}

void Siblings_ours(benchmark::State& s) { queryBenchmark<true>(s, "/system/folders/root/records/record"); }
void Siblings_libxml2(benchmark::State& s) { queryBenchmark<false>(s, "/system/folders/root/records/record"); }
void AllRecords_ours(benchmark::State& s) { queryBenchmark<true>(s, "//record"); }
void AllRecords_libxml2(benchmark::State& s) { queryBenchmark<false>(s, "//record"); }
void Lookups_ours(benchmark::State& s) { lookupBenchmark<true>(s); }
void Lookups_libxml2(benchmark::State& s) { lookupBenchmark<false>(s); }

#define QELTA_SIZES ->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond)
BENCHMARK(Siblings_ours) QELTA_SIZES;
BENCHMARK(Siblings_libxml2) QELTA_SIZES;
BENCHMARK(AllRecords_ours) QELTA_SIZES;
BENCHMARK(AllRecords_libxml2) QELTA_SIZES;
BENCHMARK(Lookups_ours) QELTA_SIZES;
BENCHMARK(Lookups_libxml2) QELTA_SIZES;

} // namespace

int main(int argc, char** argv)
{
    xmlInitParser();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nXPath on the phone book: time ours / time libxml2 (below 1: ours is faster)\n");
    std::printf("%-12s %10s %10s %10s\n", "query", "1k", "10k", "50k");
    for (const char* query : {"Siblings", "AllRecords", "Lookups"}) {
        std::printf("%-12s", query);
        for (int records : kRecordCounts) {
            const std::string suffix = "/" + std::to_string(records);
            const double r = reporter.ratio(std::string(query) + "_ours" + suffix, std::string(query) + "_libxml2" + suffix);
            if (r >= 0)
                std::printf(" %10.2f", r);
            else
                std::printf(" %10s", "-");
        }
        std::printf("\n");
    }
    benchmark::Shutdown();
    return 0;
}
