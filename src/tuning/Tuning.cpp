#include <pelto/tuning/Tuning.hpp>

#include "filters/FilterBankKernel.hpp"
#include "tuning/Analysis.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <exception>
#include <mutex>
#include <numbers>
#include <numeric>
#include <optional>
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
        return low > 0.0 && low <= high && std::isfinite(low);
    };
    if (options.minCutOffSteps == 0 || options.betaSteps == 0 ||
        options.minCutOffSteps > SIZE_MAX / options.betaSteps ||
        !range(options.minCutOffLow, options.minCutOffHigh) ||
        !range(options.boostLow, options.boostHigh) || !std::isfinite(options.boostHigh) ||
        (options.maxLagMs && std::isnan(*options.maxLagMs))) {
        throw std::invalid_argument(
            "pelto::tuning::tune: each grid needs a step and a range "
            "0 < low <= high (finite but for minCutOffHigh); maxLagMs must not be "
            "NaN");
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
    if (!(profile.fastSpeed > 0.0)) {
        return TuningStatus::NO_MOTION;
    }
    if (defaults.stillSteps == 0) {
        return TuningStatus::NO_STILL_PERIODS;
    }
    return TuningStatus::OK;
}

// The largest power of ten, from 1 s down to 1 ns, of which every finite timestamp is a
// whole multiple; 0 when none is.
double clockPrecision(std::span<const double> timestamps) {
    for (int exponent = 3; exponent >= -6; --exponent) {
        const double unit = std::pow(10.0, exponent);
        const bool whole = std::ranges::all_of(timestamps, [unit](double t) {
            if (!std::isfinite(t)) {
                return true;
            }
            const double units = t / unit;
            return std::abs(units - std::round(units)) <= 1e-9 * std::max(1.0, std::abs(units));
        });
        if (whole) {
            return unit;
        }
    }
    return 0.0;
}

// A generator of the same numbers on every platform (splitmix64), for synthesised noise.
class Noise {
  public:
    double uniform() noexcept {
        state_ += 0x9E3779B97F4A7C15ULL;
        std::uint64_t z = state_;
        z = (z ^ (z >> 30U)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27U)) * 0x94D049BB133111EBULL;
        z ^= z >> 31U;
        return (static_cast<double>(z >> 11U) + 0.5) * 0x1.0p-53;
    }
    double normal() noexcept {
        const double radius = std::sqrt(-2.0 * std::log(uniform()));
        return radius * std::cos(2.0 * std::numbers::pi * uniform());
    }

  private:
    std::uint64_t state_ = 0x5EEDULL;
};

// Fixations of 300 ms joined by minimum-jerk movements of the typical amplitude, back and forth
// along each channel in turn, on the recording's own timestamps, with white noise whose still
// steps have the recording's RMS length.
struct SyntheticRecording {
    std::vector<double> timestamps;
    std::vector<double> values;
    std::vector<detail::KnownMovement> movements;
};

