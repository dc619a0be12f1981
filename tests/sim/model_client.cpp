#include "model_client.h"

#include <gtest/gtest.h>

#include <string>

namespace sim_test {

tester_sim::fault must_parse(const char *text)
{
    std::string error;
    auto f = tester_sim::parse_fault(text, error);
    EXPECT_TRUE(f.has_value()) << error;
    return f.value_or(tester_sim::fault{});
}

}  // namespace sim_test
