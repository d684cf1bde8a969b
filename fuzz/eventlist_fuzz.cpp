// Event registration files from anywhere: what decodes must encode to the same bytes.
#include "sendlog/event_list.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<sendlog::CRegacyCallback> list;
    if (sendlog::decodeEventList(bytes, list) && sendlog::encodeEventList(list) != bytes)
        std::abort();
    return 0;
}
