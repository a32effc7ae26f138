#include "tuning/Analysis.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

namespace pelto::detail {
namespace {

using tuning::NOT_MEASURED;

double squaredDistance(std::span<const double> a, std::span<const double> b) noexcept {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sum += (a[i] - b[i]) * (a[i] - b[i]);
    }
    return sum;
}

double distance(std::span<const double> a, std::span<const double> b) noexcept {
    return std::sqrt(squaredDistance(a, b));
}

// The middle value, or the upper of the two middle ones, of a non-empty list it reorders.
double median(std::vector<double>& values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::ranges::nth_element(values, middle);
    return *middle;
}

bool allFinite(std::span<const double> values) noexcept {
    return std::ranges::all_of(values, [](double v) { return std::isfinite(v); });
}

void checkOptions(const tuning::MeasuringOptions& options) {
    auto nonNegative = [](double value) { return value >= 0.0; }; // false for NaN
    if (!nonNegative(options.fastFactor) || !nonNegative(options.stillFactor) ||
        !nonNegative(options.settleMs) ||
        !(options.lagProgress > 0.0 && options.lagProgress <= 1.0)) {
        throw std::invalid_argument("pelto::tuning: fastFactor, stillFactor and settleMs must be "
                                    "at least 0 and lagProgress in (0, 1]");
    }
}

} // namespace

RecordingAnalysis::RecordingAnalysis(std::span<const double> timestamps,
                                     std::span<const double> values, std::size_t channels,
                                     const tuning::MeasuringOptions& options)
    : timestamps_(timestamps)
    , values_(values)
    , channels_(channels)
    , lagProgress_(options.lagProgress) {
    const std::size_t rows = timestamps.size();
    if (channels == 0 || rows > values.size() / channels || values.size() != rows * channels) {
        throw std::invalid_argument("pelto::tuning: " + std::to_string(rows) + " timestamps and " +
                                    std::to_string(channels) + " channels need as many rows of " +
                                    "values, at least one channel; got " +
                                    std::to_string(values.size()) + " values");
    }
    checkOptions(options);
    profile_.samples = rows;
    usable_.resize(rows);
    for (std::size_t i = 0; i < rows; ++i) {
        usable_[i] = std::isfinite(timestamps[i]) && allFinite(row(values, i)) ? 1 : 0;
    }
    classify(options);
}

void RecordingAnalysis::classify(const tuning::MeasuringOptions& options) {
    const std::size_t rows = timestamps_.size();
    speeds_.assign(rows, NOT_MEASURED);
    std::vector<double> speeds;
    std::vector<double> intervals;
    for (std::size_t i = 1; i < rows; ++i) {
        const double interval = timestamps_[i] - timestamps_[i - 1];
        if (usable_[i - 1] != 0 && usable_[i] != 0 && interval > 0.0) {
            speeds_[i] = distance(row(values_, i - 1), row(values_, i)) / (interval / 1000.0);
            speeds.push_back(speeds_[i]);
            intervals.push_back(interval);
        }
    }
    profile_.steps = speeds.size();
    if (speeds.empty()) {
        return;
    }
    profile_.samplePeriodMs = median(intervals);
    profile_.medianSpeed = median(speeds);
    profile_.fastSpeed = options.fastFactor * profile_.medianSpeed;
    profile_.stillSpeed = options.stillFactor * profile_.medianSpeed;

    fast_.assign(rows, 0);
    std::vector<double> fastSpeeds;
    double movementEnd = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 1; i < rows; ++i) {
        const double speed = speeds_[i];
        if (speed > profile_.fastSpeed) {
            fast_[i] = 1;
            fastSpeeds.push_back(speed);
            movementEnd = timestamps_[i];
        } else if (speed <= profile_.stillSpeed &&
                   timestamps_[i - 1] - movementEnd >= options.settleMs) {
            stillEnds_.push_back(i);
            stillSquares_.push_back(squaredDistance(row(values_, i - 1), row(values_, i)));
        }
    }
    profile_.stillSteps = stillEnds_.size();
    if (!fastSpeeds.empty()) {
        profile_.movementSpeed = median(fastSpeeds);
    }
    findMovements();
}

