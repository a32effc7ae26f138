#include "tuning/Analysis.hpp"

#include "filters/FilterBankKernel.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

namespace pelto::detail {
namespace {

using tuning::NOT_MEASURED;

// Half the span of the speed window: long enough to average a high-rate tracker's sample noise
// away, short against the briefest saccade (about 20 ms).
constexpr double HALF_WINDOW_MS = 4.0;
// A movement lasts at least this long (sample period included) and two samples: shorter bursts
// are noise.
constexpr double MIN_DURATION_MS = 10.0;
// Movements closer than this are one (post-saccadic oscillation, a dropped sample).
constexpr double MERGE_MS = 20.0;
// The still stretch averaged for a movement's start and end points.
constexpr double CONTEXT_MS = 50.0;

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
    // An infinite factor times a deviation of zero would make the threshold NaN.
    auto factor = [](double value) { return value >= 0.0 && std::isfinite(value); };
    if (!factor(options.fastFactor) || !factor(options.stillFactor) ||
        !nonNegative(options.settleMs) ||
        !(options.lagProgress > 0.0 && options.lagProgress <= 1.0)) {
        throw std::invalid_argument("pelto::tuning: fastFactor and stillFactor must be finite, "
                                    "they and settleMs at least 0, and lagProgress in (0, 1]");
    }
}

// Mean and standard deviation of the speeds below `limit`.
struct Spread {
    double mean = 0.0;
    double deviation = 0.0;
};

Spread spreadBelow(const std::vector<double>& speeds, double limit) {
    double sum = 0.0;
    std::size_t count = 0;
    for (const double speed : speeds) {
        if (speed < limit) {
            sum += speed;
            ++count;
        }
    }
    if (count == 0) {
        return {};
    }
    const double mean = sum / static_cast<double>(count);
    double squares = 0.0;
    for (const double speed : speeds) {
        if (speed < limit) {
            squares += (speed - mean) * (speed - mean);
        }
    }
    return {mean, std::sqrt(squares / static_cast<double>(count))};
}

} // namespace

OneEuroFilterManager makeBank(std::size_t channels, const tuning::FilterParameters& parameters,
                              const tuning::BankChoices& choices) {
    return {static_cast<std::int64_t>(channels),
            parameters.freq,
            parameters.minCutOff,
            parameters.beta,
            parameters.dCutOff,
            choices.precision,
            choices.derivative};
}

RecordingAnalysis::RecordingAnalysis(std::span<const double> timestamps,
                                     std::span<const double> values, std::size_t channels,
                                     const tuning::MeasuringOptions& options)
    : timestamps_(timestamps)
    , values_(values)
    , channels_(channels)
    , lagProgress_(options.lagProgress) {
    checkShape(options);
    classify(options);
}

RecordingAnalysis::RecordingAnalysis(std::span<const double> timestamps,
                                     std::span<const double> values, std::size_t channels,
                                     const tuning::MeasuringOptions& options,
                                     const std::vector<KnownMovement>& movements)
    : timestamps_(timestamps)
    , values_(values)
    , channels_(channels)
    , lagProgress_(options.lagProgress) {
    checkShape(options);
    for (std::size_t m = 0; m < movements.size(); ++m) {
        const std::size_t windowEnd =
            m + 1 < movements.size() ? movements[m + 1].first : timestamps.size() - 1;
        addMovement(movements[m].first, movements[m].last, windowEnd, movements[m].from,
                    movements[m].to);
    }
    profile_.movements = movements.size();
}

