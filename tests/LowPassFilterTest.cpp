#include "filters/LowPassFilter.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

using pelto::detail::LowPassFilter;

struct LowPassCase {
    double alpha;
    double initval;
    std::vector<double> inputs;
    std::vector<double> outputs;
};

class LowPassFilterSequence : public testing::TestWithParam<LowPassCase> {};

TEST_P(LowPassFilterSequence, YieldsExactOutputs) {
    const LowPassCase& c = GetParam();
    LowPassFilter filter(c.alpha, c.initval);
    EXPECT_FALSE(filter.hasLastRawValue());
    EXPECT_EQ(filter.lastRawValue(), c.initval);
    for (std::size_t i = 0; i < c.inputs.size(); ++i) {
        EXPECT_EQ(filter.filterValue(c.inputs[i]), c.outputs[i]) << "sample " << i;
        EXPECT_TRUE(filter.hasLastRawValue());
        EXPECT_EQ(filter.lastRawValue(), c.inputs[i]);
        EXPECT_EQ(filter.s(), c.outputs[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LowPassFilterSequence,
    testing::Values(LowPassCase{0.5, 3.0, {10.0, 20.0, 20.0}, {10.0, 15.0, 17.5}},
                    LowPassCase{0.25, 0.0, {8.0, 16.0, 16.0}, {8.0, 10.0, 11.5}},
                    // A refused alpha leaves a = 0: every later output repeats the first.
                    LowPassCase{1.5, 0.0, {10.0, 20.0, 30.0}, {10.0, 10.0, 10.0}},
                    LowPassCase{0.0, 0.0, {-4.0, 20.0}, {-4.0, -4.0}},
                    LowPassCase{1.0, 7.0, {1.0, 2.0, -3.0}, {1.0, 2.0, -3.0}}));

TEST(LowPassFilter, RefusedAlphaFiltersWithTheStoredOne) {
    LowPassFilter filter(0.25, 0.0);
    for (const double v : {8.0, 16.0, 16.0}) {
        filter.filterValue(v);
    }
    EXPECT_EQ(filter.filterValue(0.0, 2.0), 8.625);
    EXPECT_EQ(filter.a(), 0.25);
}

TEST(LowPassFilter, SetAlphaAcceptsExactlyTheHalfOpenUnitInterval) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (const double refused : {0.0, -0.0, -0.5, -inf, 1.0000000000000002, 2.0, inf}) {
        LowPassFilter filter(0.5, 0.0);
        filter.setAlpha(refused);
        EXPECT_EQ(filter.a(), 0.5) << refused;
    }
    for (const double accepted : {1.0, 0.5, std::numeric_limits<double>::denorm_min()}) {
        LowPassFilter filter(0.5, 0.0);
        filter.setAlpha(accepted);
        EXPECT_EQ(filter.a(), accepted);
    }
    LowPassFilter filter(0.5, 0.0);
    filter.setAlpha(std::nan(""));
    EXPECT_TRUE(std::isnan(filter.a()));
    filter.filterValue(1.0);
    EXPECT_TRUE(std::isnan(filter.filterValue(2.0)));
}

TEST(LowPassFilter, ProductsAreAddedNotRearranged) {
    // a*v + (1-a)*s and s + a*(v-s) differ in the last bit for these operands.
    LowPassFilter filter(0.1, 0.0);
    filter.filterValue(0.3);
    const double a = 0.1;
    const double v = 0.7;
    const double s = 0.3;
    EXPECT_EQ(filter.filterValue(v), a * v + (1.0 - a) * s);
}

TEST(LowPassFilter, ClearingInitializedMakesTheNextSamplePassThrough) {
    LowPassFilter filter(0.5, 0.0);
    filter.filterValue(10.0);
    filter.setInitialized(false);
    EXPECT_EQ(filter.filterValue(20.0), 20.0);
}

} // namespace
