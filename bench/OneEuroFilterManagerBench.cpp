// Throughput of the filter bank, per sample and in blocks, side by side with
// baselines fed the same stream: a plain exact bank of arrays (ReferenceBank.hpp),
// a bank of one heap object per channel that runs each filter's whole step, and a
// textbook one-euro filter with timestamps in seconds.
//
// Three clocks: a steady 60 Hz with 0.4 ms of jitter; a camera's integer
// millisecond clock that switches among 30, 60, 90 and 120 Hz every few seconds,
// with frames ±1.5 ms late or early, about 1% of frames dropped and blinks that
// leave 100 to 300 ms gaps; and a research tracker's 1 kHz microsecond clock with
// ±20 µs of jitter and dropped frames. BM_precision* compares the bank's
// timestamp precisions on the last two.
//
// The library's bank runs with each instruction set the CPU supports (argument
// `isa`: 0 baseline, 1 AVX2, 2 AVX-512), chosen explicitly; a set the CPU lacks
// is reported as skipped.
//
// One item is one channel of one sample. The counter allocs_per_sample must be 0.
#include <pelto/filters/OneEuroFilterManager.hpp>

#include "ReferenceBank.hpp"
#include "filters/FilterBankKernels.hpp"
#include "filters/OneEuroFilter.hpp"
#include "support/AllocationCounter.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <span>
#include <vector>

namespace {

constexpr std::size_t STREAM_LENGTH = 4096;
constexpr std::size_t BLOCK_ROWS = 256; // rows per filterSamples call

enum class Clock : std::int64_t { Steady = 0, Camera = 1, Tracker = 2 };

struct Stream {
    std::vector<double> timestamps;
    std::vector<double> values; // STREAM_LENGTH rows of `channels` values
};

// 60 Hz with a jittery clock.
std::vector<double> steadyClock(std::mt19937_64& rng) {
    std::normal_distribution<double> clock(0.0, 0.4);
    std::vector<double> timestamps;
    double now = 0.0;
    for (std::size_t i = 0; i < STREAM_LENGTH; ++i) {
        now += 1000.0 / 60.0 + clock(rng);
        timestamps.push_back(now);
    }
    return timestamps;
}

// A camera's clock, in whole milliseconds.
std::vector<double> cameraClock(std::mt19937_64& rng) {
    constexpr std::array<double, 4> RATES{30.0, 60.0, 90.0, 120.0};
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_real_distribution<double> late(-1.5, 1.5);
    std::vector<double> timestamps;
    double frame = 0.0; // nominal time of the next frame
    double rate = 60.0;
    double nextSwitch = 0.0;
    double nextBlink = 2000.0;
    while (timestamps.size() < STREAM_LENGTH) {
        if (frame >= nextSwitch) {
            rate = RATES.at(static_cast<std::size_t>(unit(rng) * RATES.size()));
            nextSwitch = frame + 2000.0 + 3000.0 * unit(rng);
        }
        if (frame >= nextBlink) {
            frame += 100.0 + 200.0 * unit(rng);
            nextBlink = frame + 2000.0 + 4000.0 * unit(rng);
        }
        if (unit(rng) >= 0.01) {
            const double stamp = std::floor(frame + late(rng));
            if (timestamps.empty() || stamp > timestamps.back()) {
                timestamps.push_back(stamp);
            }
        }
        frame += 1000.0 / rate;
    }
    return timestamps;
}

// A 1 kHz tracker's clock in microseconds, read as fractional milliseconds.
std::vector<double> trackerClock(std::mt19937_64& rng) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_real_distribution<double> late(-0.02, 0.02);
    std::vector<double> timestamps;
    for (std::int64_t frame = 1'000'000; timestamps.size() < STREAM_LENGTH; ++frame) {
        if (unit(rng) >= 0.01) {
            const auto nominal = static_cast<double>(frame);
            timestamps.push_back(std::round((nominal + late(rng)) * 1000.0) / 1000.0);
        }
    }
    return timestamps;
}