void RecordingAnalysis::checkShape(const tuning::MeasuringOptions& options) {
    const std::size_t rows = timestamps_.size();
    if (channels_ == 0 || channels_ > tuning::MAX_CHANNELS || rows > values_.size() / channels_ ||
        values_.size() != rows * channels_) {
        throw std::invalid_argument("pelto::tuning: " + std::to_string(rows) + " timestamps and " +
                                    std::to_string(channels_) + " channels need as many rows of " +
                                    "values, 1 to " + std::to_string(tuning::MAX_CHANNELS) +
                                    " channels; got " + std::to_string(values_.size()) + " values");
    }
    checkOptions(options);
    profile_.samples = rows;
    usable_.resize(rows);
    for (std::size_t i = 0; i < rows; ++i) {
        usable_[i] = std::isfinite(timestamps_[i]) && allFinite(row(values_, i)) ? 1 : 0;
    }
}

void RecordingAnalysis::classify(const tuning::MeasuringOptions& options) {
    const std::size_t rows = timestamps_.size();
    std::vector<double> intervals;
    for (std::size_t i = 1; i < rows; ++i) {
        const double interval = timestamps_[i] - timestamps_[i - 1];
        if (usable_[i - 1] != 0 && usable_[i] != 0 && interval > 0.0) {
            intervals.push_back(interval);
        }
    }
    profile_.steps = intervals.size();
    if (intervals.empty()) {
        return;
    }
    profile_.samplePeriodMs = median(intervals);
    const double period = profile_.samplePeriodMs;

    // Speed at each sample over the window i - h .. i + h, when every sample of it is usable and
    // the timestamps increase across it.
    const auto half =
        static_cast<std::size_t>(std::max(1.0, std::round(std::min(HALF_WINDOW_MS / period, 1e6))));
    std::vector<std::size_t> unusableBefore(rows + 1, 0);
    for (std::size_t i = 0; i < rows; ++i) {
        unusableBefore[i + 1] = unusableBefore[i] + (usable_[i] == 0 ? 1 : 0);
    }
    std::vector<double> speed(rows, NOT_MEASURED);
    std::vector<double> speeds;
    for (std::size_t i = half; i + half < rows; ++i) {
        const std::size_t a = i - half;
        const std::size_t b = i + half;
        const double span = timestamps_[b] - timestamps_[a];
        if (unusableBefore[b + 1] == unusableBefore[a] && span > 0.0) {
            speed[i] = distance(row(values_, a), row(values_, b)) / (span / 1000.0);
            if (std::isfinite(speed[i])) {
                speeds.push_back(speed[i]);
            } else {
                speed[i] = NOT_MEASURED;
            }
        }
    }
    if (speeds.empty()) {
        return;
    }
    // The noise's own level: the threshold settles at mean + k × deviation of the speeds below
    // it, so a noisy tracker gets a higher one. Rising from twice the median, it stops at the
    // noise's level however much of the recording is movement.
    // On a copy: nth_element leaves an order of the standard library's own, and the sums below
    // run in the recording's order, the same bits with any standard library.
    std::vector<double> reordered = speeds;
    profile_.medianSpeed = median(reordered);
    double limit = profile_.medianSpeed > 0.0 ? 2.0 * profile_.medianSpeed
                                              : std::numeric_limits<double>::infinity();
    Spread spread;
    for (int round = 0; round < 100; ++round) {
        spread = spreadBelow(speeds, limit);
        const double next = spread.mean + options.fastFactor * spread.deviation;
        if (next == limit || (std::isfinite(limit) && spread.deviation == 0.0)) {
            limit = next;
            break;
        }
        limit = next;
    }
    profile_.fastSpeed = limit;
    profile_.stillSpeed = std::min(limit, spread.mean + options.stillFactor * spread.deviation);
    const double fast = profile_.fastSpeed;
    const double onset = profile_.stillSpeed;

    // Runs above the threshold, widened to where the speed drops to the onset level, merged
    // across short interruptions; dropped when they are too short or touch a gap in the data.
    struct Run {
        std::size_t first;
        std::size_t last;
        bool broken;
    };
    std::vector<Run> runs;
    for (std::size_t i = 0; i < rows; ++i) {
        if (!(speed[i] > fast) || (!runs.empty() && runs.back().last >= i)) {
            continue;
        }
        Run run{i, i, false};
        while (run.first > 0 && speed[run.first - 1] > onset) {
            --run.first;
        }
        while (run.last + 1 < rows && speed[run.last + 1] > onset) {
            ++run.last;
        }
        run.broken = run.first == 0 || std::isnan(speed[run.first - 1]) || run.last + 1 == rows ||
                     std::isnan(speed[run.last + 1]);
        if (!runs.empty() && timestamps_[run.first] - timestamps_[runs.back().last] <=
                                 std::max(MERGE_MS, 1.5 * period)) {
            runs.back().last = run.last;
            runs.back().broken = runs.back().broken || run.broken;
        } else {
            runs.push_back(run);
        }
    }
    // Any displacement shows in at least two windowed speeds, so a lone fast sample is noise.
    std::erase_if(runs, [&](const Run& run) {
        return run.broken || run.last == run.first ||
               timestamps_[run.last] - timestamps_[run.first] + period < MIN_DURATION_MS;
    });
    profile_.movements = runs.size();

    std::vector<std::uint8_t> still(rows, 0);
    for (std::size_t i = 0; i < rows; ++i) {
        still[i] = speed[i] <= onset ? 1 : 0;
    }
    for (const Run& run : runs) {
        std::fill(still.begin() + static_cast<std::ptrdiff_t>(run.first),
                  still.begin() + static_cast<std::ptrdiff_t>(run.last) + 1, std::uint8_t{0});
    }
    // The mean of the still samples of [begin, end) within `CONTEXT_MS` of `near`, into
    // `point`; false when there is none.
    std::vector<double> point(channels_);
    auto settledMean = [&](std::size_t begin, std::size_t end, double near) {
        std::fill(point.begin(), point.end(), 0.0);
        std::size_t count = 0;
        for (std::size_t i = begin; i < end; ++i) {
            if (still[i] != 0 && std::abs(timestamps_[i] - near) <= CONTEXT_MS) {
                const auto values = row(values_, i);
                for (std::size_t c = 0; c < channels_; ++c) {
                    point[c] += values[c];
                }
                ++count;
            }
        }
        for (double& value : point) {
            value /= static_cast<double>(std::max<std::size_t>(count, 1));
        }
        return count > 0;
    };
    std::vector<double> from(channels_);
    std::vector<double> peaks;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const Run& run = runs[r];
        const std::size_t before = r > 0 ? runs[r - 1].last + 1 : 0;
        const std::size_t after = r + 1 < runs.size() ? runs[r + 1].first : rows;
        tuning::DetectedMovement found;
        found.startMs = timestamps_[run.first];
        found.endMs = timestamps_[run.last];
        found.peakSpeed =
            *std::max_element(speed.begin() + static_cast<std::ptrdiff_t>(run.first),
                              speed.begin() + static_cast<std::ptrdiff_t>(run.last) + 1);
        peaks.push_back(found.peakSpeed);
        const bool settledBefore = settledMean(before, run.first, found.startMs);
        if (settledBefore) {
            from = point;
        } else {
            std::ranges::copy(row(values_, run.first), from.begin());
        }
        const bool settledAfter = settledMean(run.last + 1, after, found.endMs);
        if (!settledAfter) {
            std::ranges::copy(row(values_, run.last), point.begin());
        }
        found.amplitude = distance(from, point);
        detected_.push_back(found);
        if (settledBefore && settledAfter) {
            // Only between still periods are the start and end points more than single samples.
            addMovement(run.first, run.last, after < rows ? after : rows - 1, from, point);
        }
    }
    if (!peaks.empty()) {
        profile_.movementSpeed = median(peaks);
    }

    double movementEnd = -std::numeric_limits<double>::infinity();
    std::size_t next = 0;
    for (std::size_t i = 1; i < rows; ++i) {
        while (next < runs.size() && runs[next].last < i) {
            movementEnd = timestamps_[runs[next].last];
            ++next;
        }
        if (still[i - 1] != 0 && still[i] != 0 && timestamps_[i] > timestamps_[i - 1] &&
            timestamps_[i - 1] - movementEnd >= options.settleMs) {
            stillEnds_.push_back(i);
            stillSquares_.push_back(squaredDistance(row(values_, i - 1), row(values_, i)));
        }
    }
    profile_.stillSteps = stillEnds_.size();
}

