#include "pagewriter/packbits.h"

#include <cstdlib>
#include <cstring>

namespace pagewriter {

namespace {
constexpr size_t kMaxRun = 128;
constexpr uint32_t kMaxRowBytes = 0xFFFF; // the row length is a 16-bit count

// Encodes one row at dest (room for length + length / 128 + 1 bytes); returns the bytes written.
size_t packBitsRow(const uint8_t* row, size_t length, uint8_t* dest)
{
    uint8_t* out = dest;
    size_t i = 0;
    while (i < length) {
        const uint8_t first = row[i];
        if (i + 1 < length && row[i + 1] == first) {
            // A run of equal bytes: -(n - 1), then the byte.
            size_t run = 2;
            while (run < kMaxRun && i + run < length && row[i + run] == first)
                ++run;
            *out++ = static_cast<uint8_t>(1 - static_cast<int>(run));
            *out++ = first;
            i += run;
            continue;
        }
        // Literal bytes while each differs from the one before; a byte that starts a run goes back.
        size_t count = 1;
        while (count < kMaxRun && i + count < length && row[i + count] != row[i + count - 1])
            ++count;
        if (count > 1 && i + count < length && row[i + count] == row[i + count - 1])
            --count;
        *out++ = static_cast<uint8_t>(count - 1);
        std::memcpy(out, row + i, count);
        out += count;
        i += count;
    }
    return static_cast<size_t>(out - dest);
}

} // namespace

bool PackBitsBlock::reserve(size_t more)
{
    size_t wanted = capacity_ == 0 ? kInitialBytes : capacity_;
    while (wanted - used_ < more)
        wanted += kGrowthBytes;
    if (wanted == capacity_)
        return true;
    void* grown = std::realloc(data_, wanted);
    if (!grown)
        return false;
    data_ = static_cast<uint8_t*>(grown);
    capacity_ = wanted;
    return true;
}

void PackBitsBlock::release()
{
    std::free(data_);
    data_ = nullptr;
    capacity_ = used_ = 0;
}


bool packBits(const uint8_t* image, uint32_t size, uint32_t bytesPerRow, PackBitsBlock& out)
{
    if (bytesPerRow == 0 || bytesPerRow > kMaxRowBytes)
        return false;
    const uint32_t rows = size / bytesPerRow;
    const size_t worstRow = bytesPerRow + bytesPerRow / kMaxRun + 1;
    for (uint32_t r = 0; r < rows; ++r) {
        if (!out.reserve(worstRow))
            return false;
        out.advance(packBitsRow(image + size_t{r} * bytesPerRow, bytesPerRow, out.end()));
    }
    return true;
}

} // namespace pagewriter
