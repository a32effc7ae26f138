#include "filters/OneEuroFilter.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace {

using pelto::detail::OneEuroFilter;

constexpr std::int64_t NONE = OneEuroFilter::NO_TIMESTAMP;
constexpr std::int64_t INT64_MAXIMUM = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t INT64_MINIMUM = std::numeric_limits<std::int64_t>::min();

OneEuroFilter makeDefault() {
    return {30.0, 1.0, 0.007, 1.0};
}

struct Sample {
    double value;
    std::int64_t timestamp;
    double expected;
};

struct SequenceCase {
    const char* name;
    double freq;
    std::vector<Sample> samples;
};

void PrintTo(const SequenceCase& c, std::ostream* os) {
    *os << c.name;
}

class OneEuroFilterSequence : public testing::TestWithParam<SequenceCase> {};

TEST_P(OneEuroFilterSequence, YieldsExactOutputs) {
    OneEuroFilter filter(GetParam().freq, 1.0, 0.007, 1.0);
    for (const Sample& s : GetParam().samples) {
        EXPECT_EQ(filter.filterValue(s.value, s.timestamp), s.expected) << "at " << s.timestamp;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OneEuroFilterSequence,
    testing::Values(
        SequenceCase{"Timed",
                     30.0,
                     {{10.0, 0, 10.0},
                      {20.0, 33, 12.205030965084358},
                      {20.0, 66, 13.8617789415347},
                      {25.0, 100, 16.46790389841297}}},
        SequenceCase{"Untimed", 30.0, {{10.0, NONE, 10.0}, {20.0, NONE, 12.221554827150042}}},
        // Frequency 0 gives alpha 1: untimed samples pass through unchanged.
        SequenceCase{"ZeroFrequencyUntimed", 0.0, {{10.0, NONE, 10.0}, {20.0, NONE, 20.0}}},
        SequenceCase{"ZeroFrequencyTimed", 0.0, {{10.0, 0, 10.0}, {20.0, 33, 12.205030965084358}}},
        // A decreasing timestamp makes the frequency negative; both alphas are
        // refused and the sample is filtered with those of the previous one.
        SequenceCase{
            "DecreasingTimestamp",
            30.0,
            {{10.0, 0, 10.0}, {20.0, 33, 12.205030965084358}, {21.0, 20, 14.14434887097907}}}),
    [](const testing::TestParamInfo<SequenceCase>& p) { return std::string(p.param.name); });

TEST(OneEuroFilter, FrequencyFollowsTheTimestamps) {
    OneEuroFilter filter = makeDefault();
    filter.filterValue(10.0, 0);
    EXPECT_EQ(filter.freq(), 30.0);
    filter.filterValue(20.0, 33);
    EXPECT_EQ(filter.freq(), 1000.0 / 33.0);
    EXPECT_EQ(filter.lasttime(), 33);
    // An untimed sample forgets the last timestamp; the next timed one keeps the
    // frequency, and only the one after it re-estimates.
    filter.filterValue(20.0, NONE);
    EXPECT_EQ(filter.lasttime(), NONE);
    filter.filterValue(20.0, 50);
    EXPECT_EQ(filter.freq(), 1000.0 / 33.0);
    filter.filterValue(20.0, 60);
    EXPECT_EQ(filter.freq(), 100.0);
}

TEST(OneEuroFilter, FirstOutputIsTheInputWhateverTheParameters) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (const double param : {-1.0, 0.0, 1e-300, 1e300, inf}) {
        OneEuroFilter filter(param, param, param, param);
        EXPECT_EQ(filter.filterValue(-123.456, 7), -123.456) << param;
    }
}