void RecordingAnalysis::addMovement(std::size_t first, std::size_t last, std::size_t windowEnd,
                                    std::span<const double> from, std::span<const double> to) {
    Movement movement{.first = first, .last = last, .windowEnd = windowEnd};
    movement.length = distance(from, to);
    if (!(movement.length > 0.0 && std::isfinite(movement.length)) || usable_[first] == 0) {
        return; // out and back again: no displacement to follow
    }
    const std::size_t m = movements_.size();
    movements_.push_back(movement);
    origins_.insert(origins_.end(), from.begin(), from.end());
    for (std::size_t c = 0; c < channels_; ++c) {
        directions_.push_back((to[c] - from[c]) / movement.length);
    }
    const double reached = crossing(m, values_, {}).time;
    if (std::isnan(reached)) {
        movements_.pop_back();
        origins_.resize(origins_.size() - channels_);
        directions_.resize(directions_.size() - channels_);
        return;
    }
    movements_[m].rawTime = reached;
}

RecordingAnalysis::Crossing
RecordingAnalysis::crossing(std::size_t movement, std::span<const double> signal,
                            std::span<const std::uint8_t> accepted) const {
    const Movement& m = movements_[movement];
    double previous = progress(movement, row(signal, m.first));
    if (previous >= lagProgress_) {
        return {timestamps_[m.first], false};
    }
    for (std::size_t k = m.first + 1; k <= m.windowEnd; ++k) {
        if (usable_[k] == 0 || (!accepted.empty() && accepted[k] == 0)) {
            return {NOT_MEASURED, false};
        }
        const double current = progress(movement, row(signal, k));
        if (current >= lagProgress_) {
            const double share = (lagProgress_ - previous) / (current - previous);
            return {timestamps_[k - 1] + share * (timestamps_[k] - timestamps_[k - 1]), false};
        }
        previous = current;
    }
    return {NOT_MEASURED, true};
}

