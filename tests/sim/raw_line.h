// A raw client on a serial device, standing where the driver would.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace sim_test {

class raw_line {
  public:
    explicit raw_line(const std::string &path);  // fails the test when it cannot open
    ~raw_line();
    raw_line(const raw_line &) = delete;
    raw_line &operator=(const raw_line &) = delete;

    bool is_open() const { return fd_ >= 0; }
    void send(const std::vector<unsigned char> &bytes);
    // Up to n bytes, waiting at most `wait` for them all.
    std::vector<unsigned char> receive(std::size_t n, std::chrono::milliseconds wait);
    // True once the far end has closed the line (hang-up or error on the next poll).
    bool hung_up(std::chrono::milliseconds wait);

  private:
    int fd_ = -1;
};

}  // namespace sim_test
