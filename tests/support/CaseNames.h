// Readable names for the cases of parameterised suites, so that a test
// listing, and a failure, say which case it is.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testing_support {

// Names each case after its `name` field (letters, digits and '_').
struct CaseName {
    template <class Case>
    std::string operator()(const testing::TestParamInfo<Case> &info) const
    {
        return std::string(info.param.name);
    }
};

}  // namespace testing_support