void RecordingAnalysis::findMovements() {
    const std::size_t rows = timestamps_.size();
    // Runs of fast steps: step i joins samples i - 1 and i.
    std::vector<Movement> runs;
    for (std::size_t i = 1; i < rows; ++i) {
        if (fast_[i] == 0) {
            continue;
        }
        if (runs.empty() || runs.back().last != i - 1) {
            Movement run;
            run.first = i - 1;
            run.last = i;
            runs.push_back(run);
        } else {
            runs.back().last = i;
        }
    }
    profile_.movements = runs.size();
    for (std::size_t r = 0; r < runs.size(); ++r) {
        Movement movement = runs[r];
        movement.windowEnd = r + 1 < runs.size() ? runs[r + 1].first : rows - 1;
        const auto from = row(values_, movement.first);
        const auto to = row(values_, movement.last);
        movement.length = distance(from, to);
        if (!(movement.length > 0.0 && std::isfinite(movement.length))) {
            continue; // out and back again: no displacement to follow
        }
        for (std::size_t c = 0; c < channels_; ++c) {
            directions_.push_back((to[c] - from[c]) / movement.length);
        }
        movements_.push_back(movement);
        // Every sample of a run is usable and the end point has progress 1, so the raw signal
        // gets there within the run.
        const std::size_t m = movements_.size() - 1;
        double previous = progress(m, from);
        movements_[m].rawTime = timestamps_[movement.last];
        for (std::size_t k = movement.first + 1; k <= movement.last; ++k) {
            const double current = progress(m, row(values_, k));
            if (current >= lagProgress_) {
                const double share = (lagProgress_ - previous) / (current - previous);
                movements_[m].rawTime =
                    timestamps_[k - 1] + share * (timestamps_[k] - timestamps_[k - 1]);
                break;
            }
            previous = current;
        }
    }
}

double RecordingAnalysis::progress(std::size_t movement, std::span<const double> point) const {
    const Movement& m = movements_[movement];
    const auto from = row(values_, m.first);
    const auto direction =
        std::span<const double>(directions_).subspan(movement * channels_, channels_);
    double along = 0.0;
    for (std::size_t c = 0; c < channels_; ++c) {
        along += (point[c] - from[c]) * direction[c];
    }
    return along / m.length;
}

tuning::Measurement RecordingAnalysis::measure(const tuning::FilterParameters& parameters,
                                               Workspace& workspace) const {
    const std::size_t rows = timestamps_.size();
    tuning::Measurement result;
    result.parameters = parameters;
    result.samples = rows;
    result.movements = profile_.movements;
    if (rows == 0) {
        return result; // nothing to smooth; the channel count may be anything
    }

    workspace.smoothed.resize(values_.size());
    workspace.accepted.resize(rows);
    OneEuroFilterManager bank(static_cast<std::int64_t>(channels_), parameters.freq,
                              parameters.minCutOff, parameters.beta, parameters.dCutOff);
    result.refused =
        rows - bank.filterSamples(timestamps_, values_, workspace.smoothed, workspace.accepted);
    const std::span<const double> smoothed = workspace.smoothed;
    const std::span<const std::uint8_t> accepted = workspace.accepted;

    double rawSquares = 0.0;
    double smoothedSquares = 0.0;
    for (std::size_t s = 0; s < stillEnds_.size(); ++s) {
        const std::size_t i = stillEnds_[s];
        if (accepted[i - 1] == 0 || accepted[i] == 0) {
            continue;
        }
        rawSquares += stillSquares_[s];
        smoothedSquares += squaredDistance(row(smoothed, i - 1), row(smoothed, i));
        ++result.stillSteps;
    }
    if (result.stillSteps > 0) {
        const auto steps = static_cast<double>(result.stillSteps);
        result.rawJitter = std::sqrt(rawSquares / steps);
        result.smoothedJitter = std::sqrt(smoothedSquares / steps);
        result.jitterRatio = result.smoothedJitter / result.rawJitter;
    }

    std::vector<double>& lags = workspace.lags;
    lags.clear();
    for (std::size_t m = 0; m < movements_.size(); ++m) {
        const Movement& movement = movements_[m];
        if (accepted[movement.first] == 0) {
            continue;
        }
        double previous = progress(m, row(smoothed, movement.first));
        std::size_t k = movement.first;
        double reached = previous >= lagProgress_ ? timestamps_[k] : NOT_MEASURED;
        while (std::isnan(reached) && k < movement.windowEnd && usable_[k + 1] != 0 &&
               accepted[k + 1] != 0) {
            ++k;
            const double current = progress(m, row(smoothed, k));
            if (current >= lagProgress_) {
                const double share = (lagProgress_ - previous) / (current - previous);
                reached = timestamps_[k - 1] + share * (timestamps_[k] - timestamps_[k - 1]);
            }
            previous = current;
        }
        if (std::isnan(reached)) {
            if (k < movement.windowEnd) {
                continue; // interrupted by a refused or unusable sample
            }
            reached = timestamps_[k];
            ++result.lagsCensored;
        }
        lags.push_back(reached - movement.rawTime);
    }
    result.lagsMeasured = lags.size();
    if (!lags.empty()) {
        double sum = 0.0;
        for (const double lag : lags) {
            sum += lag;
        }
        result.meanLagMs = sum / static_cast<double>(lags.size());
        result.maxLagMs = *std::ranges::max_element(lags);
        result.medianLagMs = median(lags);
    }
    return result;
}

} // namespace pelto::detail
