// The tuning sweep on a long recording: 1,000,000 samples of two channels (about 4.6 hours of
// 60 Hz gaze) over the default 25 x 25 grid, on one thread and on every core. One iteration is
// one whole sweep; read the real time.
#include <pelto/tuning/Tuning.hpp>

#include <benchmark/benchmark.h>
#include <pelto/filters/OneEuroFilterManager.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr std::size_t SAMPLES = 1'000'000;

struct Recording {
    std::vector<double> timestamps;
    std::vector<double> values; // x, y per timestamp
};

// Fixations of 0.4-0.9 s with 6-pixel noise on targets in a 1000-pixel square, joined by
// three-sample saccades, at 60 Hz with a jittery clock.
const Recording& longRecording() {
    static const Recording recording = [] {
        std::mt19937_64 rng(7);
        std::normal_distribution<double> jitter(0.0, 6.0);
        std::normal_distribution<double> clock(0.0, 0.3);
        std::uniform_real_distribution<double> target(0.0, 1000.0);
        std::uniform_int_distribution<int> dwell(24, 54);
        Recording r;
        double now = 0.0;
        double x = 500.0;
        double y = 500.0;
        while (r.timestamps.size() < SAMPLES) {
            const double toX = target(rng);
            const double toY = target(rng);
            const int saccade = 3;
            const int length = saccade + dwell(rng);
            for (int i = 1; i <= length && r.timestamps.size() < SAMPLES; ++i) {
                const double share = i < saccade ? i / static_cast<double>(saccade) : 1.0;
                now += 1000.0 / 60.0 + clock(rng);
                r.timestamps.push_back(now);
                r.values.push_back(x + (toX - x) * share + jitter(rng));
                r.values.push_back(y + (toY - y) * share + jitter(rng));
            }
            x = toX;
            y = toY;
        }
        return r;
    }();
    return recording;
}

void BM_TuneMillionSamples(benchmark::State& state) {
    const Recording& recording = longRecording();
    pelto::tuning::TuningOptions options;
    options.threads = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        const auto result = pelto::tuning::tune(recording.timestamps, recording.values, 2, options);
        benchmark::DoNotOptimize(result.recommendation);
        state.counters["front"] = static_cast<double>(result.front.size());
    }
    state.counters["sample_sets_per_s"] = benchmark::Counter(
        static_cast<double>(SAMPLES) * 625.0, benchmark::Counter::kIsIterationInvariantRate);
}
// 0: every core.
BENCHMARK(BM_TuneMillionSamples)
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// The worst shapes a recording can take, over the default grid on one thread: the time should
// grow with rows × channels, whatever the content, and the peak memory (run one benchmark per
// process under `/usr/bin/time -f %M`) with rows × channels. Arguments: shape, rows, channels.
enum Shape : std::int64_t {
    ALL_NOISE = 0,    // white noise, no movement
    ALL_MOVEMENT = 1, // a new target every three samples
    GIANT_GAP = 2,    // gaze, with a 10^9 ms gap halfway
    STEADY_1KHZ = 3,  // gaze at 1 kHz
};

Recording shaped(Shape shape, std::size_t rows, std::size_t channels) {
    std::mt19937_64 rng(11);
    std::normal_distribution<double> noise(0.0, 6.0);
    std::uniform_real_distribution<double> target(0.0, 1000.0);
    Recording r;
    r.timestamps.reserve(rows);
    r.values.reserve(rows * channels);
    const double period = shape == STEADY_1KHZ ? 1.0 : 1000.0 / 60.0;
    std::vector<double> from(channels, 500.0);
    std::vector<double> to(channels, 500.0);
    for (std::size_t i = 0; i < rows; ++i) {
        const double gap = shape == GIANT_GAP && i >= rows / 2 ? 1e9 : 0.0;
        r.timestamps.push_back(static_cast<double>(i) * period + gap);
        // Targets change every three samples (all movement) or every 0.5 s (gaze).
        const std::size_t dwell =
            shape == ALL_MOVEMENT ? 3 : static_cast<std::size_t>(500.0 / period);
        if (i % dwell == 0) {
            from = to;
            for (double& v : to) {
                v = target(rng);
            }
        }
        const double share = shape == ALL_MOVEMENT
                                 ? static_cast<double>(i % dwell + 1) / 3.0
                                 : std::min(1.0, static_cast<double>(i % dwell) * period / 30.0);
        for (std::size_t c = 0; c < channels; ++c) {
            const double level = shape == ALL_NOISE ? 500.0 : from[c] + (to[c] - from[c]) * share;
            r.values.push_back(level + noise(rng));
        }
    }
    return r;
}

