// PackBits compression of a 1-bit page, row by row, into one growing memory block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pagewriter {

/// A malloc'ed block that starts at 1,279,999 bytes and grows in steps of 1,280,000, keeping its contents.
class PackBitsBlock {
public:
    static constexpr size_t kInitialBytes = 1279999;
    static constexpr size_t kGrowthBytes = 1280000;

    PackBitsBlock() = default;
    ~PackBitsBlock() { release(); }
    PackBitsBlock(const PackBitsBlock&) = delete;
    PackBitsBlock& operator=(const PackBitsBlock&) = delete;

    /// Makes room for at least more further bytes after the used ones. False when memory runs out.
    bool reserve(size_t more);
    /// Frees the block.
    void release();

    uint8_t* data() const { return data_; }
    size_t used() const { return used_; }
    uint8_t* end() const { return data_ + used_; }
    void advance(size_t bytes) { used_ += bytes; }

private:
    uint8_t* data_ = nullptr;
    size_t capacity_ = 0;
    size_t used_ = 0;
};

/// Compresses the whole rows of image (size div bytesPerRow rows) into out, each row on its own.
/// Fails (false) when bytesPerRow is 0 or over 65,535, or when memory runs out.
bool packBits(const uint8_t* image, uint32_t size, uint32_t bytesPerRow, PackBitsBlock& out);

} // namespace pagewriter