Stream makeStream(std::size_t channels, Clock clock) {
    std::mt19937_64 rng(2026);
    std::normal_distribution<double> jitter(0.0, 3.0);
    Stream stream;
    switch (clock) {
    case Clock::Camera:
        stream.timestamps = cameraClock(rng);
        break;
    case Clock::Tracker:
        stream.timestamps = trackerClock(rng);
        break;
    case Clock::Steady:
        stream.timestamps = steadyClock(rng);
        break;
    }
    for (std::size_t i = 0; i < STREAM_LENGTH; ++i) {
        for (std::size_t c = 0; c < channels; ++c) {
            stream.values.push_back(500.0 + 100.0 * static_cast<double>(c) + jitter(rng));
        }
    }
    return stream;
}

// Timestamps that continue the stream once more after its end.
void advanceStream(std::vector<double>& timestamps) {
    const double offset = timestamps.back() - timestamps.front() + 16.0;
    for (double& t : timestamps) {
        t += offset;
    }
}

// One heap-allocated filter per channel, each running its own full step.
class PerChannelBank {
  public:
    explicit PerChannelBank(std::size_t channels)
        : values_(channels, 0.0) {
        for (std::size_t i = 0; i < channels; ++i) {
            filters_.push_back(
                std::make_unique<pelto::detail::OneEuroFilter>(30.0, 1.0, 0.007, 1.0));
        }
    }

    bool filterValues(double timestamp, const double* val) {
        const auto t = static_cast<std::int64_t>(timestamp);
        for (std::size_t i = 0; i < filters_.size(); ++i) {
            const double r = filters_[i]->filterValue(val[i], t);
            if (!std::isfinite(r)) {
                return false;
            }
            values_[i] = r;
        }
        return true;
    }

  private:
    std::vector<std::unique_ptr<pelto::detail::OneEuroFilter>> filters_;
    std::vector<double> values_;
};

// The one-euro filter as usually written: seconds, a low-pass object per signal.
class TextbookOneEuro {
  public:
    double filter(double value, double seconds) {
        if (hasLast_) {
            freq_ = 1.0 / (seconds - last_);
        }
        last_ = seconds;
        hasLast_ = true;
        const double dv = x_.initialized ? (value - x_.hatPrevious) * freq_ : 0.0;
        const double edv = dx_.filter(dv, alpha(1.0));
        const double cutoff = 1.0 + 0.007 * std::abs(edv);
        return x_.filter(value, alpha(cutoff));
    }

  private:
    struct LowPass {
        double hatPrevious = 0.0;
        bool initialized = false;
        double filter(double value, double a) {
            hatPrevious = initialized ? a * value + (1.0 - a) * hatPrevious : value;
            initialized = true;
            return hatPrevious;
        }
    };
    [[nodiscard]] double alpha(double cutoff) const {
        const double te = 1.0 / freq_;
        const double tau = 1.0 / (2.0 * M_PI * cutoff);
        return 1.0 / (1.0 + tau / te);
    }
    double freq_ = 30.0;
    double last_ = 0.0;
    bool hasLast_ = false;
    LowPass x_;
    LowPass dx_;
};

template <class Step> void run(benchmark::State& state, Step&& step) {
    const auto channels = static_cast<std::size_t>(state.range(0));
    Stream stream = makeStream(channels, static_cast<Clock>(state.range(1)));
    std::size_t row = 0;
    std::size_t samples = 0;
    const std::size_t allocationsBefore = pelto::testing::allocationCount();
    for (auto _ : state) {
        step(stream.timestamps[row], &stream.values[row * channels]);
        ++samples;
        if (++row == STREAM_LENGTH) {
            row = 0;
            advanceStream(stream.timestamps);
        }
    }
    const std::size_t allocations = pelto::testing::allocationCount() - allocationsBefore;
    state.SetItemsProcessed(static_cast<std::int64_t>(samples * channels));
    state.counters["allocs_per_sample"] =
        benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(samples));
}

