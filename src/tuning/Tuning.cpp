#include <pelto/tuning/Tuning.hpp>

#include "tuning/Analysis.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <exception>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

namespace pelto::tuning {
namespace {

using detail::RecordingAnalysis;

// `steps` values from `low` to `high`, evenly spaced in logarithm.
std::vector<double> logarithmicGrid(double low, double high, std::size_t steps) {
    std::vector<double> grid(steps, low);
    const double ratio = high / low;
    for (std::size_t i = 1; i < steps; ++i) {
        grid[i] =
            i + 1 == steps
                ? high
                : low * std::pow(ratio, static_cast<double>(i) / static_cast<double>(steps - 1));
    }
    return grid;
}

void checkOptions(const TuningOptions& options) {
    auto range = [](double low, double high) {
        return low > 0.0 && low <= high && std::isfinite(high);
    };
    if (options.minCutOffSteps == 0 || options.betaSteps == 0 ||
        options.minCutOffSteps > SIZE_MAX / options.betaSteps ||
        !range(options.minCutOffLow, options.minCutOffHigh) ||
        !range(options.boostLow, options.boostHigh) ||
        (options.maxLagMs && std::isnan(*options.maxLagMs))) {
        throw std::invalid_argument("pelto::tuning::tune: each grid needs a step and a range "
                                    "0 < low <= high < infinity; maxLagMs must not be NaN");
    }
}

// Runs `work(index, workspace)` for every index below `count` on up to `threads` threads, the
// calling one included. Each index runs once, on one thread; the first exception is rethrown
// once all threads have stopped.
template <class Work> void runIndexed(std::size_t count, std::size_t threads, const Work& work) {
    std::atomic<std::size_t> next{0};
    std::exception_ptr failure;
    std::mutex failureMutex;
    auto worker = [&]() noexcept {
        try {
            RecordingAnalysis::Workspace workspace;
            for (std::size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) {
                work(i, workspace);
            }
        } catch (...) {
            next.store(count); // the others stop at their next index
            const std::lock_guard lock(failureMutex);
            if (!failure) {
                failure = std::current_exception();
            }
        }
    };
    {
        std::vector<std::jthread> helpers;
        helpers.reserve(std::min(threads, count));
        try {
            for (std::size_t t = 1; t < std::min(threads, count); ++t) {
                helpers.emplace_back(worker);
            }
        } catch (const std::system_error&) {
            // No more threads to be had: those started and this one do the work.
        }
        worker();
    } // joins the helpers
    if (failure) {
        std::rethrow_exception(failure);
    }
}

// Indices of the Pareto front of (smoothedJitter, meanLagMs), by lag ascending.
std::vector<std::size_t> paretoFront(const std::vector<Measurement>& grid) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        if (std::isfinite(grid[i].smoothedJitter) && std::isfinite(grid[i].meanLagMs)) {
            order.push_back(i);
        }
    }
    std::ranges::stable_sort(order, [&grid](std::size_t a, std::size_t b) {
        if (grid[a].meanLagMs != grid[b].meanLagMs) {
            return grid[a].meanLagMs < grid[b].meanLagMs;
        }
        return grid[a].smoothedJitter < grid[b].smoothedJitter;
    });
    std::vector<std::size_t> front;
    for (const std::size_t i : order) {
        if (front.empty() || grid[i].smoothedJitter < grid[front.back()].smoothedJitter) {
            front.push_back(i);
        }
    }
    return front;
}

TuningStatus degenerate(const SignalProfile& profile, const Measurement& defaults) {
    if (profile.samples == 0) {
        return TuningStatus::TOO_FEW_SAMPLES;
    }
    if (defaults.refused == defaults.samples) {
        return TuningStatus::ALL_REFUSED;
    }
    if (profile.steps == 0) {
        return TuningStatus::TOO_FEW_SAMPLES;
    }
    if (!(profile.medianSpeed > 0.0)) {
        return TuningStatus::NO_MOTION;
    }
    if (defaults.lagsMeasured == 0 || !std::isfinite(profile.movementSpeed)) {
        return TuningStatus::NO_MOVEMENTS;
    }
    if (defaults.stillSteps == 0) {
        return TuningStatus::NO_STILL_PERIODS;
    }
    return TuningStatus::OK;
}

} // namespace