SyntheticRecording synthesise(std::span<const double> timestamps, std::span<const double> values,
                              std::size_t channels, const RecordingAnalysis& analysis) {
    constexpr double FIXATION_MS = 300.0;
    SyntheticRecording synthetic;
    for (const double t : timestamps) {
        if (std::isfinite(t) && (synthetic.timestamps.empty() || t > synthetic.timestamps.back())) {
            synthetic.timestamps.push_back(t);
        }
    }
    std::vector<double> amplitudes;
    std::vector<double> peaks;
    for (const DetectedMovement& movement : analysis.detected()) {
        if (movement.amplitude > 0.0 && std::isfinite(movement.amplitude)) {
            amplitudes.push_back(movement.amplitude);
            peaks.push_back(movement.peakSpeed);
        }
    }
    const std::size_t rows = timestamps.size();
    double amplitude = 0.0;
    double durationMs = 40.0;
    if (!amplitudes.empty()) {
        const auto middle = static_cast<std::ptrdiff_t>(amplitudes.size() / 2);
        std::ranges::nth_element(amplitudes, amplitudes.begin() + middle);
        std::ranges::nth_element(peaks, peaks.begin() + middle);
        amplitude = amplitudes[static_cast<std::size_t>(middle)];
        // A minimum-jerk movement peaks at 1.875 × its mean speed.
        durationMs =
            std::clamp(1875.0 * amplitude / peaks[static_cast<std::size_t>(middle)], 10.0, 100.0);
    } else {
        double squares = 0.0;
        std::vector<double> column;
        for (std::size_t c = 0; c < channels; ++c) {
            column.clear();
            for (std::size_t i = 0; i < rows; ++i) {
                if (std::isfinite(values[i * channels + c])) {
                    column.push_back(values[i * channels + c]);
                }
            }
            if (column.empty()) {
                continue;
            }
            std::ranges::sort(column);
            const double spread = column[column.size() * 9 / 10] - column[column.size() / 10];
            squares += spread * spread;
        }
        amplitude = std::sqrt(squares) / 2.0;
    }
    const double deviation = analysis.rawJitter() / std::sqrt(2.0 * static_cast<double>(channels));

    const std::size_t count = synthetic.timestamps.size();
    if (count == 0) {
        return synthetic;
    }
    // Movement k runs from fixation k to fixation k + 1 over [start(k), start(k) + duration].
    const double cycle = FIXATION_MS + durationMs;
    const double first = synthetic.timestamps.front() + FIXATION_MS;
    const double last = synthetic.timestamps.back();
    auto start = [&](std::size_t k) { return first + static_cast<double>(k) * cycle; };
    // At most one movement per two samples, whatever the timestamps claim.
    std::size_t movements = 0;
    while (movements < count / 2 && start(movements) + durationMs + FIXATION_MS / 2.0 <= last) {
        ++movements;
    }
    std::vector<double> fixations((movements + 1) * channels, 0.0);
    for (std::size_t k = 0; k < movements; ++k) {
        std::copy_n(fixations.begin() + static_cast<std::ptrdiff_t>(k * channels), channels,
                    fixations.begin() + static_cast<std::ptrdiff_t>((k + 1) * channels));
        fixations[(k + 1) * channels + (k / 2) % channels] += k % 2 == 0 ? amplitude : -amplitude;
    }
    auto fixation = [&](std::size_t k) {
        return std::span<const double>(fixations).subspan(k * channels, channels);
    };

    synthetic.values.resize(count * channels);
    Noise noise;
    std::size_t k = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = synthetic.timestamps[i];
        while (k < movements && t >= start(k) + durationMs) {
            ++k;
        }
        double share = 0.0;
        if (k < movements && t > start(k)) {
            const double tau = (t - start(k)) / durationMs;
            share = tau * tau * tau * (10.0 - 15.0 * tau + 6.0 * tau * tau);
        }
        const auto from = fixation(k);
        const auto to = fixation(std::min(k + 1, movements));
        for (std::size_t c = 0; c < channels; ++c) {
            synthetic.values[i * channels + c] =
                from[c] + share * (to[c] - from[c]) + deviation * noise.normal();
        }
    }
    std::size_t i = 0;
    for (std::size_t m = 0; m < movements; ++m) {
        while (i + 1 < count && synthetic.timestamps[i + 1] <= start(m)) {
            ++i;
        }
        std::size_t end = i;
        while (end + 1 < count && synthetic.timestamps[end] < start(m) + durationMs) {
            ++end;
        }
        const auto from = fixation(m);
        const auto to = fixation(m + 1);
        synthetic.movements.push_back({.first = i,
                                       .last = end,
                                       .from = {from.begin(), from.end()},
                                       .to = {to.begin(), to.end()}});
    }
    return synthetic;
}

// `steps` values from `value` / `factor` to `value` × `factor`, clipped to [low, high]; none
// when that leaves nothing.
std::vector<double> around(double value, double factor, double low, double high,
                           std::size_t steps) {
    const double from = std::max(low, value / factor);
    const double to = std::min(high, value * factor);
    return from <= to ? logarithmicGrid(from, to, steps) : std::vector<double>{};
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
        return "cannot tune: no movement to measure the lag on";
    case TuningStatus::NO_STILL_PERIODS:
        return "cannot tune: no still period found, so there is no jitter to measure";
    case TuningStatus::NO_SETTING_WITHIN_BUDGET:
        return "over budget: every parameter set lags more than the budget, so the "
               "recommendation is the one with the least lag";
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
    return measure(timestamps, values, channels, parameters, options, BankChoices{});
}

