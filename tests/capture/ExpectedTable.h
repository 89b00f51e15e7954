// What the identifier table must hold after frames were folded in, computed
// the simple way, to hold against what reception made of them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <vector>

#include "capture/Unit2.h"
#include "sim/Simulator.h"

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

// Holds the capture's table against the rows: the same identifiers in the
// same order, each with its count and latest data.
inline void ExpectTable(const TCaptureControl &control, const std::vector<ExpectedRow> &rows)
{
    ASSERT_EQ(control.frameCount.load(), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const FrameEntry &e = control.frames[i];
        EXPECT_EQ(e.id, rows[i].id) << i;
        EXPECT_EQ(e.count, rows[i].count) << i;
        EXPECT_EQ(std::vector<uint8_t>(e.data, e.data + e.length), rows[i].data) << i;
    }
}

}  // namespace testing_support
