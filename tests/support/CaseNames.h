// Readable names for the cases of parameterised suites, so that a test
// listing, and a failure, say which case it is.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
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

// Names each case after what its PrintTo shows, cut down to letters, digits
// and '_', for cases that carry no name of their own.
struct PrintedName {
    template <class Case>
    std::string operator()(const testing::TestParamInfo<Case> &info) const
    {
        std::string name;
        for (const char c : testing::PrintToString(info.param)) {
            if (std::isalnum(static_cast<unsigned char>(c)))
                name.push_back(c);
            else if (!name.empty() && name.back() != '_')
                name.push_back('_');
        }
        while (!name.empty() && name.back() == '_')
            name.pop_back();
        return name;
    }
};

}  // namespace testing_support
