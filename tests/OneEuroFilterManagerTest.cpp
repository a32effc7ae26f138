#include <pelto/filters/OneEuroFilterManager.hpp>

#include "filters/OneEuroFilter.hpp"
#include "filters/OneEuroFilterManagerAccess.hpp"
#include "support/AllocationCounter.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using pelto::OneEuroFilterManager;
using pelto::detail::OneEuroFilter;
using Values = std::vector<double>;

constexpr double inf = std::numeric_limits<double>::infinity();

OneEuroFilterManager makeDefaultBank() {
    return {OneEuroFilterManager::DEFAULT_COUNT, OneEuroFilterManager::DEFAULT_FREQUENCY,
            OneEuroFilterManager::DEFAULT_MIN_CUT_OFF, OneEuroFilterManager::DEFAULT_BETA,
            OneEuroFilterManager::DEFAULT_D_CUT_OFF};
}

struct Step {
    double timestamp;
    Values val;
    bool accepted;
    Values after;
};

TEST(OneEuroFilterManager, SmoothsResetsAndRecovers) {
    OneEuroFilterManager bank = makeDefaultBank();
    EXPECT_EQ(bank.getFilteredValues(), (Values{0.0, 0.0}));
    const std::vector<Step> steps = {
        {0.0, {10.0, 5.0}, true, {10.0, 5.0}},
        {33.0, {20.0, 5.0}, true, {12.205030965084358, 5.0}},
        {33.0, {21.0, 5.0}, false, {0.0, 0.0}}, // repeated timestamp: NaN, reset
        {66.0, {22.0, 6.0}, true, {22.0, 6.0}},
        {99.9, {23.0, 7.0}, true, {22.176885954680756, 6.176885954680758}},
        {120.0, {1.0}, false, {22.176885954680756, 6.176885954680758}}, // wrong length
    };
    for (const Step& step : steps) {
        EXPECT_EQ(bank.filterValues(step.timestamp, step.val), step.accepted) << step.timestamp;
        EXPECT_EQ(bank.getFilteredValues(), step.after) << step.timestamp;
    }
}

TEST(OneEuroFilterManager, NonFiniteValueResetsEvenOnAFreshBank) {
    for (const double bad : {std::nan(""), inf, -inf}) {
        for (std::size_t channel = 0; channel < 3; ++channel) {
            OneEuroFilterManager bank(3, 30.0, 1.0, 0.007, 1.0);
            ASSERT_TRUE(bank.filterValues(0.0, Values{1.0, 2.0, 3.0}));
            Values sample{4.0, 5.0, 6.0};
            sample[channel] = bad;
            EXPECT_FALSE(bank.filterValues(10.0, sample));
            EXPECT_EQ(bank.getFilteredValues(), (Values{0.0, 0.0, 0.0}));
            // The next sample is a first sample for every filter.
            EXPECT_TRUE(bank.filterValues(10.0, Values{7.0, 8.0, 9.0}));
            EXPECT_EQ(bank.getFilteredValues(), (Values{7.0, 8.0, 9.0}));
        }
    }
}

TEST(OneEuroFilterManager, InvalidParametersFallBackToDefaults) {
    OneEuroFilterManager fallback(0, 0.0, -1.0, 0.0, 0.0);
    OneEuroFilterManager explicitDefaults(2, 30.0, 1.0, 0.0, 1.0);
    EXPECT_EQ(fallback.getFilteredValues(), (Values{0.0, 0.0}));
    const std::vector<std::pair<double, Values>> stream = {
        {0.0, {1.0, 2.0}}, {16.0, {3.0, 1.0}}, {40.5, {-2.0, 8.0}}, {-1.0, {0.5, 0.5}}};
    for (const auto& [timestamp, val] : stream) {
        EXPECT_EQ(fallback.filterValues(timestamp, val),
                  explicitDefaults.filterValues(timestamp, val));
        EXPECT_EQ(fallback.getFilteredValues(), explicitDefaults.getFilteredValues());
    }
}

TEST(OneEuroFilterManager, EmptyBankRefusesEverything) {
    OneEuroFilterManager bank;
    EXPECT_FALSE(bank.filterValues(0.0, Values{1.0, 2.0}));
    EXPECT_FALSE(bank.filterValues(0.0, Values{}));
    EXPECT_TRUE(bank.getFilteredValues().empty());
}

TEST(OneEuroFilterManager, ReturnedValuesAreAnIndependentCopy) {
    OneEuroFilterManager bank = makeDefaultBank();
    bank.filterValues(0.0, Values{10.0, 5.0});
    const Values before = bank.getFilteredValues();
    bank.filterValues(33.0, Values{20.0, 5.0});
    EXPECT_EQ(before, (Values{10.0, 5.0}));
}

