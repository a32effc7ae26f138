#include "demo/SmoothedTrace.hpp"
#include "demo/TraceSummary.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace pelto::demo {
namespace {

// One channel every 10 ms: a fixation at 0 and one at 100, each with +-1 jitter, joined by a
// saccade over samples 50-52; sample 10 is lost (NaN).
Trace stepTrace() {
    Trace trace;
    trace.channelNames = {"v"};
    for (int i = 0; i < 112; ++i) {
        double value = (i < 50 ? 0.0 : 100.0) + (i % 2 == 1 ? 1.0 : -1.0);
        if (i == 50 || i == 51) {
            value = 33.0 * (i - 49);
        }
        trace.addSample(10.0 * i, {i == 10 ? std::nan("") : value});
    }
    return trace;
}

TEST(DemoTraceSummaryTest, SeparatesFixationJitterFromSaccadeLag) {
    const Trace trace = stepTrace();
    const TraceSummary summary =
        summarizeTrace(trace, smoothTrace(trace, BankParameters::defaults()));

    EXPECT_EQ(summary.samples, 112U);
    EXPECT_EQ(summary.refused, 1U);
    EXPECT_EQ(summary.resets, 1U);
    // The median step is 2 per 10 ms.
    EXPECT_EQ(summary.saccadeSpeed, SACCADE_SPEED_FACTOR * 0.2);
    // Steps 1-49 without the two touching the lost sample, and steps from 200 ms after the
    // saccade ended (sample 52, 520 ms) on: 47 + 39.
    EXPECT_EQ(summary.fixationSteps, 86U);
    EXPECT_EQ(summary.rawJitter, 2.0);
    EXPECT_GT(summary.smoothedJitter, 0.0);
    EXPECT_LT(summary.smoothedJitter, summary.rawJitter);

    EXPECT_EQ(summary.saccades, 1U);
    EXPECT_EQ(summary.lagsMeasured, 1U);
    EXPECT_GT(summary.meanLagMs, 0.0);
    EXPECT_EQ(summary.maxLagMs, summary.meanLagMs);
}

TEST(DemoTraceSummaryTest, FiguresWithoutDataAreNotANumber) {
    Trace trace;
    trace.channelNames = {"x", "y"};
    trace.addSample(0.0, {1.0, 2.0});
    trace.addSample(0.0, {1.0, 2.0});
    const TraceSummary summary =
        summarizeTrace(trace, smoothTrace(trace, BankParameters::defaults()));
    // The repeated timestamp resets the bank; no step is left to measure.
    EXPECT_EQ(summary.refused, 1U);
    EXPECT_EQ(summary.fixationSteps, 0U);
    EXPECT_TRUE(std::isnan(summary.rawJitter));
    EXPECT_TRUE(std::isnan(summary.smoothedJitter));
    EXPECT_EQ(summary.saccades, 0U);
    EXPECT_TRUE(std::isnan(summary.meanLagMs));
}

} // namespace
} // namespace pelto::demo
