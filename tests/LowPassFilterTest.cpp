#include "filters/LowPassFilter.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace {

using pelto::detail::LowPassFilter;

struct LowPassCase {
    const char* name;
    double alpha;
    double initval;
    std::vector<double> inputs;
    std::vector<double> outputs;
};

// Keeps the case's name, not a byte dump, in test listings.
void PrintTo(const LowPassCase& c, std::ostream* os) {
    *os << c.name;
}

class LowPassFilterSequence : public testing::TestWithParam<LowPassCase> {};

// The first sample passes through; each later one blends with the smoothed value. The last raw
// value is the initial one until a sample arrives.
TEST_P(LowPassFilterSequence, YieldsExactOutputs) {
    const LowPassCase& c = GetParam();
    LowPassFilter filter(c.alpha, c.initval);
    EXPECT_FALSE(filter.hasLastRawValue());
    EXPECT_EQ(filter.lastRawValue(), c.initval);
    for (std::size_t i = 0; i < c.inputs.size(); ++i) {
        EXPECT_EQ(filter.filterValue(c.inputs[i]), c.outputs[i]) << "sample " << i;
        EXPECT_TRUE(filter.hasLastRawValue());
        EXPECT_EQ(filter.lastRawValue(), c.inputs[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LowPassFilterSequence,
    testing::Values(
        LowPassCase{"Half", 0.5, 3.0, {10.0, 20.0, 20.0}, {10.0, 15.0, 17.5}},
        LowPassCase{"Quarter", 0.25, 0.0, {8.0, 16.0, 16.0}, {8.0, 10.0, 11.5}},
        // A refused alpha leaves a = 0: every later output repeats the first.
        LowPassCase{"AboveOne", 1.5, 0.0, {10.0, 20.0, 30.0}, {10.0, 10.0, 10.0}},
        LowPassCase{"Zero", 0.0, 0.0, {-4.0, 20.0}, {-4.0, -4.0}},
        LowPassCase{"One", 1.0, 7.0, {1.0, 2.0, -3.0}, {1.0, 2.0, -3.0}},
        // a*v + (1-a)*s, not s + a*(v-s): they differ in the last bit here.
        LowPassCase{"ProductsAdded", 0.1, 0.0, {0.3, 0.7}, {0.3, 0.1 * 0.7 + (1.0 - 0.1) * 0.3}}),
    [](const testing::TestParamInfo<LowPassCase>& p) { return std::string(p.param.name); });

// An alpha outside (0, 1] is refused and the stored one filters; NaN is taken and poisons.
TEST(LowPassFilter, AlphaIsTakenExactlyFromTheHalfOpenUnitInterval) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    for (const double refused : {0.0, -0.0, -0.5, -inf, 1.0000000000000002, 2.0, inf}) {
        LowPassFilter filter(0.25, 0.0);
        filter.filterValue(8.0);
        EXPECT_EQ(filter.filterValue(16.0, refused), 10.0) << refused;
    }
    for (const double accepted : {1.0, 0.5, std::numeric_limits<double>::denorm_min()}) {
        LowPassFilter filter(0.5, 0.0);
        filter.setAlpha(accepted);
        EXPECT_EQ(filter.a(), accepted);
    }
    LowPassFilter filter(0.5, 0.0);
    filter.filterValue(1.0);
    EXPECT_TRUE(std::isnan(filter.filterValue(2.0, std::nan(""))));
}

} // namespace