// BLOCK_ROWS rows per iteration: timestamps, values and the output buffer.
template <class Block> void runBlocks(benchmark::State& state, Block&& block) {
    const auto channels = static_cast<std::size_t>(state.range(0));
    Stream stream = makeStream(channels, static_cast<Clock>(state.range(1)));
    std::vector<double> smoothed(BLOCK_ROWS * channels);
    std::size_t row = 0;
    std::size_t samples = 0;
    const std::size_t allocationsBefore = pelto::testing::allocationCount();
    for (auto _ : state) {
        block(std::span(stream.timestamps).subspan(row, BLOCK_ROWS),
              std::span(stream.values).subspan(row * channels, BLOCK_ROWS * channels),
              std::span(smoothed));
        benchmark::ClobberMemory();
        samples += BLOCK_ROWS;
        row += BLOCK_ROWS;
        if (row == STREAM_LENGTH) {
            row = 0;
            advanceStream(stream.timestamps);
        }
    }
    const std::size_t allocations = pelto::testing::allocationCount() - allocationsBefore;
    state.SetItemsProcessed(static_cast<std::int64_t>(samples * channels));
    state.counters["allocs_per_sample"] =
        benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(samples));
}

// A bank of the benchmark's channels, smoothing with the instruction set of its
// argument `isa`; false (and the benchmark skipped) when the CPU lacks it.
bool useInstructionSet(benchmark::State& state) {
    const auto set = pelto::detail::INSTRUCTION_SETS[static_cast<std::size_t>(state.range(2))];
    if (!pelto::detail::useInstructionSet(set)) {
        state.SkipWithError("this CPU lacks the instruction set");
        return false;
    }
    return true;
}

pelto::OneEuroFilterManager makeBank(const benchmark::State& state) {
    return {state.range(0), 30.0, 1.0, 0.007, 1.0};
}

pelto::bench::ReferenceBank makeReference(const benchmark::State& state) {
    return {static_cast<std::size_t>(state.range(0)), 30.0, 1.0, 0.007, 1.0};
}

void BM_filterValues(benchmark::State& state) {
    if (!useInstructionSet(state)) {
        return;
    }
    const auto channels = static_cast<std::size_t>(state.range(0));
    pelto::OneEuroFilterManager bank = makeBank(state);
    run(state, [&](double timestamp, const double* val) {
        benchmark::DoNotOptimize(bank.filterValues(timestamp, {val, channels}));
    });
}

// The bank in the timestamp precision of its argument `exact`, with the widest
// instruction set.
pelto::OneEuroFilterManager makePreciseBank(const benchmark::State& state) {
    return {state.range(0),
            30.0,
            1.0,
            0.007,
            1.0,
            state.range(2) != 0 ? pelto::TimestampPrecision::EXACT
                                : pelto::TimestampPrecision::WHOLE_MILLISECONDS};
}

void BM_precisionValues(benchmark::State& state) {
    const auto channels = static_cast<std::size_t>(state.range(0));
    pelto::OneEuroFilterManager bank = makePreciseBank(state);
    run(state, [&](double timestamp, const double* val) {
        benchmark::DoNotOptimize(bank.filterValues(timestamp, {val, channels}));
    });
}

void BM_precisionSamples(benchmark::State& state) {
    pelto::OneEuroFilterManager bank = makePreciseBank(state);
    runBlocks(state, [&](std::span<const double> timestamps, std::span<const double> values,
                         std::span<double> smoothed) {
        benchmark::DoNotOptimize(bank.filterSamples(timestamps, values, smoothed, {}));
    });
}

void BM_referenceValues(benchmark::State& state) {
    pelto::bench::ReferenceBank bank = makeReference(state);
    run(state, [&](double timestamp, const double* val) {
        benchmark::DoNotOptimize(bank.filterValues(timestamp, val));
    });
}

void BM_filterSamples(benchmark::State& state) {
    if (!useInstructionSet(state)) {
        return;
    }
    pelto::OneEuroFilterManager bank = makeBank(state);
    runBlocks(state, [&](std::span<const double> timestamps, std::span<const double> values,
                         std::span<double> smoothed) {
        benchmark::DoNotOptimize(bank.filterSamples(timestamps, values, smoothed, {}));
    });
}

void BM_referenceSamples(benchmark::State& state) {
    pelto::bench::ReferenceBank bank = makeReference(state);
    runBlocks(state, [&](std::span<const double> timestamps, std::span<const double> values,
                         std::span<double> smoothed) {
        benchmark::DoNotOptimize(bank.filterSamples(timestamps.data(), timestamps.size(),
                                                    values.data(), smoothed.data()));
    });
}