Measurement measure(std::span<const double> timestamps, std::span<const double> values,
                    std::size_t channels, const FilterParameters& parameters,
                    const MeasuringOptions& options, const BankChoices& choices) {
    const RecordingAnalysis analysis(timestamps, values, channels, options);
    RecordingAnalysis::Workspace workspace;
    return analysis.measure(parameters, choices, workspace);
}

TuningResult tune(std::span<const double> timestamps, std::span<const double> values,
                  std::size_t channels, const TuningOptions& options) {
    return tuneReport(timestamps, values, channels, options, BankChoices{}).result;
}

TuningResult tune(std::span<const double> timestamps, std::span<const double> values,
                  std::size_t channels, const TuningOptions& options, const BankChoices& choices) {
    return tuneReport(timestamps, values, channels, options, choices).result;
}

TuningReport tuneReport(std::span<const double> timestamps, std::span<const double> values,
                        std::size_t channels, const TuningOptions& options) {
    return tuneReport(timestamps, values, channels, options, BankChoices{});
}

std::vector<DetectedMovement> detectMovements(std::span<const double> timestamps,
                                              std::span<const double> values, std::size_t channels,
                                              const MeasuringOptions& options) {
    return RecordingAnalysis(timestamps, values, channels, options).detected();
}

TuningReport tuneReport(std::span<const double> timestamps, std::span<const double> values,
                        std::size_t channels, const TuningOptions& options,
                        const BankChoices& choices) {
    checkOptions(options);
    const RecordingAnalysis analysis(timestamps, values, channels, options.measuring);
    TuningReport report;
    report.choices = choices;
    TuningResult& result = report.result;
    result.profile = analysis.profile();
    report.movements = analysis.detected();
    report.clockPrecisionMs = clockPrecision(timestamps);
    report.budgetGiven = options.maxLagMs.has_value();
    const FilterParameters classDefaults{.freq = options.freq,
                                         .minCutOff = OneEuroFilterManager::DEFAULT_MIN_CUT_OFF,
                                         .beta = OneEuroFilterManager::DEFAULT_BETA,
                                         .dCutOff = options.dCutOff};
    RecordingAnalysis::Workspace workspace;
    // Measured as the sweep measures: nothing the size of the recording per set.
    analysis.measureAll(std::span(&classDefaults, 1), choices, workspace,
                        std::span(&result.defaults, 1));
    result.status = degenerate(result.profile, result.defaults);
    if (result.status != TuningStatus::OK) {
        return report;
    }

    // Too few movements of its own: lag on synthesised ones.
    SyntheticRecording synthetic;
    std::optional<RecordingAnalysis> synthesised;
    if (result.defaults.lagsMeasured < MIN_MOVEMENTS) {
        synthetic = synthesise(timestamps, values, channels, analysis);
        synthesised.emplace(synthetic.timestamps, synthetic.values, channels, options.measuring,
                            synthetic.movements);
        if (synthesised->measurable() == 0) {
            result.status = TuningStatus::NO_MOVEMENTS;
            return report;
        }
        report.lagBasis = LagBasis::SYNTHESISED;
        analysis.measureAll(std::span(&classDefaults, 1), choices, workspace,
                            std::span(&result.defaults, 1), &*synthesised);
    }
    const RecordingAnalysis* lagSource = synthesised ? &*synthesised : &analysis;
    const double speed = std::isfinite(result.profile.movementSpeed) ? result.profile.movementSpeed
                                                                     : result.profile.fastSpeed;

    result.maxLagMs = options.maxLagMs.value_or(DEFAULT_MAX_LAG_MS);
    result.minCutOffs = logarithmicGrid(
        options.minCutOffLow,
        std::max(options.minCutOffLow,
                 std::min(options.minCutOffHigh, 250.0 / result.profile.samplePeriodMs)),
        options.minCutOffSteps);
    result.betas = logarithmicGrid(options.boostLow, options.boostHigh, options.betaSteps);
    for (double& beta : result.betas) {
        beta /= speed;
    }
    // The refinements stay within the coarse grid's extent (a single value for a one-step grid).
    const double cutOffLow = result.minCutOffs.front();
    const double cutOffHigh = result.minCutOffs.back();
    const double betaLow = result.betas.front();
    const double betaHigh = result.betas.back();

    const std::size_t threads =
        options.threads != 0 ? options.threads : std::max(1U, std::thread::hardware_concurrency());
    // Each thread takes whole passes of sets, as many as share the work out evenly.
    const std::size_t passLimit = std::min(analysis.setsPerPass(), lagSource->setsPerPass());
    auto sweep = [&](const std::vector<double>& cutOffs, const std::vector<double>& betas,
                     std::vector<Measurement>& into) {
        std::vector<FilterParameters> sets;
        for (const double cutOff : cutOffs) {
            for (const double beta : betas) {
                sets.push_back({.freq = options.freq,
                                .minCutOff = cutOff,
                                .beta = beta,
                                .dCutOff = options.dCutOff});
            }
        }
        const std::size_t offset = into.size();
        into.resize(offset + sets.size());
        if (sets.empty()) {
            return;
        }
        const std::size_t share = (sets.size() + threads - 1) / threads;
        const std::size_t perPass = std::min(passLimit, (share + detail::SET_LANES - 1) /
                                                            detail::SET_LANES * detail::SET_LANES);
        const std::size_t passes = (sets.size() + perPass - 1) / perPass;
        runIndexed(passes, threads, [&](std::size_t pass, RecordingAnalysis::Workspace& space) {
            const std::size_t first = pass * perPass;
            const std::size_t count = std::min(perPass, sets.size() - first);
            analysis.measureAll(std::span(sets).subspan(first, count), choices, space,
                                std::span(into).subspan(offset + first, count), lagSource);
        });
    };
    sweep(result.minCutOffs, result.betas, result.grid);

    std::vector<Measurement> all;
    std::optional<std::size_t> best;
    std::optional<std::size_t> beyond; // the front's next set past the pick: more lag
    auto choose = [&] {
        all = result.grid;
        all.insert(all.end(), report.refined.begin(), report.refined.end());
        const std::vector<std::size_t> front = paretoFront(all);
        best.reset();
        beyond.reset();
        result.front.clear();
        for (const std::size_t i : front) {
            // The front runs from less lag and more jitter to more lag and less jitter: the last
            // within the budget has the least jitter.
            if (all[i].meanLagMs <= result.maxLagMs) {
                best = i;
            } else if (!beyond) {
                beyond = i;
            }
            result.front.push_back(all[i]);
        }
        report.overBudget = !best && !front.empty();
        if (report.overBudget) {
            best = front.front();
        }
    };
    choose();
    // Finer grids, each spanning one step of the previous on either side.
    constexpr std::size_t FINE_STEPS = 5;
    double cutOffFactor =
        result.minCutOffs.size() > 1 ? result.minCutOffs[1] / result.minCutOffs[0] : 1.0;
    double betaFactor = result.betas.size() > 1 ? result.betas[1] / result.betas[0] : 1.0;
    // Around the pick and the front's next set past the budget (the budget's crossing lies
    // between them), and first also around the class defaults, so that a set beating them at
    // their own lag is found.
    for (int round = 0; round < 2 && best; ++round) {
        std::vector<FilterParameters> centres{all[*best].parameters};
        if (beyond) {
            centres.push_back(all[*beyond].parameters);
        }
        if (round == 0) {
            centres.push_back(classDefaults);
        }
        for (const FilterParameters& centre : centres) {
            sweep(around(centre.minCutOff, cutOffFactor, cutOffLow, cutOffHigh, FINE_STEPS),
                  around(centre.beta, betaFactor, betaLow, betaHigh, FINE_STEPS), report.refined);
        }
        cutOffFactor = std::sqrt(cutOffFactor);
        betaFactor = std::sqrt(betaFactor);
        choose();
    }
    if (!best) {
        result.status = TuningStatus::NO_MOVEMENTS;
        return report;
    }
    result.recommendation = all[*best];
    const FilterParameters& chosen = result.recommendation->parameters;
    report.atSearchEdge = chosen.minCutOff == cutOffLow || chosen.minCutOff == cutOffHigh ||
                          chosen.beta == betaLow || chosen.beta == betaHigh;
    if (report.overBudget) {
        result.status = TuningStatus::NO_SETTING_WITHIN_BUDGET;
    }
    return report;
}

} // namespace pelto::tuning