void BM_TuneWorstShape(benchmark::State& state) {
    const auto rows = static_cast<std::size_t>(state.range(1));
    const auto channels = static_cast<std::size_t>(state.range(2));
    const Recording recording = shaped(static_cast<Shape>(state.range(0)), rows, channels);
    pelto::tuning::TuningOptions options;
    options.threads = 1;
    std::size_t sets = 0;
    for (auto _ : state) {
        const auto report =
            pelto::tuning::tuneReport(recording.timestamps, recording.values, channels, options);
        benchmark::DoNotOptimize(report.result.recommendation);
        sets = report.result.grid.size() + report.refined.size();
        state.counters["status"] = static_cast<double>(report.result.status);
    }
    state.counters["parameter_sets"] = static_cast<double>(sets);
    state.counters["ns_per_value_and_set"] = benchmark::Counter(
        static_cast<double>(rows * channels * std::max<std::size_t>(sets, 1)),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_TuneWorstShape)
    ->ArgNames({"shape", "rows", "channels"})
    ->Args({ALL_NOISE, 100'000, 2})
    ->Args({ALL_NOISE, 400'000, 2})
    ->Args({ALL_MOVEMENT, 100'000, 2})
    ->Args({ALL_MOVEMENT, 400'000, 2})
    ->Args({GIANT_GAP, 100'000, 2})
    ->Args({STEADY_1KHZ, 400'000, 2})
    ->Args({ALL_NOISE, 1'000, 10'000})
    ->Args({GIANT_GAP, 1'000, 10'000})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// The sweep against the filtering it does: one two-channel recording of 200,000 samples, tuned on
// one thread, and the same parameter sets each smoothed by one block call of a fresh bank. Read
// `sweep_over_filtering` (PELTO_ISA caps the instruction set). Argument: 0 a camera at 60 Hz that
// jitters, switches to 30 Hz for a while and drops frames; 1 a 1 kHz tracker.
Recording gazeOnClock(bool camera, std::size_t rows) {
    std::mt19937_64 rng(5);
    std::normal_distribution<double> noise(0.0, 6.0);
    std::normal_distribution<double> jitter(0.0, camera ? 0.4 : 0.0);
    std::uniform_real_distribution<double> target(0.0, 1000.0);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    Recording r;
    double now = 0.0;
    double from = 500.0;
    double to = 500.0;
    double movedAt = 0.0;
    for (std::size_t i = 0; i < rows; ++i) {
        const bool slow = camera && (i / 20'000) % 4 == 3;
        now += (slow ? 1000.0 / 30.0 : camera ? 1000.0 / 60.0 : 1.0) + jitter(rng);
        if (camera && chance(rng) < 0.01) {
            now += 1000.0 / 60.0; // a dropped frame
        }
        if (now - movedAt > 600.0) {
            from = to;
            to = target(rng);
            movedAt = now;
        }
        const double share = std::min(1.0, (now - movedAt) / 40.0);
        r.timestamps.push_back(camera ? now : std::round(now));
        r.values.push_back(from + (to - from) * share + noise(rng));
        r.values.push_back(1000.0 - from - (to - from) * share + noise(rng));
    }
    return r;
}

void BM_SweepAgainstFiltering(benchmark::State& state) {
    const Recording recording = gazeOnClock(state.range(0) == 0, 200'000);
    pelto::tuning::TuningOptions options;
    options.threads = 1;
    double sweep = 0.0;
    double filtering = 0.0;
    for (auto _ : state) {
        const auto started = std::chrono::steady_clock::now();
        const auto report =
            pelto::tuning::tuneReport(recording.timestamps, recording.values, 2, options);
        const auto swept = std::chrono::steady_clock::now();
        std::vector<double> smoothed(recording.values.size());
        for (const auto* sets : {&report.result.grid, &report.refined}) {
            for (const pelto::tuning::Measurement& m : *sets) {
                pelto::OneEuroFilterManager bank(
                    2, m.parameters.freq, m.parameters.minCutOff, m.parameters.beta,
                    m.parameters.dCutOff, report.choices.precision, report.choices.derivative);
                benchmark::DoNotOptimize(
                    bank.filterSamples(recording.timestamps, recording.values, smoothed, {}));
            }
        }
        const auto filtered = std::chrono::steady_clock::now();
        sweep += std::chrono::duration<double>(swept - started).count();
        filtering += std::chrono::duration<double>(filtered - swept).count();
        state.counters["parameter_sets"] =
            static_cast<double>(report.result.grid.size() + report.refined.size());
    }
    state.counters["sweep_s"] = sweep / static_cast<double>(state.iterations());
    state.counters["filter_only_s"] = filtering / static_cast<double>(state.iterations());
    state.counters["sweep_over_filtering"] = sweep / filtering;
}
BENCHMARK(BM_SweepAgainstFiltering)
    ->ArgName("clock")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(2)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

} // namespace
