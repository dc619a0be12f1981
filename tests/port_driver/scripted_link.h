// Fixture of the register-level tests: the driver in front of a scripted UART at
// a base other than the usual 0x3F8, so a fixed address would show.
#pragma once

#include <gtest/gtest.h>

#include "named_case.h"
#include "scripted_uart.h"

class ScriptedLink : public ::testing::Test {
  protected:
    static constexpr unsigned short base = 0x2E8;
    ScriptedUart uart{base};
};

// For the parameterised suites.
template <typename Case>
class ScriptedLinkWith : public ::testing::TestWithParam<Case> {
  protected:
    static constexpr unsigned short base = 0x2E8;
    ScriptedUart uart{base};
};
