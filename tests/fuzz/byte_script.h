// Reads a fuzz input front to back; past its end every byte reads as 0, so any
// input is a complete script and a short one simply ends early.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fuzz {

class ByteScript {
  public:
    ByteScript(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

    bool done() const { return pos_ >= size_; }

    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }

    // Most significant byte first.
    std::uint16_t u16()
    {
        const std::uint8_t high = byte();
        return static_cast<std::uint16_t>(high << 8 | byte());
    }
    std::uint32_t u32()
    {
        const std::uint32_t high = u16();
        return high << 16 | u16();
    }

    // A byte folded into 0..count-1.
    std::size_t pick(std::size_t count) { return byte() % count; }

  private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace fuzz