TEST(OneEuroFilter, ValidatingSettersDropOutOfRangeValues) {
    OneEuroFilter filter = makeDefault();
    filter.setFrequency(-5.0);
    EXPECT_EQ(filter.freq(), 30.0);
    filter.setFrequency(0.0);
    EXPECT_EQ(filter.freq(), 0.0);
    filter.setMinCutoff(0.0);
    filter.setMinCutoff(-2.0);
    EXPECT_EQ(filter.mincutoff(), 1.0);
    filter.setDerivativeCutoff(0.0);
    EXPECT_EQ(filter.dcutoff(), 1.0);
    filter.setMinCutoff(std::nan(""));
    EXPECT_TRUE(std::isnan(filter.mincutoff()));
    // The plain setters validate nothing.
    filter.setFreq(-5.0);
    filter.setMincutoff(-1.0);
    EXPECT_EQ(filter.freq(), -5.0);
    EXPECT_EQ(filter.mincutoff(), -1.0);
}

TEST(OneEuroFilter, RefusedConstructorArgumentsLeaveZero) {
    const OneEuroFilter filter(-30.0, -1.0, -0.5, 0.0);
    EXPECT_EQ(filter.freq(), 0.0);
    EXPECT_EQ(filter.mincutoff(), 0.0);
    EXPECT_EQ(filter.beta(), -0.5);
    EXPECT_EQ(filter.dcutoff(), 0.0);
    EXPECT_EQ(filter.lasttime(), NONE);
    // The inner alphas come from the arguments: a negative cutoff gives an alpha
    // outside (0, 1], which the low-pass filter refuses.
    const OneEuroFilter negativeCutoff(30.0, -1.0, 0.007, 1.0);
    EXPECT_EQ(negativeCutoff.signalFilter().a(), 0.0);
    EXPECT_EQ(negativeCutoff.derivativeFilter().a(), negativeCutoff.alpha(1.0));
}

TEST(OneEuroFilter, RepeatedTimestampPoisonsEveryLaterOutput) {
    OneEuroFilter filter = makeDefault();
    filter.filterValue(10.0, 0);
    filter.filterValue(20.0, 33);
    EXPECT_TRUE(std::isnan(filter.filterValue(21.0, 33)));
    EXPECT_EQ(filter.freq(), std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(filter.filterValue(22.0, 66)));
    EXPECT_TRUE(std::isnan(filter.filterValue(22.0, 100)));
}

TEST(OneEuroFilter, AlphaFollowsIeeeForExtremeFrequencies) {
    OneEuroFilter filter = makeDefault();
    filter.setFreq(0.0);
    EXPECT_EQ(filter.alpha(1.0), 1.0);
    filter.setFreq(std::numeric_limits<double>::infinity());
    EXPECT_EQ(filter.alpha(1.0), 0.0);
}

struct DifferenceCase {
    std::int64_t t;
    std::int64_t last;
    double expected;
};

class TimestampDifference : public testing::TestWithParam<DifferenceCase> {};

TEST_P(TimestampDifference, IsTheExactDifferenceRoundedOnce) {
    EXPECT_EQ(OneEuroFilter::timestampDifference(GetParam().t, GetParam().last),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, TimestampDifference,
    testing::Values(DifferenceCase{33, 0, 33.0}, DifferenceCase{20, 33, -13.0},
                    DifferenceCase{5, 5, 0.0},
                    // In range: the int64 subtraction converted to double.
                    DifferenceCase{INT64_MAXIMUM, 0, static_cast<double>(INT64_MAXIMUM)},
                    DifferenceCase{-1, INT64_MAXIMUM, static_cast<double>(INT64_MINIMUM)},
                    DifferenceCase{INT64_MAXIMUM, INT64_MAXIMUM - 3, 3.0},
                    // Out of int64 range: the exact difference rounded to double.
                    DifferenceCase{INT64_MAXIMUM, INT64_MINIMUM, 0x1p64},
                    DifferenceCase{INT64_MINIMUM, INT64_MAXIMUM, -0x1p64},
                    DifferenceCase{INT64_MAXIMUM, -1, 0x1p63},
                    DifferenceCase{INT64_MINIMUM, 1, -0x1p63}));

TEST(OneEuroFilter, ExtremeTimestampsDoNotOverflow) {
    OneEuroFilter filter = makeDefault();
    filter.filterValue(1.0, INT64_MINIMUM);
    filter.filterValue(2.0, INT64_MAXIMUM);
    EXPECT_EQ(filter.freq(), 1000.0 / 0x1p64);
}

} // namespace
