// The bytes of a run on the line, in order, and how often the box turned round:
// a box byte straight after a host byte waited out the box's turnaround first.
#pragma once

#include <cstddef>

namespace bench {

class LineTally {
  public:
    void add(bool from_box)
    {
        ++bytes_;
        if (from_box && last_from_host_) ++turnarounds_;
        last_from_host_ = !from_box;
    }
    std::size_t bytes() const { return bytes_; }
    std::size_t turnarounds() const { return turnarounds_; }

  private:
    std::size_t bytes_ = 0;
    std::size_t turnarounds_ = 0;
    bool last_from_host_ = false;
};

}  // namespace bench
