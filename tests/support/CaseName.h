#pragma once
// Names each case of a parameterised test after the `name` member of its row, for
// INSTANTIATE_TEST_SUITE_P; CTest lists the tests by these names.

#include <gtest/gtest.h>

#include <string>

namespace vandreth::test {

struct CaseName {
    template <class Case>
    std::string operator()(const testing::TestParamInfo<Case>& info) const
    {
        return info.param.name;
    }
};

}  // namespace vandreth::test
