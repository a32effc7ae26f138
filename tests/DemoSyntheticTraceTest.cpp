#include "demo/CsvWriter.hpp"
#include "demo/SmoothedTrace.hpp"
#include "demo/SyntheticTrace.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace pelto::demo {
namespace {

std::string asCsv(const Trace& trace) {
    std::ostringstream csv;
    writeSmoothedCsv(csv, trace, smoothTrace(trace, BankParameters::defaults()));
    return csv.str();
}

// About 60 Hz with no repeated timestamp, so the bank takes every sample outside the dropout.
TEST(DemoSyntheticTraceTest, SeedDecidesATraceOfOneDropout) {
    const SyntheticTraceShape shape;
    for (const std::uint64_t seed : {0U, 1U, 2U, 99U}) {
        SCOPED_TRACE(seed);
        const Trace trace = makeSyntheticTrace(seed, shape);
        EXPECT_EQ(asCsv(trace), asCsv(makeSyntheticTrace(seed)));
        EXPECT_NE(asCsv(trace), asCsv(makeSyntheticTrace(seed + 1)));
        ASSERT_EQ(trace.channelNames, (std::vector<std::string>{"x", "y"}));
        ASSERT_GT(trace.sampleCount(), 500U);
        EXPECT_EQ(trace.timestamps.front(), 0.0);
        const SmoothedTrace smoothed = smoothTrace(trace, BankParameters::defaults());
        for (std::size_t i = 0; i < trace.sampleCount(); ++i) {
            const double t = trace.timestamps[i];
            if (i > 0) {
                const double interval = t - trace.timestamps[i - 1];
                EXPECT_TRUE(interval >= 13.999 && interval <= 19.501) << interval;
            }
            const bool lost = t >= shape.dropoutStartMs && t < shape.dropoutEndMs;
            EXPECT_EQ(std::isnan(trace.sampleValues(i)[0]), lost) << t;
            EXPECT_EQ(smoothed.accepted(i), !lost) << t;
        }
    }
}

} // namespace
} // namespace pelto::demo