std::string_view statusText(TuningStatus status) noexcept {
    switch (status) {
    case TuningStatus::OK:
        return "tuned: the recommendation keeps the mean lag within the budget";
    case TuningStatus::TOO_FEW_SAMPLES:
        return "cannot tune: the recording has no two consecutive usable samples (finite "
               "timestamp and values, timestamps increasing)";
    case TuningStatus::ALL_REFUSED:
        return "cannot tune: the filter bank refuses every sample";
    case TuningStatus::NO_MOTION:
        return "cannot tune: the signal is constant (the median speed is zero), so neither "
               "jitter nor movements can be told apart";
    case TuningStatus::NO_MOVEMENTS:
        return "cannot tune: no fast movement found, so there is no lag to measure";
    case TuningStatus::NO_STILL_PERIODS:
        return "cannot tune: no still period found, so there is no jitter to measure";
    case TuningStatus::NO_SETTING_WITHIN_BUDGET:
        return "cannot tune: every parameter set lags more than the budget; raise the budget";
    }
    return "";
}

SignalProfile profile(std::span<const double> timestamps, std::span<const double> values,
                      std::size_t channels, const MeasuringOptions& options) {
    return RecordingAnalysis(timestamps, values, channels, options).profile();
}

Measurement measure(std::span<const double> timestamps, std::span<const double> values,
                    std::size_t channels, const FilterParameters& parameters,
                    const MeasuringOptions& options) {
    const RecordingAnalysis analysis(timestamps, values, channels, options);
    RecordingAnalysis::Workspace workspace;
    return analysis.measure(parameters, workspace);
}

TuningResult tune(std::span<const double> timestamps, std::span<const double> values,
                  std::size_t channels, const TuningOptions& options) {
    checkOptions(options);
    const RecordingAnalysis analysis(timestamps, values, channels, options.measuring);
    TuningResult result;
    result.profile = analysis.profile();
    {
        RecordingAnalysis::Workspace workspace;
        result.defaults = analysis.measure({.freq = options.freq,
                                            .minCutOff = OneEuroFilterManager::DEFAULT_MIN_CUT_OFF,
                                            .beta = OneEuroFilterManager::DEFAULT_BETA,
                                            .dCutOff = options.dCutOff},
                                           workspace);
    }
    result.status = degenerate(result.profile, result.defaults);
    if (result.status != TuningStatus::OK) {
        return result;
    }
    result.maxLagMs = options.maxLagMs.value_or(result.profile.samplePeriodMs);
    result.minCutOffs =
        logarithmicGrid(options.minCutOffLow, options.minCutOffHigh, options.minCutOffSteps);
    result.betas = logarithmicGrid(options.boostLow, options.boostHigh, options.betaSteps);
    for (double& beta : result.betas) {
        beta /= result.profile.movementSpeed;
    }

    const std::size_t betaSteps = result.betas.size();
    result.grid.resize(result.minCutOffs.size() * betaSteps);
    const std::size_t threads =
        options.threads != 0 ? options.threads : std::max(1U, std::thread::hardware_concurrency());
    runIndexed(result.grid.size(), threads,
               [&](std::size_t i, RecordingAnalysis::Workspace& workspace) {
                   const FilterParameters parameters{.freq = options.freq,
                                                     .minCutOff = result.minCutOffs[i / betaSteps],
                                                     .beta = result.betas[i % betaSteps],
                                                     .dCutOff = options.dCutOff};
                   result.grid[i] = analysis.measure(parameters, workspace);
               });

    const std::vector<std::size_t> front = paretoFront(result.grid);
    std::optional<std::size_t> best;
    for (const std::size_t i : front) {
        // The front runs from less lag and more jitter to more lag and less jitter: the last
        // within the budget has the least jitter.
        if (result.grid[i].meanLagMs <= result.maxLagMs) {
            best = i;
        }
        result.front.push_back(result.grid[i]);
    }
    if (best) {
        result.recommendation = result.grid[*best];
    } else {
        result.status = TuningStatus::NO_SETTING_WITHIN_BUDGET;
    }
    return result;
}

} // namespace pelto::tuning
