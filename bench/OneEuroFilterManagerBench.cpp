// Throughput of the filter bank, side by side with two baselines fed the same
// stream: a bank of one heap object per channel that runs each filter's whole
// step, and a textbook one-euro filter with timestamps in seconds.
//
// One item is one channel of one sample. The counter allocs_per_sample must be 0.
#include <pelto/filters/OneEuroFilterManager.hpp>

#include "filters/OneEuroFilter.hpp"
#include "support/AllocationCounter.hpp"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr std::size_t STREAM_LENGTH = 4096;

struct Stream {
    std::vector<double> timestamps;
    std::vector<double> values; // STREAM_LENGTH rows of `channels` values
};

Stream makeStream(std::size_t channels) {
    std::mt19937_64 rng(2026);
    std::normal_distribution<double> jitter(0.0, 3.0);
    std::normal_distribution<double> clock(0.0, 0.4);
    Stream stream;
    double now = 0.0;
    for (std::size_t i = 0; i < STREAM_LENGTH; ++i) {
        now += 1000.0 / 60.0 + clock(rng); // 60 Hz with a jittery clock
        stream.timestamps.push_back(now);
        for (std::size_t c = 0; c < channels; ++c) {
            stream.values.push_back(500.0 + 100.0 * static_cast<double>(c) + jitter(rng));
        }
    }
    return stream;
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
    const Stream stream = makeStream(channels);
    std::size_t row = 0;
    double offset = 0.0;
    std::size_t samples = 0;
    const std::size_t allocationsBefore = pelto::testing::allocationCount();
    for (auto _ : state) {
        step(stream.timestamps[row] + offset, &stream.values[row * channels]);
        ++samples;
        if (++row == STREAM_LENGTH) {
            row = 0;
            offset = stream.timestamps.back() + 16.0 + offset;
        }
    }
    const std::size_t allocations = pelto::testing::allocationCount() - allocationsBefore;
    state.SetItemsProcessed(static_cast<std::int64_t>(samples * channels));
    state.counters["allocs_per_sample"] =
        benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(samples));
}

void BM_filterValues(benchmark::State& state) {
    const auto channels = static_cast<std::size_t>(state.range(0));
    pelto::OneEuroFilterManager bank(state.range(0), 30.0, 1.0, 0.007, 1.0);
    run(state, [&](double timestamp, const double* val) {
        benchmark::DoNotOptimize(bank.filterValues(timestamp, {val, channels}));
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

} // namespace

BENCHMARK(BM_filterValues)->Arg(2)->Arg(8)->Arg(136);
BENCHMARK(BM_perChannelObjects)->Arg(2)->Arg(8)->Arg(136);
BENCHMARK(BM_textbookOneEuro)->Arg(2)->Arg(8)->Arg(136);

BENCHMARK_MAIN();
