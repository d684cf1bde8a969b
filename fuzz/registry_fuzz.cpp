// Hive text from anywhere: parse, write, parse again. A hive that loads must write out to text
// that loads to the same tree and writes out the same again.
#include "platform/registry_format.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace platform;

namespace {
bool sameTree(const RegNode& a, const RegNode& b)
{
    if (a.values() != b.values() || a.children().size() != b.children().size())
        return false;
    auto ia = a.children().begin();
    auto ib = b.children().begin();
    for (; ia != a.children().end(); ++ia, ++ib)
        if (ia->second->name() != ib->second->name() || !sameTree(*ia->second, *ib->second))
            return false;
    return true;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    auto tree = parseHiveText(text, "HKEY_CURRENT_USER", &error);
    if (!tree) {
        if (error.empty())
            std::abort(); // every refusal says why
        return 0;
    }
    const std::string written = formatHiveText(*tree, "HKEY_CURRENT_USER");
    auto again = parseHiveText(written, "HKEY_CURRENT_USER", &error);
    if (!again || !sameTree(*tree, *again) || formatHiveText(*again, "HKEY_CURRENT_USER") != written)
        std::abort();
    return 0;
}
