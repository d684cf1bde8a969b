// The code-page converter against glibc iconv in the same run: 10 MB of code page 932 (Shift_JIS)
// text and 10 MB of code page 936 (GBK) text, each to UTF-8 and back; once dense (three characters
// in four double-byte) and once as phone books and logs hold it (nine characters in ten ASCII).
#include "xmldoc/codepage.h"

#include "bench/ratio_reporter.h"

#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>

using namespace CXMLDOCLIB_Ostrel;

namespace {

constexpr size_t kTextBytes = 10u << 20;

// Runs iconv over a whole buffer; returns the bytes written.
size_t runIconv(iconv_t cd, const std::string& in, std::string& out)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char* dst = out.data();
    size_t room = out.size();
    iconv(cd, &src, &left, &dst, &room);
    return out.size() - room;
}

// Text in a code page made of characters that code page has: ASCII, kana or hanzi, punctuation;
// asciiPercent of the characters ASCII (25: dense text).
std::string sampleText(int codeType, unsigned asciiPercent)
{
    const CodeTypeTables& t = kCodeTypeTables[codeType];
    const auto* from = static_cast<const uint16_t*>(t.fromUnicode);
    std::mt19937 random(42);
    std::string text;
    text.reserve(kTextBytes + 4);
    while (text.size() < kTextBytes) {
        uint32_t u;
        if (random() % 100 < asciiPercent)
            u = 0x20 + random() % 0x5F;
        else if (random() % 3 == 0)
            u = codeType == CT_SHIFT_JIS ? 0x3041 + random() % 0x52 : 0x3001 + random() % 2;
        else
            u = 0x4E00 + random() % 0x1000;
        const uint16_t code = u < t.fromUnicodeCount ? from[u] : 0;
        if (!code)
            continue;
        if (code > 0xFF)
            text.push_back(static_cast<char>(code >> 8));
        text.push_back(static_cast<char>(code & 0xFF));
    }
    return text;
}

struct Case {
    const char* name;
    int codeType;
    const char* iconvName;
    unsigned asciiPercent;
};
const Case kCases[] = {{"cp932", CT_SHIFT_JIS, "CP932", 25},
                       {"gbk", CT_CP936, "CP936", 25},
                       {"cp932-90%ascii", CT_SHIFT_JIS, "CP932", 90},
                       {"gbk-90%ascii", CT_CP936, "CP936", 90}};
constexpr int kCaseCount = sizeof kCases / sizeof kCases[0];

const std::string& textFor(int index)
{
    static std::map<int, std::string> texts;
    auto& t = texts[index];
    if (t.empty())
        t = sampleText(kCases[index].codeType, kCases[index].asciiPercent);
    return t;
}

void ToUtf8_ours(benchmark::State& state)
{
    const Case& c = kCases[state.range(0)];
    const std::string& in = textFor(static_cast<int>(state.range(0)));
    std::string out(in.size() * 3 + 8, '\0');
    for (auto _ : state)
        ConvertCodePage(in.data(), static_cast<int32_t>(in.size()), c.codeType, out.data(),
                        static_cast<int32_t>(out.size()), CT_UTF8, '?', 0);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
    state.SetLabel(c.name);
}

void ToUtf8_iconv(benchmark::State& state)
{
    const Case& c = kCases[state.range(0)];
    const std::string& in = textFor(static_cast<int>(state.range(0)));
    std::string out(in.size() * 3 + 8, '\0');
    iconv_t cd = iconv_open("UTF-8", c.iconvName);
    for (auto _ : state)
        benchmark::DoNotOptimize(runIconv(cd, in, out));
    iconv_close(cd);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
    state.SetLabel(c.name);
}

std::string utf8For(int index)
{
    const std::string& in = textFor(index);
    std::string out(in.size() * 3 + 8, '\0');
    iconv_t cd = iconv_open("UTF-8", kCases[index].iconvName);
    out.resize(runIconv(cd, in, out));
    iconv_close(cd);
    return out;
}

void FromUtf8_ours(benchmark::State& state)
{
    const Case& c = kCases[state.range(0)];
    const std::string in = utf8For(static_cast<int>(state.range(0)));
    std::string out(in.size() + 8, '\0');
    for (auto _ : state)
        ConvertCodePage(in.data(), static_cast<int32_t>(in.size()), CT_UTF8, out.data(),
                        static_cast<int32_t>(out.size()), c.codeType, '?', 0);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
    state.SetLabel(c.name);
}

void FromUtf8_iconv(benchmark::State& state)
{
    const Case& c = kCases[state.range(0)];
    const std::string in = utf8For(static_cast<int>(state.range(0)));
    std::string out(in.size() + 8, '\0');
    iconv_t cd = iconv_open(c.iconvName, "UTF-8");
    for (auto _ : state)
        benchmark::DoNotOptimize(runIconv(cd, in, out));
    iconv_close(cd);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
    state.SetLabel(c.name);
}

BENCHMARK(ToUtf8_ours)->DenseRange(0, kCaseCount - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(ToUtf8_iconv)->DenseRange(0, kCaseCount - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(FromUtf8_ours)->DenseRange(0, kCaseCount - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(FromUtf8_iconv)->DenseRange(0, kCaseCount - 1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nCode pages, 10 MB: time ours / time iconv (below 1: ours is faster)\n");
    for (int i = 0; i < kCaseCount; ++i)
        for (const char* direction : {"ToUtf8", "FromUtf8"}) {
            const std::string arg = "/" + std::to_string(i);
            const double r = reporter.ratio(std::string(direction) + "_ours" + arg, std::string(direction) + "_iconv" + arg);
            if (r >= 0)
                std::printf("%-15s %-9s %6.2f\n", kCases[i].name, direction, r);
        }
    benchmark::Shutdown();
    return 0;
}
