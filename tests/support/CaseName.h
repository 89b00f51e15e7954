// Readable names for the cases of parameterised tests: each case's PrintTo
// text, cut down to the characters a test name may hold, so that test lists
// and failures say what a case is rather than dump its bytes.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace testing_support {

inline std::string TestNameOf(const std::string &text)
{
    std::string name;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            name.push_back(c);
        else if (!name.empty() && name.back() != '_')
            name.push_back('_');
    }
    while (!name.empty() && name.back() == '_')
        name.pop_back();
    return name;
}

template <class Case>
std::string CaseName(const ::testing::TestParamInfo<Case> &info)
{
    return TestNameOf(::testing::PrintToString(info.param));
}

}  // namespace testing_support
