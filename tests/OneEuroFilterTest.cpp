#include "filters/OneEuroFilter.hpp"

#include "support/Golden.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace {

using pelto::detail::OneEuroFilter;
using Sample = pelto_golden_sample;
const auto& GOLDEN = PELTO_GOLDEN;

constexpr std::int64_t NONE = OneEuroFilter::NO_TIMESTAMP;
constexpr std::int64_t INT64_MAXIMUM = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t INT64_MINIMUM = std::numeric_limits<std::int64_t>::min();
constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

struct SequenceCase {
    const char* name;
    double freq;
    std::vector<Sample> samples;
};

// Keep the cases' names, not byte dumps, in test listings.
void PrintTo(const SequenceCase& c, std::ostream* os) {
    *os << c.name;
}

class OneEuroFilterSequence : public testing::TestWithParam<SequenceCase> {};

TEST_P(OneEuroFilterSequence, YieldsExactOutputs) {
    OneEuroFilter filter(GetParam().freq, 1.0, 0.007, 1.0);
    for (const Sample& s : GetParam().samples) {
        const double out = filter.filterValue(s.value, s.timestamp);
        if (std::isnan(s.expected)) {
            EXPECT_TRUE(std::isnan(out)) << "at " << s.timestamp;
        } else {
            EXPECT_EQ(out, s.expected) << "at " << s.timestamp;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OneEuroFilterSequence,
    testing::Values(
        SequenceCase{"Timed", 30.0, {std::begin(GOLDEN), std::end(GOLDEN)}},
        SequenceCase{"Untimed", 30.0, {{10.0, NONE, 10.0}, {20.0, NONE, 12.221554827150042}}},
        // Frequency 0 gives alpha 1: untimed samples pass through unchanged.
        SequenceCase{"ZeroFrequencyUntimed", 0.0, {{10.0, NONE, 10.0}, {20.0, NONE, 20.0}}},
        SequenceCase{"ZeroFrequencyTimed", 0.0, {GOLDEN[0], GOLDEN[1]}},
        // A decreasing timestamp makes the frequency negative; both alphas are refused and the
        // sample is filtered with those of the previous one.
        SequenceCase{
            "DecreasingTimestamp", 30.0, {GOLDEN[0], GOLDEN[1], {21.0, 20, 14.14434887097907}}},
        // A repeated timestamp makes the frequency infinite: NaN from then on.
        SequenceCase{"RepeatedTimestamp",
                     30.0,
                     {GOLDEN[0],
                      GOLDEN[1],
                      {21.0, 33, NOT_A_NUMBER},
                      {22.0, 66, NOT_A_NUMBER},
                      {22.0, 100, NOT_A_NUMBER}}}),
    [](const testing::TestParamInfo<SequenceCase>& p) { return std::string(p.param.name); });

TEST(OneEuroFilter, FrequencyFollowsTheTimestamps) {
    OneEuroFilter filter(30.0, 1.0, 0.007, 1.0);
    filter.filterValue(10.0, 0);
    filter.filterValue(20.0, 33);
    EXPECT_EQ(filter.freq(), 1000.0 / 33.0);
    // An untimed sample forgets the last timestamp; the next timed one keeps the frequency, and
    // only the one after it re-estimates.
    filter.filterValue(20.0, NONE);
    filter.filterValue(20.0, 50);
    EXPECT_EQ(filter.freq(), 1000.0 / 33.0);
    filter.filterValue(20.0, 60);
    EXPECT_EQ(filter.freq(), 100.0);
    filter.filterValue(1.0, INT64_MINIMUM); // no overflow at the ends of int64
    filter.filterValue(2.0, INT64_MAXIMUM);
    EXPECT_EQ(filter.freq(), 1000.0 / 0x1p64);
}

TEST(OneEuroFilter, FirstOutputIsTheInputWhateverTheParameters) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (const double param : {-1.0, 0.0, 1e-300, 1e300, inf}) {
        OneEuroFilter filter(param, param, param, param);
        EXPECT_EQ(filter.filterValue(-123.456, 7), -123.456) << param;
    }
}

// A frequency below zero and cutoffs at or below zero are refused: the constructor leaves zero,
// a setter the value before. The inner alphas come from the arguments themselves.
TEST(OneEuroFilter, OutOfRangeParametersAreRefused) {
    const OneEuroFilter refused(-30.0, -1.0, -0.5, 0.0);
    EXPECT_EQ(refused.freq(), 0.0);
    EXPECT_EQ(refused.mincutoff(), 0.0);
    EXPECT_EQ(refused.beta(), -0.5);
    EXPECT_EQ(refused.dcutoff(), 0.0);
    const OneEuroFilter negativeCutoff(30.0, -1.0, 0.007, 1.0);
    EXPECT_EQ(negativeCutoff.signalFilter().a(), 0.0);
    EXPECT_EQ(negativeCutoff.derivativeFilter().a(), negativeCutoff.alpha(1.0));

    OneEuroFilter filter(30.0, 1.0, 0.007, 1.0);
    filter.setFrequency(-5.0);
    filter.setMinCutoff(-2.0);
    filter.setDerivativeCutoff(0.0);
    EXPECT_EQ(filter.freq(), 30.0);
    EXPECT_EQ(filter.mincutoff(), 1.0);
    EXPECT_EQ(filter.dcutoff(), 1.0);
    filter.setFrequency(0.0);
    EXPECT_EQ(filter.freq(), 0.0);
    EXPECT_EQ(filter.alpha(1.0), 1.0); // IEEE 754 decides the extremes
    filter.setFreq(std::numeric_limits<double>::infinity());
    EXPECT_EQ(filter.alpha(1.0), 0.0);
}

struct DifferenceCase {
    const char* name;
    std::int64_t t;
    std::int64_t last;
    double expected;
};

void PrintTo(const DifferenceCase& c, std::ostream* os) {
    *os << c.name;
}

class TimestampDifference : public testing::TestWithParam<DifferenceCase> {};

TEST_P(TimestampDifference, IsTheExactDifferenceRoundedOnce) {
    EXPECT_EQ(OneEuroFilter::timestampDifference(GetParam().t, GetParam().last),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, TimestampDifference,
    testing::Values(
        DifferenceCase{"Forward", 33, 0, 33.0}, DifferenceCase{"Backward", 20, 33, -13.0},
        DifferenceCase{"Same", 5, 5, 0.0},
        // In range: the int64 subtraction converted to double.
        DifferenceCase{"MaximumFromZero", INT64_MAXIMUM, 0, static_cast<double>(INT64_MAXIMUM)},
        DifferenceCase{"MinimumExactly", -1, INT64_MAXIMUM, static_cast<double>(INT64_MINIMUM)},
        DifferenceCase{"NearMaximum", INT64_MAXIMUM, INT64_MAXIMUM - 3, 3.0},
        // Out of int64 range: the exact difference rounded to double.
        DifferenceCase{"WholeRangeUp", INT64_MAXIMUM, INT64_MINIMUM, 0x1p64},
        DifferenceCase{"WholeRangeDown", INT64_MINIMUM, INT64_MAXIMUM, -0x1p64},
        DifferenceCase{"JustAboveRange", INT64_MAXIMUM, -1, 0x1p63},
        DifferenceCase{"JustBelowRange", INT64_MINIMUM, 1, -0x1p63}),
    [](const testing::TestParamInfo<DifferenceCase>& p) { return std::string(p.param.name); });

} // namespace
