// The tuning assistant on synthetic recordings with known noise and known movements, checked by
// property. Also run under ThreadSanitizer: the sweep runs on worker threads.

#include <pelto/tuning/Tuning.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

namespace pelto::tuning {
namespace {

struct Recording {
    std::vector<double> timestamps;
    std::vector<double> values; // x, y per timestamp
};

// 40 s of gaze at 60 Hz with a jittery clock, in pixels times `scale`: fixations of 0.4-0.9 s on
// targets in a 1000-pixel square, with Gaussian noise of `noise` pixels per channel, joined by
// three-sample saccades.
Recording gaze(double scale, double noise = 6.0) {
    std::mt19937_64 rng(7);
    std::normal_distribution<double> jitter(0.0, noise);
    std::normal_distribution<double> clock(0.0, 0.3);
    std::uniform_real_distribution<double> target(0.0, 1000.0);
    std::uniform_int_distribution<int> dwell(24, 54);
    Recording recording;
    double now = 0.0;
    double x = 500.0;
    double y = 500.0;
    while (now < 40000.0) {
        const double toX = target(rng);
        const double toY = target(rng);
        for (int step = 1; step <= 3; ++step) { // the saccade
            now += 1000.0 / 60.0 + clock(rng);
            recording.timestamps.push_back(now);
            recording.values.push_back(scale * (x + (toX - x) * step / 3.0 + jitter(rng)));
            recording.values.push_back(scale * (y + (toY - y) * step / 3.0 + jitter(rng)));
        }
        x = toX;
        y = toY;
        for (int i = dwell(rng); i > 0; --i) {
            now += 1000.0 / 60.0 + clock(rng);
            recording.timestamps.push_back(now);
            recording.values.push_back(scale * (x + jitter(rng)));
            recording.values.push_back(scale * (y + jitter(rng)));
        }
    }
    return recording;
}

using Adjust = void (*)(TuningOptions&);

TuningResult tuneRecording(const Recording& recording, Adjust adjust = nullptr) {
    TuningOptions options;
    if (adjust != nullptr) {
        adjust(options);
    }
    return tune(recording.timestamps, recording.values, 2, options);
}

std::ptrdiff_t indexOf(const std::vector<double>& grid, double value) {
    return std::distance(grid.begin(), std::ranges::find(grid, value));
}

struct Units {
    const char* name = "";
    double scale = 1.0; // per pixel
};
const auto UNITS =
    std::to_array<Units>({{"pixels", 1.0}, {"degrees", 1.0 / 40.0}, {"normalised", 1.0 / 1000.0}});

TEST(TuningTest, RecommendationBeatsTheDefaultsAlikeInEveryUnit) {
    const TuningResult pixels = tuneRecording(gaze(1.0));
    ASSERT_EQ(pixels.status, TuningStatus::OK);
    for (const Units& units : UNITS) {
        SCOPED_TRACE(units.name);
        const Recording recording = gaze(units.scale);
        const TuningResult result = tuneRecording(recording);
        ASSERT_EQ(result.status, TuningStatus::OK) << statusText(result.status);
        ASSERT_TRUE(result.recommendation);
        const Measurement& best = *result.recommendation;
        const Measurement& defaults = result.defaults;
        // The budget is one nominal sample period at 60 Hz, which the defaults exceed.
        EXPECT_NEAR(result.maxLagMs, 1000.0 / 60.0, 1.0);
        EXPECT_LE(best.meanLagMs, result.maxLagMs);
        EXPECT_GT(defaults.meanLagMs, result.maxLagMs);
        EXPECT_LT(best.jitterRatio, 0.5);
        // Given the defaults' own lag as the budget, it smooths more than they do.
        TuningOptions asLaggy;
        asLaggy.maxLagMs = defaults.meanLagMs;
        const TuningResult matched = tune(recording.timestamps, recording.values, 2, asLaggy);
        ASSERT_TRUE(matched.recommendation);
        EXPECT_LT(matched.recommendation->smoothedJitter, defaults.smoothedJitter);
        EXPECT_LE(matched.recommendation->meanLagMs, defaults.meanLagMs);
        // The same physical setting: minCutOff in Hz, beta times the movement speed in Hz.
        EXPECT_LE(std::abs(indexOf(result.minCutOffs, best.parameters.minCutOff) -
                           indexOf(pixels.minCutOffs, pixels.recommendation->parameters.minCutOff)),
                  1);
        EXPECT_LE(std::abs(indexOf(result.betas, best.parameters.beta) -
                           indexOf(pixels.betas, pixels.recommendation->parameters.beta)),
                  1);
        EXPECT_EQ(result.minCutOffs.front(), 0.01);
        EXPECT_EQ(result.minCutOffs.back(), 10.0);
        EXPECT_NEAR(result.betas.front() * result.profile.movementSpeed,
                    pixels.betas.front() * pixels.profile.movementSpeed, 1e-9);
    }
}

TEST(TuningTest, FrontHoldsExactlyTheUndominatedSetsAndTheRecommendationIsTheBestInBudget) {
    const TuningResult result = tuneRecording(gaze(1.0));
    ASSERT_EQ(result.status, TuningStatus::OK);
    ASSERT_EQ(result.grid.size(), 25U * 25U);
    auto dominates = [](const Measurement& a, const Measurement& b) {
        return a.smoothedJitter <= b.smoothedJitter && a.meanLagMs <= b.meanLagMs &&
               (a.smoothedJitter < b.smoothedJitter || a.meanLagMs < b.meanLagMs);
    };
    for (std::size_t i = 1; i < result.front.size(); ++i) {
        EXPECT_LT(result.front[i - 1].meanLagMs, result.front[i].meanLagMs);
        EXPECT_GT(result.front[i - 1].smoothedJitter, result.front[i].smoothedJitter);
    }
    double bestInBudget = std::numeric_limits<double>::infinity();
    for (const Measurement& m : result.grid) {
        ASSERT_EQ(m.lagsMeasured, m.movements); // every movement of this recording has a lag
        const bool onFront = std::ranges::any_of(result.front, [&m](const Measurement& f) {
            return f.parameters.minCutOff == m.parameters.minCutOff &&
                   f.parameters.beta == m.parameters.beta;
        });
        const bool dominated = std::ranges::any_of(
            result.grid, [&](const Measurement& other) { return dominates(other, m); });
        const bool duplicate = std::ranges::any_of(result.front, [&m](const Measurement& f) {
            return f.smoothedJitter == m.smoothedJitter && f.meanLagMs == m.meanLagMs;
        });
        if (onFront) {
            EXPECT_FALSE(dominated);
        } else if (!dominated) {
            EXPECT_TRUE(duplicate); // an equal pair earlier in grid order is on the front
        }
        if (m.meanLagMs <= result.maxLagMs) {
            bestInBudget = std::min(bestInBudget, m.smoothedJitter);
        }
    }
    EXPECT_EQ(result.recommendation->smoothedJitter, bestInBudget);
}

// Cutoffs so high that the bank passes the signal through exactly: every set measures the same,
// and the front and the recommendation are the first set in grid order.
TEST(TuningTest, EqualSetsGoToTheFirstInGridOrder) {
    const TuningResult result = tuneRecording(gaze(1.0), [](TuningOptions& o) {
        o.minCutOffSteps = 3;
        o.minCutOffLow = 1e20;
        o.minCutOffHigh = 1e22;
        o.betaSteps = 2;
    });
    ASSERT_EQ(result.status, TuningStatus::OK);
    ASSERT_EQ(result.front.size(), 1U);
    for (const Measurement& m : {result.front.at(0), *result.recommendation}) {
        EXPECT_EQ(m.parameters.minCutOff, result.minCutOffs[0]);
        EXPECT_EQ(m.parameters.beta, result.betas[0]);
    }
}

TEST(TuningTest, ResultsDoNotDependOnTheThreadCount) {
    const Recording recording = gaze(1.0);
    const TuningResult one = tuneRecording(recording, [](TuningOptions& o) { o.threads = 1; });
    const TuningResult three = tuneRecording(recording, [](TuningOptions& o) { o.threads = 3; });
    ASSERT_EQ(one.grid.size(), three.grid.size());
    for (std::size_t i = 0; i < one.grid.size(); ++i) {
        EXPECT_EQ(one.grid[i].smoothedJitter, three.grid[i].smoothedJitter);
        EXPECT_EQ(one.grid[i].meanLagMs, three.grid[i].meanLagMs);
    }
}

// One channel every 10 ms: still at 0 and then at 100, each with +-1 jitter, joined by a
// movement over samples 49-52; sample 10 is lost (NaN).
Recording stepRecording() {
    Recording recording;
    for (int i = 0; i < 112; ++i) {
        double value = (i < 50 ? 0.0 : 100.0) + (i % 2 == 1 ? 1.0 : -1.0);
        if (i == 50 || i == 51) {
            value = 33.0 * (i - 49);
        }
        recording.timestamps.push_back(10.0 * i);
        recording.values.push_back(i == 10 ? NAN : value);
    }
    return recording;
}

TEST(TuningTest, MeasuresStillJitterAndMovementLag) {
    const Recording recording = stepRecording();
    auto measureWith = [&recording](double minCutOff, double beta) {
        return measure(recording.timestamps, recording.values, 1,
                       {.minCutOff = minCutOff, .beta = beta});
    };
    const SignalProfile signal = profile(recording.timestamps, recording.values, 1);
    // 111 steps but the two touching the lost sample; most move 2 in 10 ms.
    EXPECT_EQ(signal.steps, 109U);
    EXPECT_EQ(signal.samplePeriodMs, 10.0);
    EXPECT_EQ(signal.medianSpeed, 200.0);
    EXPECT_EQ(signal.fastSpeed, 1000.0);
    EXPECT_EQ(signal.movements, 1U);
    // At 2 kHz the intervals are half a millisecond: the same steps.
    Recording fast = recording;
    std::ranges::transform(fast.timestamps, fast.timestamps.begin(),
                           [](double t) { return t / 20.0; });
    EXPECT_EQ(profile(fast.timestamps, fast.values, 1).steps, 109U);
    // A single still step has a jitter.
    const std::vector<double> two{0.0, 10.0};
    const Measurement single = measure(two, std::vector<double>{0.0, 1.0}, 1, {});
    EXPECT_EQ(single.stillSteps, 1U);
    EXPECT_EQ(single.rawJitter, 1.0);

    const Measurement defaults = measureWith(1.0, 0.007);
    EXPECT_EQ(defaults.samples, 112U);
    EXPECT_EQ(defaults.refused, 1U);
    // Steps 1-49 without the two touching the lost sample, and from 200 ms after the movement
    // ended (sample 52, 520 ms) on: 47 + 39.
    EXPECT_EQ(defaults.stillSteps, 86U);
    EXPECT_EQ(defaults.rawJitter, 2.0);
    EXPECT_LT(defaults.jitterRatio, 1.0);
    EXPECT_EQ(defaults.movements, 1U);
    EXPECT_EQ(defaults.lagsMeasured, 1U);
    EXPECT_GT(defaults.meanLagMs, 0.0);
    EXPECT_EQ(defaults.maxLagMs, defaults.meanLagMs);
    EXPECT_EQ(defaults.medianLagMs, defaults.meanLagMs);

    // The raw signal gets 90% of the way from 1 to 99 (88.2) between 66 at 510 ms and 99 at
    // 520 ms.
    const double rawTime = 510.0 + 10.0 * (89.2 - 66.0) / (99.0 - 66.0);
    // A bank that all but passes the signal through follows without lag or smoothing.
    const Measurement through = measureWith(1e12, 0.0);
    EXPECT_NEAR(through.meanLagMs, 0.0, 1e-6);
    EXPECT_NEAR(through.jitterRatio, 1.0, 1e-6);
    // One that hardly moves never gets there: the lag is censored at the last sample.
    const Measurement stuck = measureWith(1e-6, 0.0);
    EXPECT_EQ(stuck.lagsCensored, 1U);
    EXPECT_NEAR(stuck.maxLagMs, 1110.0 - rawTime, 1e-9);
    // A sample refused on the way there (a repeated timestamp) leaves the movement without a lag,
    // even though the reset bank's zeros are where the movement, mirrored, ends.
    Recording interrupted = recording;
    interrupted.timestamps[80] = interrupted.timestamps[79];
    std::ranges::transform(interrupted.values, interrupted.values.begin(),
                           [](double v) { return 100.0 - v; });
    const Measurement cut =
        measure(interrupted.timestamps, interrupted.values, 1, {.minCutOff = 1e-6, .beta = 0.0});
    EXPECT_EQ(cut.refused, 2U);
    EXPECT_EQ(cut.lagsMeasured, 0U);
}

struct Degenerate {
    const char* name = "";
    Recording recording;
    Adjust adjust = nullptr;
    TuningStatus status = TuningStatus::OK;
};

Recording constant(std::size_t samples, double value) {
    Recording recording;
    for (std::size_t i = 0; i < samples; ++i) {
        recording.timestamps.push_back(16.0 * static_cast<double>(i));
        recording.values.insert(recording.values.end(), {value, value});
    }
    return recording;
}

Recording stillNoise() {
    Recording recording = constant(600, 0.0);
    std::mt19937_64 rng(3);
    std::normal_distribution<double> noise(0.0, 5.0);
    for (double& v : recording.values) {
        v += noise(rng);
    }
    return recording;
}

TEST(TuningTest, DegenerateRecordingsCannotBeTuned) {
    const auto cases = std::to_array<Degenerate>({
        {"empty", {}, nullptr, TuningStatus::TOO_FEW_SAMPLES},
        {"single sample", constant(1, 3.0), nullptr, TuningStatus::TOO_FEW_SAMPLES},
        {"all refused", constant(50, NAN), nullptr, TuningStatus::ALL_REFUSED},
        {"constant signal", constant(600, 3.0), nullptr, TuningStatus::NO_MOTION},
        {"no movement", stillNoise(), nullptr, TuningStatus::NO_MOVEMENTS},
        {"no still period", gaze(1.0), [](TuningOptions& o) { o.measuring.stillFactor = 0.0; },
         TuningStatus::NO_STILL_PERIODS},
        {"budget too tight", gaze(1.0), [](TuningOptions& o) { o.maxLagMs = -1000.0; },
         TuningStatus::NO_SETTING_WITHIN_BUDGET},
    });
    for (const Degenerate& c : cases) {
        SCOPED_TRACE(c.name);
        const TuningResult result = tuneRecording(c.recording, c.adjust);
        EXPECT_EQ(result.status, c.status);
        EXPECT_TRUE(statusText(result.status).starts_with("cannot tune: "));
        EXPECT_FALSE(result.recommendation);
        // Only a budget nothing meets leaves a swept grid behind.
        EXPECT_EQ(result.front.empty(), c.status != TuningStatus::NO_SETTING_WITHIN_BUDGET);
        EXPECT_EQ(result.defaults.samples, c.recording.timestamps.size());
    }
}

TEST(TuningTest, MismatchedSizesAndOptionsOutOfRangeThrow) {
    const Recording recording = constant(10, 1.0);
    const std::vector<double> three = {0.0, 1.0, 2.0};
    EXPECT_THROW((void)measure(recording.timestamps, three, 1), std::invalid_argument);
    EXPECT_THROW((void)measure(three, three, 0), std::invalid_argument);
    EXPECT_THROW((void)profile(three, three, 2), std::invalid_argument);
    const auto invalid = std::to_array<Adjust>({
        [](TuningOptions& o) { o.minCutOffSteps = 0; },
        [](TuningOptions& o) { o.boostLow = 2.0 * o.boostHigh; },
        [](TuningOptions& o) { o.minCutOffLow = 0.0; },
        [](TuningOptions& o) { o.maxLagMs = NAN; },
        [](TuningOptions& o) { o.measuring.lagProgress = 0.0; },
        [](TuningOptions& o) { o.measuring.fastFactor = NAN; },
    });
    for (const Adjust adjust : invalid) {
        EXPECT_THROW((void)tuneRecording(recording, adjust), std::invalid_argument);
    }
}

} // namespace
} // namespace pelto::tuning
