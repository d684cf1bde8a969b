// Raw HTTP answers as the transport collects them, in pieces of every size: the collector stays
// within its limit, never completes twice, and gives the same answer however the bytes were split,
// also when the peer goes away before the end.
#include "devicelink/http_transport.h"

#include <cstdint>
#include <cstdlib>

using namespace CMSoapSLib_Ostrel_R1;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t step = data[0] % 16 + 1; // the first byte chooses the piece size
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;
    constexpr size_t kLimit = 4096;

    CHttpAnswer whole(kLimit);
    const auto wholeState = whole.append(bytes, length);
    CHttpAnswer pieces(kLimit);
    auto state = CHttpAnswer::State::Incomplete;
    for (size_t at = 0; at < length && state == CHttpAnswer::State::Incomplete; at += step)
        state = pieces.append(bytes + at, std::min(step, length - at));
    if (state != wholeState)
        std::abort();
    // The peer goes away: the answer is then complete or failed, the same way for both.
    if (state == CHttpAnswer::State::Incomplete) {
        state = pieces.end();
        if (state == CHttpAnswer::State::Incomplete || whole.end() != state)
            std::abort();
    }
    if (state != CHttpAnswer::State::Failed) {
        const std::string text = pieces.text();
        if (text.size() > kLimit || text != whole.text())
            std::abort();
    }
    return 0;
}
