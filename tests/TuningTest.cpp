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
#include <span>
#include <stdexcept>
#include <vector>

namespace pelto::tuning {
namespace {

struct Recording {
    std::vector<double> timestamps;
    std::vector<double> values; // x, y per timestamp
    std::size_t saccades = 0;
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
        ++recording.saccades;
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

// How many coarse grid steps apart two values are.
double stepsApart(const std::vector<double>& grid, double a, double b) {
    return std::abs(std::log(a / b)) / std::log(grid[1] / grid[0]);
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
        // The default budget, which the defaults exceed.
        EXPECT_EQ(result.maxLagMs, DEFAULT_MAX_LAG_MS);
        EXPECT_LE(best.meanLagMs, result.maxLagMs);
        EXPECT_GT(defaults.meanLagMs, result.maxLagMs);
        EXPECT_LT(best.jitterRatio, 0.5);
        // Given the defaults' own lag as the budget, it smooths at least as much as they do.
        TuningOptions asLaggy;
        asLaggy.maxLagMs = defaults.meanLagMs;
        const TuningResult matched = tune(recording.timestamps, recording.values, 2, asLaggy);
        ASSERT_TRUE(matched.recommendation);
        EXPECT_LE(matched.recommendation->smoothedJitter, defaults.smoothedJitter);
        EXPECT_LE(matched.recommendation->meanLagMs, defaults.meanLagMs);
        // The same physical setting: minCutOff in Hz, beta times the movement speed in Hz.
        EXPECT_LE(stepsApart(result.minCutOffs, best.parameters.minCutOff,
                             pixels.recommendation->parameters.minCutOff),
                  1.0);
        EXPECT_LE(stepsApart(result.betas, best.parameters.beta * result.profile.movementSpeed,
                             pixels.recommendation->parameters.beta * pixels.profile.movementSpeed),
                  1.0);
        // minCutOff up to a quarter of the sampling rate.
        EXPECT_EQ(result.minCutOffs.front(), 0.01);
        EXPECT_EQ(result.minCutOffs.back(), 250.0 / result.profile.samplePeriodMs);
        EXPECT_NEAR(result.betas.front() * result.profile.movementSpeed,
                    pixels.betas.front() * pixels.profile.movementSpeed, 1e-9);
    }
}

TEST(TuningTest, FrontHoldsExactlyTheUndominatedSetsAndTheRecommendationIsTheBestInBudget) {
    const Recording recording = gaze(1.0);
    const TuningReport report = tuneReport(recording.timestamps, recording.values, 2);
    const TuningResult& result = report.result;
    ASSERT_EQ(result.status, TuningStatus::OK);
    ASSERT_EQ(result.grid.size(), 13U * 13U);
    EXPECT_EQ(report.lagBasis, LagBasis::RECORDED);
    // The movements are the saccades: a few too small to tell from the noise may be missed.
    EXPECT_LE(report.movements.size(), recording.saccades);
    EXPECT_GE(report.movements.size(), recording.saccades * 9 / 10);
    std::vector<Measurement> all = result.grid;
    all.insert(all.end(), report.refined.begin(), report.refined.end());
    auto dominates = [](const Measurement& a, const Measurement& b) {
        return a.smoothedJitter <= b.smoothedJitter && a.meanLagMs <= b.meanLagMs &&
               (a.smoothedJitter < b.smoothedJitter || a.meanLagMs < b.meanLagMs);
    };
    for (std::size_t i = 1; i < result.front.size(); ++i) {
        EXPECT_LT(result.front[i - 1].meanLagMs, result.front[i].meanLagMs);
        EXPECT_GT(result.front[i - 1].smoothedJitter, result.front[i].smoothedJitter);
    }
    double bestInBudget = std::numeric_limits<double>::infinity();
    for (const Measurement& m : all) {
        ASSERT_GT(m.lagsMeasured, m.movements * 9 / 10);
        const bool onFront = std::ranges::any_of(result.front, [&m](const Measurement& f) {
            return f.parameters.minCutOff == m.parameters.minCutOff &&
                   f.parameters.beta == m.parameters.beta;
        });
        const bool dominated =
            std::ranges::any_of(all, [&](const Measurement& other) { return dominates(other, m); });
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
// and the front and the recommendation are the first set in grid order, at the search's edge.
TEST(TuningTest, EqualSetsGoToTheFirstInGridOrder) {
    const Recording recording = gaze(1.0);
    TuningOptions options;
    options.minCutOffSteps = 3;
    options.minCutOffLow = 1e20;
    options.betaSteps = 2;
    const TuningReport report = tuneReport(recording.timestamps, recording.values, 2, options);
    const TuningResult& result = report.result;
    ASSERT_EQ(result.status, TuningStatus::OK);
    EXPECT_TRUE(report.atSearchEdge);
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
    // 111 steps but the two touching the lost sample.
    EXPECT_EQ(signal.steps, 109U);
    EXPECT_EQ(signal.samplePeriodMs, 10.0);
    EXPECT_EQ(signal.movements, 1U);
    const std::vector<DetectedMovement> found =
        detectMovements(recording.timestamps, recording.values, 1);
    ASSERT_EQ(found.size(), 1U);
    EXPECT_LE(found[0].startMs, 500.0);
    EXPECT_GE(found[0].endMs, 510.0);
    EXPECT_NEAR(found[0].amplitude, 100.0, 1.0); // between the still means, not single samples
    // At 2 kHz the intervals are half a millisecond: the same steps.
    Recording fast = recording;
    std::ranges::transform(fast.timestamps, fast.timestamps.begin(),
                           [](double t) { return t / 20.0; });
    EXPECT_EQ(profile(fast.timestamps, fast.values, 1).steps, 109U);

    const Measurement defaults = measureWith(1.0, 0.007);
    EXPECT_EQ(defaults.samples, 112U);
    EXPECT_EQ(defaults.refused, 1U);
    // Still steps before the movement and from settleMs after it.
    EXPECT_GT(defaults.stillSteps, 70U);
    EXPECT_EQ(defaults.rawJitter, 2.0);
    EXPECT_LT(defaults.jitterRatio, 1.0);
    EXPECT_EQ(defaults.movements, 1U);
    EXPECT_EQ(defaults.lagsMeasured, 1U);
    EXPECT_GT(defaults.meanLagMs, 0.0);
    EXPECT_EQ(defaults.maxLagMs, defaults.meanLagMs);
    EXPECT_EQ(defaults.medianLagMs, defaults.meanLagMs);

    // A bank that all but passes the signal through follows without lag or smoothing.
    const Measurement through = measureWith(1e12, 0.0);
    EXPECT_NEAR(through.meanLagMs, 0.0, 1e-6);
    EXPECT_NEAR(through.jitterRatio, 1.0, 1e-6);
    // One that hardly moves never gets there: the lag is censored at the last sample, and the
    // raw signal got 90% of the way between 510 and 520 ms.
    const Measurement stuck = measureWith(1e-6, 0.0);
    EXPECT_EQ(stuck.lagsCensored, 1U);
    EXPECT_GT(stuck.maxLagMs, 1110.0 - 520.0);
    EXPECT_LT(stuck.maxLagMs, 1110.0 - 510.0);
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
        // Only the middle sample has a speed: no two still samples in a row.
        {"no still period", Recording{{0.0, 16.0, 32.0}, {0.0, 0.0, 1.0, 1.0, 3.0, 3.0}}, nullptr,
         TuningStatus::NO_STILL_PERIODS},
        {"budget too tight", gaze(1.0), [](TuningOptions& o) { o.maxLagMs = -1000.0; },
         TuningStatus::NO_SETTING_WITHIN_BUDGET},
    });
    for (const Degenerate& c : cases) {
        SCOPED_TRACE(c.name);
        const TuningResult result = tuneRecording(c.recording, c.adjust);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.defaults.samples, c.recording.timestamps.size());
        if (c.status != TuningStatus::NO_SETTING_WITHIN_BUDGET) {
            EXPECT_TRUE(statusText(result.status).starts_with("cannot tune: "));
            EXPECT_FALSE(result.recommendation);
            EXPECT_TRUE(result.front.empty());
            continue;
        }
        // Over budget: still an answer, the least lag.
        EXPECT_TRUE(statusText(result.status).starts_with("over budget: "));
        ASSERT_TRUE(result.recommendation);
        EXPECT_EQ(result.recommendation->meanLagMs, result.front.at(0).meanLagMs);
    }
}

// Noise without a movement: the lag is measured on movements synthesised on the recording's
// clock, and the answer is the same whatever the thread count.
TEST(TuningTest, StillRecordingsAreTunedOnSynthesisedMovements) {
    const Recording recording = stillNoise();
    TuningOptions options;
    options.threads = 1;
    const TuningReport one = tuneReport(recording.timestamps, recording.values, 2, options);
    options.threads = 3;
    const TuningReport three = tuneReport(recording.timestamps, recording.values, 2, options);
    ASSERT_EQ(one.result.status, TuningStatus::OK) << statusText(one.result.status);
    EXPECT_EQ(one.lagBasis, LagBasis::SYNTHESISED);
    EXPECT_TRUE(one.movements.empty());
    EXPECT_GE(one.result.recommendation->lagsMeasured, MIN_MOVEMENTS);
    EXPECT_EQ(one.result.recommendation->meanLagMs, three.result.recommendation->meanLagMs);
    EXPECT_EQ(one.result.recommendation->parameters.beta,
              three.result.recommendation->parameters.beta);
    EXPECT_EQ(one.clockPrecisionMs, 1.0); // timestamps every 16 ms
}

// Movements synthesised on the first seconds of a recording, too few saccades for a lag of their
// own, each have a lag, and the class defaults lag them roughly as much as the whole recording's
// saccades (the synthesised ones are smooth, these are linear ramps).
TEST(TuningTest, SynthesisedMovementsLagAsTheRecordingsOwn) {
    const Recording whole = gaze(1.0);
    const auto rows = static_cast<std::size_t>(std::ranges::lower_bound(whole.timestamps, 2000.0) -
                                               whole.timestamps.begin());
    const std::span<const double> timestamps(whole.timestamps.data(), rows);
    const std::span<const double> values(whole.values.data(), 2 * rows);
    const TuningReport start = tuneReport(timestamps, values, 2);
    ASSERT_EQ(start.lagBasis, LagBasis::SYNTHESISED);
    const Measurement& synthesised = start.result.defaults;
    EXPECT_EQ(synthesised.lagsMeasured, synthesised.movements);
    EXPECT_GE(synthesised.lagsMeasured, MIN_MOVEMENTS - 1);
    const double recorded = measure(whole.timestamps, whole.values, 2).meanLagMs;
    EXPECT_NEAR(synthesised.meanLagMs, recorded, 0.6 * recorded);
}

TEST(TuningTest, OneStepGridsRecommendTheirOnlySet) {
    const TuningResult result = tuneRecording(gaze(1.0), [](TuningOptions& o) {
        o.minCutOffSteps = 1;
        o.betaSteps = 1;
    });
    ASSERT_TRUE(result.recommendation);
    EXPECT_EQ(result.recommendation->parameters.minCutOff, result.minCutOffs.front());
    EXPECT_EQ(result.recommendation->parameters.beta, result.betas.front());
}

TEST(TuningTest, MismatchedSizesAndOptionsOutOfRangeThrow) {
    const Recording recording = constant(10, 1.0);
    const std::vector<double> three = {0.0, 1.0, 2.0};
    EXPECT_THROW((void)measure(recording.timestamps, three, 1), std::invalid_argument);
    EXPECT_THROW((void)measure(three, three, 0), std::invalid_argument);
    EXPECT_THROW((void)profile(three, three, 2), std::invalid_argument);
    // An empty recording of absurd width is refused before any bank is built.
    EXPECT_THROW((void)tune({}, {}, MAX_CHANNELS + 1), std::invalid_argument);
    EXPECT_EQ(tune({}, {}, MAX_CHANNELS).status, TuningStatus::TOO_FEW_SAMPLES);
    const auto invalid = std::to_array<Adjust>({
        [](TuningOptions& o) { o.minCutOffSteps = 0; },
        [](TuningOptions& o) { o.boostLow = 2.0 * o.boostHigh; },
        [](TuningOptions& o) { o.minCutOffLow = 0.0; },
        [](TuningOptions& o) { o.maxLagMs = NAN; },
        [](TuningOptions& o) { o.measuring.lagProgress = 0.0; },
        [](TuningOptions& o) { o.measuring.fastFactor = NAN; },
        [](TuningOptions& o) { o.measuring.stillFactor = INFINITY; },
    });
    for (const Adjust adjust : invalid) {
        EXPECT_THROW((void)tuneRecording(recording, adjust), std::invalid_argument);
    }
}

} // namespace
} // namespace pelto::tuning
