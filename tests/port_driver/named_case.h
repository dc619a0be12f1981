// Names each case of a parameterised suite after its `name` field.
#pragma once

#include <gtest/gtest.h>

#include <string>

struct NamedCase {
    template <typename Case>
    std::string operator()(const ::testing::TestParamInfo<Case> &tested) const
    {
        return tested.param.name;
    }
};
