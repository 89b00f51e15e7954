// What the identifier table must hold after frames were folded in, computed
// the simple way, to hold against what reception made of them.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "Simulator.h"

namespace testing_support {

struct ExpectedRow {
    uint32_t id = 0;
    uint32_t count = 0;
    std::vector<uint8_t> data;  // of the latest frame
};

inline std::vector<ExpectedRow> ExpectedTable(const std::vector<vektasim::CanFrame> &frames)
{
    std::vector<ExpectedRow> rows;
    std::map<uint32_t, size_t> where;
    for (const auto &f : frames) {
        if (f.length == 0)
            continue;
        auto [it, added] = where.emplace(f.id, rows.size());
        if (added)
            rows.push_back({f.id, 0, {}});
        ExpectedRow &row = rows[it->second];
        ++row.count;
        row.data.assign(f.data, f.data + f.length);
    }
    return rows;
}

}  // namespace testing_support