double RecordingAnalysis::progress(std::size_t movement, std::span<const double> point) const {
    const Movement& m = movements_[movement];
    const auto from = std::span<const double>(origins_).subspan(movement * channels_, channels_);
    const auto direction =
        std::span<const double>(directions_).subspan(movement * channels_, channels_);
    double along = 0.0;
    for (std::size_t c = 0; c < channels_; ++c) {
        along += (point[c] - from[c]) * direction[c];
    }
    return along / m.length;
}

double RecordingAnalysis::rawJitter() const noexcept {
    if (stillSquares_.empty()) {
        return NOT_MEASURED;
    }
    double sum = 0.0;
    for (const double square : stillSquares_) {
        sum += square;
    }
    return std::sqrt(sum / static_cast<double>(stillSquares_.size()));
}

double RecordingAnalysis::scaledJitter(std::span<const double> signal,
                                       std::span<const std::uint8_t> accepted) const {
    // Steps too long to square: each component over the largest one first.
    double largest = 0.0;
    std::size_t steps = 0;
    auto counted = [&](std::size_t i) { return accepted[i - 1] != 0 && accepted[i] != 0; };
    for (const std::size_t i : stillEnds_) {
        if (counted(i)) {
            for (std::size_t c = 0; c < channels_; ++c) {
                largest = std::max(
                    largest, std::abs(signal[i * channels_ + c] - signal[(i - 1) * channels_ + c]));
            }
            ++steps;
        }
    }
    if (std::isinf(largest)) {
        return largest; // a step longer than the largest double
    }
    double sum = 0.0;
    for (const std::size_t i : stillEnds_) {
        if (counted(i)) {
            for (std::size_t c = 0; c < channels_; ++c) {
                const double share =
                    (signal[i * channels_ + c] - signal[(i - 1) * channels_ + c]) / largest;
                sum += share * share;
            }
        }
    }
    return largest * std::sqrt(sum / static_cast<double>(steps));
}

