// Many parameter sets measured side by side in one pass give, set by set and bit for bit, what
// one bank per set gives: for every instruction set, clock and derivative, channel counts that
// do and do not fill a vector, and sets that part from the others on the way.

#include "filters/FilterBankKernels.hpp"
#include "tuning/Analysis.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace pelto::detail {
namespace {

using tuning::BankChoices;
using tuning::FilterParameters;
using tuning::Measurement;

struct Recording {
    std::vector<double> timestamps;
    std::vector<double> values;
};

// Gaze at 60 Hz on a jittery clock, `channels` wide, in units of `scale` pixels: fixations with
// noise joined by saccades, and what real files hold besides: a lost sample, a repeated and a
// missing timestamp. With `parting`, two fixations lie at +-1e308: the saccade between them is
// too fast for a double, which resets a bank without a speed term but no other.
Recording gaze(std::size_t channels, double scale = 1.0, bool parting = false) {
    std::mt19937_64 rng(channels);
    std::normal_distribution<double> noise(0.0, 4.0);
    std::normal_distribution<double> clock(0.0, 0.4);
    std::vector<double> at(channels, 0.0);
    Recording r;
    double now = 0.0;
    for (std::size_t i = 0; i < 3000; ++i) {
        if (i % 40 == 0) {
            for (std::size_t c = 0; c < channels; ++c) {
                const double size = parting && i >= 1200 && i < 1280 ? 1e308 : 500.0 * scale;
                at[c] = (i / 40 + c) % 2 == 0 ? size : -size;
            }
        }
        now += 1000.0 / 60.0 + clock(rng);
        r.timestamps.push_back(i == 700 ? -1.0 : i == 1201 ? r.timestamps.back() : now);
        for (std::size_t c = 0; c < channels; ++c) {
            r.values.push_back(i == 1500 && c == 0 ? NAN : at[c] + scale * noise(rng));
        }
    }
    return r;
}

// Sets around the defaults, with the edges: no speed term, a tiny and a huge cutoff.
std::vector<FilterParameters> sets(std::size_t count) {
    std::vector<FilterParameters> all;
    for (std::size_t i = 0; i < count; ++i) {
        all.push_back({.freq = 60.0,
                       .minCutOff = i == 3   ? 1e-300
                                    : i == 4 ? 1e300
                                             : 0.05 * double(i + 1),
                       .beta = i % 5 == 0 ? 0.0 : 0.001 * double(i),
                       .dCutOff = 1.0});
    }
    return all;
}

std::vector<std::uint64_t> bitsOf(const Measurement& m) {
    std::vector<std::uint64_t> bits;
    for (const double v :
         {m.parameters.freq, m.parameters.minCutOff, m.parameters.beta, m.parameters.dCutOff,
          m.rawJitter, m.smoothedJitter, m.jitterRatio, m.meanLagMs, m.medianLagMs, m.maxLagMs}) {
        bits.push_back(std::bit_cast<std::uint64_t>(v));
    }
    for (const std::size_t n :
         {m.samples, m.refused, m.stillSteps, m.movements, m.lagsMeasured, m.lagsCensored}) {
        bits.push_back(n);
    }
    return bits;
}

using Case = std::tuple<InstructionSet, TimestampPrecision, DerivativeSource, std::size_t>;

class SetsSideBySide : public testing::TestWithParam<Case> {
  protected:
    void SetUp() override {
        before_ = rowKernels().instructionSet;
        if (!useInstructionSet(std::get<0>(GetParam()))) {
            GTEST_SKIP() << "this CPU lacks the instruction set";
        }
    }
    void TearDown() override { useInstructionSet(before_); }

    // measureAll() against measure(), set by set.
    static std::vector<Measurement> expectSameAsAlone(const RecordingAnalysis& analysis,
                                                      const RecordingAnalysis* lagSource,
                                                      const std::vector<FilterParameters>& all) {
        const BankChoices choices{std::get<1>(GetParam()), std::get<2>(GetParam())};
        RecordingAnalysis::Workspace workspace;
        std::vector<Measurement> together(all.size());
        analysis.measureAll(all, choices, workspace, together, lagSource);
        for (std::size_t s = 0; s < all.size(); ++s) {
            SCOPED_TRACE("set " + std::to_string(s));
            EXPECT_EQ(bitsOf(together[s]),
                      bitsOf(analysis.measure(all[s], choices, workspace, lagSource)));
        }
        return together;
    }

  private:
    InstructionSet before_ = InstructionSet::Baseline;
};

TEST_P(SetsSideBySide, GiveWhatEachSetGivesAlone) {
    const std::size_t channels = std::get<3>(GetParam());
    const Recording r = gaze(channels);
    const RecordingAnalysis analysis(r.timestamps, r.values, channels, {});
    ASSERT_GT(analysis.measurable(), 10U);
    expectSameAsAlone(analysis, nullptr, sets(13));
    // Lags measured on another recording (the tuner's synthesised movements), jitter on this.
    const Recording other = gaze(channels, 0.1);
    const RecordingAnalysis source(other.timestamps, other.values, channels, {},
                                   {{.first = 80,
                                     .last = 84,
                                     .from = std::vector<double>(channels, 50.0),
                                     .to = std::vector<double>(channels, -50.0)}});
    expectSameAsAlone(analysis, &source, sets(9));
}

TEST_P(SetsSideBySide, SetsThatPartOrOverflowGiveWhatTheyGiveAlone) {
    const std::size_t channels = std::get<3>(GetParam());
    // The smoothed signal's way back from 1e308 also overflows the squares of the jitter.
    const Recording r = gaze(channels, 1.0, true);
    const RecordingAnalysis analysis(r.timestamps, r.values, channels, {});
    for (const Measurement& m : expectSameAsAlone(analysis, nullptr, sets(11))) {
        EXPECT_TRUE(std::isfinite(m.smoothedJitter)) << m.smoothedJitter;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sweeps, SetsSideBySide,
    testing::Combine(testing::ValuesIn(INSTRUCTION_SETS),
                     testing::Values(TimestampPrecision::WHOLE_MILLISECONDS,
                                     TimestampPrecision::EXACT),
                     testing::Values(DerivativeSource::RAW, DerivativeSource::FILTERED),
                     testing::Values(1, 2, 3, 9)),
    [](const testing::TestParamInfo<Case>& p) {
        return std::string(nameOf(std::get<0>(p.param))) +
               (std::get<1>(p.param) == TimestampPrecision::EXACT ? "Exact" : "WholeMs") +
               (std::get<2>(p.param) == DerivativeSource::FILTERED ? "Filtered" : "Raw") +
               std::to_string(std::get<3>(p.param)) + "Channels";
    });

} // namespace
} // namespace pelto::detail