void BM_perChannelObjects(benchmark::State& state) {
    PerChannelBank bank(static_cast<std::size_t>(state.range(0)));
    run(state, [&](double timestamp, const double* val) {
        benchmark::DoNotOptimize(bank.filterValues(timestamp, val));
    });
}

void BM_textbookOneEuro(benchmark::State& state) {
    std::vector<TextbookOneEuro> filters(static_cast<std::size_t>(state.range(0)));
    run(state, [&](double timestamp, const double* val) {
        for (std::size_t i = 0; i < filters.size(); ++i) {
            benchmark::DoNotOptimize(filters[i].filter(val[i], timestamp / 1000.0));
        }
    });
}

// The reference bank measures something else if it does not give the library's
// bits: check both clocks, with every instruction set the CPU supports, before
// measuring.
bool referenceMatchesLibrary() {
    for (const pelto::detail::InstructionSet set : pelto::detail::INSTRUCTION_SETS) {
        if (!pelto::detail::useInstructionSet(set)) {
            continue;
        }
        for (const Clock clock : {Clock::Steady, Clock::Camera}) {
            for (const std::int64_t channels : {2, 3, 8, 15, 136}) {
                const auto n = static_cast<std::size_t>(channels);
                const Stream stream = makeStream(n, clock);
                pelto::OneEuroFilterManager bank(channels, 30.0, 1.0, 0.007, 1.0);
                pelto::bench::ReferenceBank reference(n, 30.0, 1.0, 0.007, 1.0);
                for (std::size_t row = 0; row < STREAM_LENGTH; ++row) {
                    const double* val = &stream.values[row * n];
                    if (bank.filterValues(stream.timestamps[row], {val, n}) !=
                            reference.filterValues(stream.timestamps[row], val) ||
                        std::memcmp(bank.filteredValues().data(), reference.values().data(),
                                    n * sizeof(double)) != 0) {
                        std::fprintf(stderr, "reference bank differs: %s, %lld channels, row %zu\n",
                                     pelto::OneEuroFilterManager::instructionSet().data(),
                                     static_cast<long long>(channels), row);
                        return false;
                    }
                }
            }
        }
    }
    return true;
}

void channelsAndClocks(benchmark::internal::Benchmark* b) {
    b->ArgNames({"channels", "camera"});
    for (const std::int64_t clock : {0, 1}) {
        for (const std::int64_t channels : {2, 8, 136}) {
            b->Args({channels, clock});
        }
    }
}

void channelsClocksAndInstructionSets(benchmark::internal::Benchmark* b) {
    b->ArgNames({"channels", "camera", "isa"});
    for (const std::int64_t isa : {0, 1, 2}) {
        for (const std::int64_t clock : {0, 1}) {
            for (const std::int64_t channels : {2, 8, 136, 1000}) {
                b->Args({channels, clock, isa});
            }
        }
    }
}

void channelsClocksAndPrecisions(benchmark::internal::Benchmark* b) {
    b->ArgNames({"channels", "clock", "exact"});
    for (const std::int64_t clock : {1, 2}) {
        for (const std::int64_t channels : {2, 8, 136}) {
            for (const std::int64_t exact : {0, 1}) {
                b->Args({channels, clock, exact});
            }
        }
    }
}

} // namespace

BENCHMARK(BM_precisionValues)->Apply(channelsClocksAndPrecisions);
BENCHMARK(BM_precisionSamples)->Apply(channelsClocksAndPrecisions);
BENCHMARK(BM_filterValues)->Apply(channelsClocksAndInstructionSets);
BENCHMARK(BM_referenceValues)->Apply(channelsAndClocks);
BENCHMARK(BM_filterSamples)->Apply(channelsClocksAndInstructionSets);
BENCHMARK(BM_referenceSamples)->Apply(channelsAndClocks);
BENCHMARK(BM_perChannelObjects)->Apply(channelsAndClocks);
BENCHMARK(BM_textbookOneEuro)->Apply(channelsAndClocks);

int main(int argc, char** argv) {
    if (!referenceMatchesLibrary()) {
        return EXIT_FAILURE;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return EXIT_FAILURE;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return EXIT_SUCCESS;
}
