#include "platform/bstr.h"

#include "platform/unicode.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace platform::com {

BSTR allocStringOfLength(uint32_t length)
{
    if (length > (std::numeric_limits<uint32_t>::max() - 8) / 2)
        return nullptr;
    const size_t bytes = size_t(length) * 2;
    auto* block = static_cast<unsigned char*>(std::calloc(1, sizeof(uint32_t) + bytes + sizeof(OLECHAR)));
    if (!block)
        return nullptr;
    const uint32_t prefix = static_cast<uint32_t>(bytes);
    std::memcpy(block, &prefix, sizeof prefix);
    return reinterpret_cast<BSTR>(block + sizeof(uint32_t));
}

BSTR allocString(std::u16string_view text)
{
    if (text.size() > std::numeric_limits<uint32_t>::max() / 4)
        return nullptr;
    BSTR b = allocStringOfLength(static_cast<uint32_t>(text.size()));
    if (b && !text.empty())
        std::memcpy(b, text.data(), text.size() * sizeof(OLECHAR));
    return b;
}

void freeString(BSTR text)
{
    if (text)
        std::free(reinterpret_cast<unsigned char*>(text) - sizeof(uint32_t));
}

uint32_t stringLength(BSTR text)
{
    if (!text)
        return 0;
    uint32_t bytes;
    std::memcpy(&bytes, reinterpret_cast<unsigned char*>(text) - sizeof(uint32_t), sizeof bytes);
    return bytes / 2;
}

std::u16string_view view(BSTR text) { return text ? std::u16string_view(text, stringLength(text)) : std::u16string_view(); }

BSTR bstrFromAnsi(std::string_view text) { return allocString(ansiToWide(text)); }

std::string ansiFromBstr(BSTR text) { return wideToAnsi(view(text)); }

} // namespace platform::com
