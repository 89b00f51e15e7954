// The throttle's arithmetic on given time points; no clock is read.
#include <gtest/gtest.h>

#include <ostream>

#include "sim/TokenBucket.h"
#include "tests/support/CaseNames.h"

namespace {

using namespace std::chrono_literals;
using vektasim::Clock;
using vektasim::TokenBucket;

constexpr uint32_t kLineBytesPerSecond = 83333;
constexpr size_t kBurstBytes = 256;
const Clock::time_point kT0{};

struct RefillCase {
    const char *name;
    std::chrono::microseconds after;
    size_t available;
};

void PrintTo(const RefillCase &c, std::ostream *out)
{
    *out << c.name << ": " << c.after.count() << " us after, " << c.available << " bytes";
}

class TokenBucketRefill : public ::testing::TestWithParam<RefillCase> {};

TEST_P(TokenBucketRefill, GrowsAtTheRateUpToTheBurst)
{
    TokenBucket bucket(kLineBytesPerSecond, kBurstBytes, kT0);
    ASSERT_EQ(bucket.Available(kT0), kBurstBytes);
    bucket.Take(kBurstBytes);
    EXPECT_EQ(bucket.Available(kT0 + GetParam().after), GetParam().available);
}

INSTANTIATE_TEST_SUITE_P(Times, TokenBucketRefill,
                         ::testing::Values(RefillCase{"AtOnce", 0us, 0}, RefillCase{"BeforeOneByte", 12us, 0},
                                           RefillCase{"OneByte", 13us, 1}, RefillCase{"Before100", 1200us, 99},
                                           RefillCase{"Bytes100", 1201us, 100}, RefillCase{"Bytes249", 3000us, 249},
                                           RefillCase{"OneSecond", 1s, kBurstBytes},
                                           RefillCase{"OneHour", 1h, kBurstBytes}),
                         testing_support::CaseName());

TEST(TokenBucket, SaysHowLongUntilBytesAreAllowed)
{
    TokenBucket bucket(kLineBytesPerSecond, kBurstBytes, kT0);
    bucket.Take(kBurstBytes);
    EXPECT_EQ(bucket.Available(kT0), 0u);
    const auto wait = bucket.UntilAvailable(100);
    EXPECT_EQ(bucket.Available(kT0 + wait), 100u);
    EXPECT_EQ(bucket.Available(kT0 + wait), 100u);
    EXPECT_EQ(bucket.UntilAvailable(100), Clock::duration::zero());
}

TEST(TokenBucket, OverdrawnBucketRecoversTheDebtFirst)
{
    TokenBucket bucket(kLineBytesPerSecond, kBurstBytes, kT0);
    bucket.Take(kBurstBytes + 1000);
    EXPECT_EQ(bucket.Available(kT0 + 12ms), 0u);
    EXPECT_GT(bucket.Available(kT0 + 13ms), 0u);
}

}  // namespace
