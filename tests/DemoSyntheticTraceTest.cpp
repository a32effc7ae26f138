#include "demo/SmoothedTrace.hpp"
#include "demo/SyntheticTrace.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace pelto::demo {
namespace {

bool sameBits(const Trace& a, const Trace& b) {
    if (a.samples.size() != b.samples.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.samples.size(); ++i) {
        const auto& x = a.samples[i];
        const auto& y = b.samples[i];
        for (std::size_t c = 0; c < 2; ++c) {
            const bool equal =
                x.values[c] == y.values[c] || (std::isnan(x.values[c]) && std::isnan(y.values[c]));
            if (x.timestamp != y.timestamp || !equal) {
                return false;
            }
        }
    }
    return true;
}

TEST(DemoSyntheticTraceTest, SeedDecidesTheTrace) {
    EXPECT_TRUE(sameBits(makeSyntheticTrace(5), makeSyntheticTrace(5)));
    EXPECT_FALSE(sameBits(makeSyntheticTrace(5), makeSyntheticTrace(6)));
}

// Every sample outside the dropout is one the bank takes: no repeated timestamp.
class DemoSyntheticTraceSeedTest : public testing::TestWithParam<std::uint64_t> {};

TEST_P(DemoSyntheticTraceSeedTest, IsAboutSixtyHertzWithOneDropout) {
    const SyntheticTraceShape shape;
    const Trace trace = makeSyntheticTrace(GetParam(), shape);
    ASSERT_EQ(trace.channelNames, (std::vector<std::string>{"x", "y"}));
    ASSERT_GT(trace.samples.size(), 500U);
    EXPECT_EQ(trace.samples.front().timestamp, 0.0);
    for (std::size_t i = 1; i < trace.samples.size(); ++i) {
        const double interval = trace.samples[i].timestamp - trace.samples[i - 1].timestamp;
        EXPECT_GE(interval, 13.999);
        EXPECT_LE(interval, 19.501);
    }
    const SmoothedTrace smoothed = smoothTrace(trace, BankParameters::defaults());
    for (std::size_t i = 0; i < trace.samples.size(); ++i) {
        const double t = trace.samples[i].timestamp;
        const bool lost = t >= shape.dropoutStartMs && t < shape.dropoutEndMs;
        EXPECT_EQ(std::isnan(trace.samples[i].values[0]), lost) << t;
        EXPECT_EQ(smoothed.samples[i].accepted, !lost) << t;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, DemoSyntheticTraceSeedTest, testing::Values(0U, 1U, 2U, 99U));

} // namespace
} // namespace pelto::demo
