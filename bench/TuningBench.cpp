// The tuning sweep on a long recording: 1,000,000 samples of two channels (about 4.6 hours of
// 60 Hz gaze) over the default 25 x 25 grid, on one thread and on every core. One iteration is
// one whole sweep; read the real time.
#include <pelto/tuning/Tuning.hpp>

#include <benchmark/benchmark.h>

#include <cstddef>
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

} // namespace