// Timestamps that cannot be truncated to int64 are refused and change nothing:
// the bank continues exactly as a copy that never saw them.
TEST(OneEuroFilterManager, UntruncatableTimestampsAreRefused) {
    OneEuroFilterManager bank = makeDefaultBank();
    ASSERT_TRUE(bank.filterValues(0.0, Values{10.0, 5.0}));
    OneEuroFilterManager untouched = bank;
    for (const double bad : {std::nan(""), inf, -inf, 0x1p63, 0x1p64, -0x1p63 - 2048.0, 1e300}) {
        EXPECT_FALSE(bank.filterValues(bad, Values{20.0, 6.0})) << bad;
        EXPECT_EQ(bank.getFilteredValues(), (Values{10.0, 5.0}));
    }
    EXPECT_TRUE(bank.filterValues(33.0, Values{20.0, 5.0}));
    EXPECT_TRUE(untouched.filterValues(33.0, Values{20.0, 5.0}));
    EXPECT_EQ(bank.getFilteredValues(), untouched.getFilteredValues());
}

TEST(OneEuroFilterManager, TimestampsAtTheEdgesOfInt64AreAccepted) {
    OneEuroFilterManager bank = makeDefaultBank();
    EXPECT_TRUE(bank.filterValues(-0x1p63, Values{1.0, 2.0}));
    // The difference to the previous timestamp overflows int64; it is still defined.
    EXPECT_TRUE(bank.filterValues(0x1p63 - 1024.0, Values{3.0, 4.0}));
    EXPECT_TRUE(bank.filterValues(-1.5, Values{3.0, 4.0})); // truncates to "no timestamp"
}

TEST(OneEuroFilterManager, UnallocatableCountThrows) {
    EXPECT_THROW(
        OneEuroFilterManager(std::numeric_limits<std::int64_t>::max(), 30.0, 1.0, 0.0, 1.0),
        std::length_error);
    EXPECT_ANY_THROW(OneEuroFilterManager(std::int64_t{1} << 58, 30.0, 1.0, 0.0, 1.0));
}

TEST(OneEuroFilterManager, CopyContinuesExactlyAndMoveLeavesAnEmptyBank) {
    OneEuroFilterManager bank = makeDefaultBank();
    bank.filterValues(0.0, Values{10.0, 5.0});
    bank.filterValues(33.0, Values{20.0, 5.0});
    OneEuroFilterManager copy = bank;
    OneEuroFilterManager assigned;
    assigned = bank;
    for (const double t : {50.0, 66.0, 80.25}) {
        const Values val{t / 3.0, -t};
        EXPECT_TRUE(bank.filterValues(t, val));
        EXPECT_TRUE(copy.filterValues(t, val));
        EXPECT_TRUE(assigned.filterValues(t, val));
        EXPECT_EQ(copy.getFilteredValues(), bank.getFilteredValues());
        EXPECT_EQ(assigned.getFilteredValues(), bank.getFilteredValues());
    }
    const Values last = bank.getFilteredValues();
    OneEuroFilterManager moved = std::move(bank);
    EXPECT_EQ(moved.getFilteredValues(), last);
    EXPECT_TRUE(bank.getFilteredValues().empty()); // NOLINT(bugprone-use-after-move)
    EXPECT_FALSE(bank.filterValues(90.0, Values{1.0, 2.0}));
    copy = std::move(moved);
    EXPECT_EQ(copy.getFilteredValues(), last);
    EXPECT_TRUE(moved.getFilteredValues().empty()); // NOLINT(bugprone-use-after-move)
}

TEST(OneEuroFilterManager, RestoredStateContinuesExactly) {
    using Access = pelto::detail::OneEuroFilterManagerAccess;
    OneEuroFilterManager bank(3, 60.0, 0.5, -0.02, 2.0);
    bank.filterValues(0.0, Values{10.0, 5.0, -1.0});
    bank.filterValues(17.0, Values{20.0, 5.5, -0.0});
    const Access::Parameters p = Access::parameters(bank);
    EXPECT_EQ(p.count, 3);
    OneEuroFilterManager restored(p.count, p.freq, p.minCutOff, p.beta, p.dCutOff);
    std::vector<std::uint64_t> state = Access::state(bank);
    ASSERT_TRUE(Access::restore(restored, state));
    EXPECT_EQ(restored.getFilteredValues(), bank.getFilteredValues());
    for (const double t : {33.0, 33.0, 50.0, 66.0}) { // a reset on the way
        const Values val{t / 3.0, -t, t};
        EXPECT_EQ(restored.filterValues(t, val), bank.filterValues(t, val));
        EXPECT_EQ(restored.getFilteredValues(), bank.getFilteredValues());
    }
    // A state of the wrong size or with a flag that is no truth value changes nothing.
    const Values before = restored.getFilteredValues();
    state.pop_back();
    EXPECT_FALSE(Access::restore(restored, state));
    state = Access::state(bank);
    state[11] = 2;
    EXPECT_FALSE(Access::restore(restored, state));
    EXPECT_EQ(restored.getFilteredValues(), before);
}

