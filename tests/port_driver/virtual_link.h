// Fixture of the end-to-end tests: the driver's objects before a virtual 16550
// and box model in this process, fresh for every test and set up with the words
// of the tester-sim command line.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

#include "named_case.h"
#include "virtual_uart.h"

class VirtualLink : public ::testing::Test {
  protected:
    static constexpr unsigned short base = tester_sim::virtual_uart_base;

    ~VirtualLink() override;

    // Plugs in a box with these simulator options; `log` receives its traffic.
    void plug_in(const std::string &options, std::FILE *log = nullptr);

    tester_sim::virtual_uart &uart() { return *uart_; }

    // LSR reads until one shows `bit`; 0 when none does within `limit` reads.
    int reads_until(unsigned char bit, int limit);

    // Lets the line run for this many register reads.
    void idle(int reads);

  private:
    std::optional<tester_sim::virtual_uart> uart_;
};
