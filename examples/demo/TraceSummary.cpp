#include "TraceSummary.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <vector>

namespace pelto::demo {
namespace {

constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

double distance(std::span<const double> a, std::span<const double> b) {
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sum += (a[i] - b[i]) * (a[i] - b[i]);
    }
    return std::sqrt(sum);
}

struct Saccade {
    std::size_t first = 0; ///< last sample before the fast steps
    std::size_t last = 0;  ///< sample ending the last fast step
};

// The median of a non-empty list (which it reorders).
double median(std::vector<double>& values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::ranges::nth_element(values, middle);
    return *middle;
}

// Progress of a signal along one saccade: 0 at the raw start point, 1 at the raw end point.
class SaccadeProgress {
  public:
    SaccadeProgress(std::span<const double> from, std::span<const double> to)
        : from_(from.begin(), from.end())
        , direction_(from.size())
        , length_(distance(from, to)) {
        for (std::size_t i = 0; i < direction_.size() && length_ > 0.0; ++i) {
            direction_[i] = (to[i] - from[i]) / length_;
        }
    }

    [[nodiscard]] double length() const noexcept { return length_; }

    [[nodiscard]] double operator()(std::span<const double> point) const {
        double along = 0.0;
        for (std::size_t i = 0; i < direction_.size(); ++i) {
            along += (point[i] - from_[i]) * direction_[i];
        }
        return along / length_;
    }

  private:
    std::vector<double> from_;
    std::vector<double> direction_;
    double length_ = 0.0;
};

} // namespace

TraceSummary summarizeTrace(const Trace& trace, const SmoothedTrace& smoothed) {
    const std::vector<double>& times = trace.timestamps;
    const std::size_t count = trace.sampleCount();

    TraceSummary summary;
    summary.samples = count;
    summary.refused = smoothed.refusedCount();
    summary.resets = smoothed.resetCount();
    summary.rawJitter = summary.smoothedJitter = NOT_A_NUMBER;
    summary.meanLagMs = summary.maxLagMs = NOT_A_NUMBER;
    summary.saccadeSpeed = NOT_A_NUMBER;

    std::vector<bool> usable(count);
    for (std::size_t i = 0; i < count; ++i) {
        usable[i] =
            smoothed.accepted(i) &&
            std::ranges::all_of(trace.sampleValues(i), [](double v) { return std::isfinite(v); });
    }
    auto raw = [&](std::size_t i) { return trace.sampleValues(i); };
    auto smooth = [&](std::size_t i) { return smoothed.sampleValues(i); };

    // speed[i]: of the step from sample i - 1 to sample i, NaN when that step does not count.
    std::vector<double> speed(count, NOT_A_NUMBER);
    std::vector<double> speeds;
    for (std::size_t i = 1; i < count; ++i) {
        const double interval = times[i] - times[i - 1];
        if (usable[i - 1] && usable[i] && interval > 0.0) {
            speed[i] = distance(raw(i - 1), raw(i)) / interval;
            speeds.push_back(speed[i]);
        }
    }
    if (speeds.empty()) {
        return summary;
    }
    summary.saccadeSpeed = SACCADE_SPEED_FACTOR * median(speeds);
    auto isFast = [&](std::size_t i) { return speed[i] > summary.saccadeSpeed; };

    std::vector<Saccade> saccades;
    double rawSquares = 0.0;
    double smoothedSquares = 0.0;
    double lastSaccadeEnd = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 1; i < count; ++i) {
        if (isFast(i)) {
            if (saccades.empty() || saccades.back().last != i - 1) {
                saccades.push_back({i - 1, i});
            } else {
                saccades.back().last = i;
            }
            lastSaccadeEnd = times[i];
        } else if (!std::isnan(speed[i]) && times[i - 1] - lastSaccadeEnd >= SETTLE_MS) {
            const double rawStep = distance(raw(i - 1), raw(i));
            const double smoothedStep = distance(smooth(i - 1), smooth(i));
            rawSquares += rawStep * rawStep;
            smoothedSquares += smoothedStep * smoothedStep;
            ++summary.fixationSteps;
        }
    }
    if (summary.fixationSteps > 0) {
        const auto steps = static_cast<double>(summary.fixationSteps);
        summary.rawJitter = std::sqrt(rawSquares / steps);
        summary.smoothedJitter = std::sqrt(smoothedSquares / steps);
    }

    // The time at which `signal` first reaches `target` progress, searched from sample `from`
    // up to sample `to`, interpolated linearly between samples.
    auto crossing = [&](const SaccadeProgress& progress,
                        const std::function<std::span<const double>(std::size_t)>& signal,
                        std::size_t from, std::size_t to) -> std::optional<double> {
        double previous = progress(signal(from));
        if (previous >= LAG_PROGRESS) {
            return times[from];
        }
        for (std::size_t k = from + 1; k <= to && usable[k]; ++k) {
            const double current = progress(signal(k));
            if (current >= LAG_PROGRESS) {
                const double share = (LAG_PROGRESS - previous) / (current - previous);
                return times[k - 1] + share * (times[k] - times[k - 1]);
            }
            previous = current;
        }
        return std::nullopt;
    };

    summary.saccades = saccades.size();
    double lagSum = 0.0;
    for (std::size_t s = 0; s < saccades.size(); ++s) {
        const Saccade& saccade = saccades[s];
        const SaccadeProgress progress(raw(saccade.first), raw(saccade.last));
        if (!(progress.length() > 0.0)) {
            continue; // out and back again: no step to measure
        }
        // The smoothed signal has until the next saccade starts to get there.
        const std::size_t searchEnd = s + 1 < saccades.size() ? saccades[s + 1].first : count - 1;
        const auto rawTime = crossing(progress, raw, saccade.first, saccade.last);
        const auto smoothedTime = crossing(progress, smooth, saccade.first, searchEnd);
        if (!rawTime || !smoothedTime) {
            continue;
        }
        const double lag = *smoothedTime - *rawTime;
        lagSum += lag;
        summary.maxLagMs = summary.lagsMeasured == 0 ? lag : std::max(summary.maxLagMs, lag);
        ++summary.lagsMeasured;
    }
    if (summary.lagsMeasured > 0) {
        summary.meanLagMs = lagSum / static_cast<double>(summary.lagsMeasured);
    }
    return summary;
}

} // namespace pelto::demo