tuning::Measurement RecordingAnalysis::measure(const tuning::FilterParameters& parameters,
                                               const tuning::BankChoices& choices,
                                               Workspace& workspace,
                                               const RecordingAnalysis* lagSource) const {
    const std::size_t rows = timestamps_.size();
    tuning::Measurement result;
    result.parameters = parameters;
    result.samples = rows;
    result.movements = (lagSource != nullptr ? lagSource : this)->profile_.movements;
    if (rows == 0) {
        return result; // nothing to smooth; the channel count may be anything
    }

    workspace.smoothed.resize(values_.size());
    workspace.accepted.resize(rows);
    {
        OneEuroFilterManager bank = makeBank(channels_, parameters, choices);
        result.refused =
            rows - bank.filterSamples(timestamps_, values_, workspace.smoothed, workspace.accepted);
    }
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
        result.rawJitter = std::isinf(rawSquares) ? scaledJitter(values_, accepted)
                                                  : std::sqrt(rawSquares / steps);
        result.smoothedJitter = std::isinf(smoothedSquares) ? scaledJitter(smoothed, accepted)
                                                            : std::sqrt(smoothedSquares / steps);
        result.jitterRatio = result.smoothedJitter / result.rawJitter;
    }

    if (lagSource == nullptr || lagSource == this) {
        measureLags(smoothed, accepted, result, workspace.lags);
        return result;
    }
    const std::size_t sourceRows = lagSource->timestamps_.size();
    workspace.smoothed.resize(lagSource->values_.size());
    workspace.accepted.resize(sourceRows);
    OneEuroFilterManager bank = makeBank(channels_, parameters, choices);
    (void)bank.filterSamples(lagSource->timestamps_, lagSource->values_, workspace.smoothed,
                             workspace.accepted);
    lagSource->measureLags(workspace.smoothed, workspace.accepted, result, workspace.lags);
    return result;
}

void RecordingAnalysis::measureLags(std::span<const double> smoothed,
                                    std::span<const std::uint8_t> accepted,
                                    tuning::Measurement& result, std::vector<double>& lags) const {
    lags.clear();
    for (std::size_t m = 0; m < movements_.size(); ++m) {
        const Movement& movement = movements_[m];
        if (accepted[movement.first] == 0) {
            continue;
        }
        auto [reached, censored] = crossing(m, smoothed, accepted);
        if (censored) {
            reached = timestamps_[movement.windowEnd];
            ++result.lagsCensored;
        } else if (std::isnan(reached)) {
            continue; // interrupted by a refused or unusable sample
        }
        // A causal filter cannot lead the raw signal: an earlier crossing is noise.
        lags.push_back(std::max(0.0, reached - movement.rawTime));
    }
    summariseLags(lags, result);
}

void summariseLags(std::vector<double>& lags, tuning::Measurement& result) {
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
}

std::size_t RecordingAnalysis::setsPerPass() const noexcept {
    // The sets' state stays within a megabyte, and their lags (one per movement and set) within
    // a quarter of the recording's size.
    constexpr std::size_t STATE_LANES = 32768;
    const std::size_t lagBudget = std::max<std::size_t>(values_.size() / 4, 1U << 16U);
    const std::size_t sets =
        std::min(STATE_LANES / channels_, lagBudget / std::max<std::size_t>(movements_.size(), 1));
    return std::max(SET_LANES, sets / SET_LANES * SET_LANES);
}

} // namespace pelto::detail