TEST(OneEuroFilterManager, SmoothingAllocatesNothing) {
    OneEuroFilterManager bank(8, 60.0, 1.0, 0.007, 1.0);
    const Values sample(8, 1.0);
    const Values poisoned{1.0, 2.0, 3.0, std::nan(""), 5.0, 6.0, 7.0, 8.0};
    const std::size_t before = pelto::testing::allocationCount();
    bool results = bank.filterValues(0.0, sample);
    results = bank.filterValues(16.0, sample) && results;
    results = !bank.filterValues(33.0, poisoned) && results; // reset in place
    results = bank.filterValues(50.0, sample) && results;
    const std::size_t after = pelto::testing::allocationCount();
    EXPECT_TRUE(results);
    EXPECT_EQ(after, before);
}

// The bank against the plainest reading of its contract: one independent
// one-euro filter per channel, each fed the whole stream, all rebuilt when any
// output is not finite.
class ReferenceBank {
  public:
    ReferenceBank(std::size_t count, double freq, double minCutOff, double beta, double dCutOff)
        : fresh_(freq, minCutOff, beta, dCutOff)
        , filters_(count, fresh_)
        , values_(count, 0.0) {}

    bool filterValues(double timestamp, const Values& val) {
        if (val.size() != filters_.size() || !(timestamp >= -0x1p63 && timestamp < 0x1p63)) {
            return false;
        }
        const auto t = static_cast<std::int64_t>(timestamp);
        for (std::size_t i = 0; i < filters_.size(); ++i) {
            const double r = filters_[i].filterValue(val[i], t);
            if (!std::isfinite(r)) {
                filters_.assign(filters_.size(), fresh_);
                values_.assign(values_.size(), 0.0);
                return false;
            }
            values_[i] = r;
        }
        return true;
    }

    [[nodiscard]] const Values& values() const { return values_; }

  private:
    OneEuroFilter fresh_;
    std::vector<OneEuroFilter> filters_;
    Values values_;
};

struct StreamCase {
    const char* name;
    std::uint64_t seed;
    std::size_t channels;
    double freq;
    double minCutOff;
    double beta;
    double dCutOff;
};

void PrintTo(const StreamCase& c, std::ostream* os) {
    *os << c.name;
}

class RandomStream : public testing::TestWithParam<StreamCase> {};

TEST_P(RandomStream, BankEqualsIndependentFiltersBitForBit) {
    const StreamCase& c = GetParam();
    std::mt19937_64 rng(c.seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> noise(0.0, 40.0);

    OneEuroFilterManager bank(static_cast<std::int64_t>(c.channels), c.freq, c.minCutOff, c.beta,
                              c.dCutOff);
    // The reference gets the parameters after the bank's defaulting.
    ReferenceBank reference(c.channels, c.freq > 0.0 ? c.freq : 30.0,
                            c.minCutOff > 0.0 ? c.minCutOff : 1.0, c.beta,
                            c.dCutOff > 0.0 ? c.dCutOff : 1.0);

    constexpr std::array specials{
        std::numeric_limits<double>::quiet_NaN(), inf, -inf, 0.0, -0.0, 1e300, -1e300, 5e-324};
    double now = 0.0;
    std::size_t accepted = 0;
    for (int step = 0; step < 5000; ++step) {
        const double pick = unit(rng);
        double timestamp = now;
        if (pick < 0.05) {
            timestamp = -1.0;
        } else if (pick < 0.08) {
            timestamp = now; // repeated
        } else if (pick < 0.11) {
            timestamp = now - 20.0 * unit(rng); // decreasing
        } else {
            now += 5.0 + 30.0 * unit(rng); // fractional milliseconds
            timestamp = now;
        }
        Values val(c.channels);
        for (double& v : val) {
            v = 500.0 + noise(rng);
            if (unit(rng) < 0.002) {
                v = specials[static_cast<std::size_t>(unit(rng) * specials.size())];
            }
        }
        const bool expected = reference.filterValues(timestamp, val);
        ASSERT_EQ(bank.filterValues(timestamp, val), expected) << "step " << step;
        ASSERT_EQ(bank.getFilteredValues(), reference.values()) << "step " << step;
        accepted += expected ? 1 : 0;
    }
    EXPECT_GT(accepted, 1000U); // the stream exercised smoothing, not only resets
}

INSTANTIATE_TEST_SUITE_P(
    Streams, RandomStream,
    testing::Values(StreamCase{"Defaults", 1, 2, 30.0, 1.0, 0.007, 1.0},
                    StreamCase{"ManyChannels", 2, 136, 60.0, 0.5, 0.01, 2.0},
                    StreamCase{"OddChannels", 3, 7, 120.0, 1.0, 0.1, 1.0},
                    StreamCase{"NegativeBeta", 4, 3, 30.0, 1.0, -0.05, 1.0},
                    StreamCase{"TinyCutoffs", 5, 4, 30.0, 1e-300, 0.007, 5e-324},
                    StreamCase{"DefaultedParameters", 6, 5, -3.0, 0.0, 0.0, -1.0},
                    StreamCase{"OneChannel", 7, 1, 1000.0, 3.0, 1.0, 0.1}),
    [](const testing::TestParamInfo<StreamCase>& p) { return std::string(p.param.name); });

} // namespace
