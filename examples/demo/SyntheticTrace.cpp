#include "SyntheticTrace.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace pelto::demo {
namespace {

// The engine is fully specified by the standard; the distributions are not, so they are built
// here from plain arithmetic to keep the trace identical across standard libraries.
class Random {
  public:
    explicit Random(std::uint64_t seed)
        : engine_(seed) {}

    /// Uniform in [0, 1).
    double uniform() { return static_cast<double>(engine_() >> 11U) * 0x1.0p-53; }

    double uniform(double low, double high) { return low + (high - low) * uniform(); }

    /// Approximately standard normal (Irwin-Hall with twelve terms).
    double gaussian() {
        double sum = -6.0;
        for (int i = 0; i < 12; ++i) {
            sum += uniform();
        }
        return sum;
    }

  private:
    std::mt19937_64 engine_;
};

struct Point {
    double x = 0.0;
    double y = 0.0;
};

// A fixation holds `from` (== `to`); a saccade moves from `from` to `to`.
struct Segment {
    double startMs = 0.0;
    double endMs = 0.0;
    Point from;
    Point to;
};

constexpr double MARGIN = 30.0;
constexpr double MIN_SACCADE = 120.0;

// sqrt rather than hypot: sqrt is correctly rounded everywhere, hypot is not.
double distance(const Point& a, const Point& b) {
    return std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
}

Point randomTarget(Random& random, const SyntheticTraceShape& shape, const Point& from) {
    Point target;
    for (int attempt = 0; attempt < 100; ++attempt) {
        target = {random.uniform(MARGIN, shape.screenWidth - MARGIN),
                  random.uniform(MARGIN, shape.screenHeight - MARGIN)};
        if (distance(from, target) >= MIN_SACCADE) {
            break;
        }
    }
    return target;
}

std::vector<Segment> makeSchedule(Random& random, const SyntheticTraceShape& shape) {
    std::vector<Segment> schedule;
    Point position{shape.screenWidth / 2.0, shape.screenHeight / 2.0};
    double time = 0.0;
    while (time <= shape.durationMs) {
        const double fixationEnd = time + random.uniform(250.0, 600.0);
        schedule.push_back({time, fixationEnd, position, position});
        const Point target = randomTarget(random, shape, position);
        const double amplitude = distance(position, target);
        const double saccadeEnd = fixationEnd + 25.0 + 0.1 * amplitude;
        schedule.push_back({fixationEnd, saccadeEnd, position, target});
        position = target;
        time = saccadeEnd;
    }
    return schedule;
}

Point positionAt(const std::vector<Segment>& schedule, double timeMs) {
    const auto segment = std::ranges::find_if(
        schedule, [timeMs](const Segment& candidate) { return timeMs < candidate.endMs; });
    if (segment == schedule.end()) {
        return schedule.back().to;
    }
    // Minimum-jerk profile: the eye accelerates and brakes smoothly.
    const double s = (timeMs - segment->startMs) / (segment->endMs - segment->startMs);
    const double progress = s * s * s * (10.0 - 15.0 * s + 6.0 * s * s);
    return {segment->from.x + (segment->to.x - segment->from.x) * progress,
            segment->from.y + (segment->to.y - segment->from.y) * progress};
}

// Hundredths of a point, as a sensor would report them; prints short in the CSV.
double roundToHundredths(double value) {
    return std::round(value * 100.0) / 100.0;
}

constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

} // namespace

Trace makeSyntheticTrace(std::uint64_t seed, const SyntheticTraceShape& shape) {
    Random random(seed);
    const std::vector<Segment> schedule = makeSchedule(random, shape);

    Trace trace;
    trace.channelNames = {"x", "y"};
    // Whole microseconds, so that every timestamp prints as a short decimal of milliseconds.
    std::int64_t timeUs = 0;
    while (static_cast<double>(timeUs) / 1000.0 <= shape.durationMs) {
        const double timeMs = static_cast<double>(timeUs) / 1000.0;
        const Point eye = positionAt(schedule, timeMs);
        const double noiseX = shape.jitter * random.gaussian();
        const double noiseY = shape.jitter * random.gaussian();
        const bool lost = timeMs >= shape.dropoutStartMs && timeMs < shape.dropoutEndMs;
        trace.addSample(timeMs,
                        lost ? std::initializer_list<double>{NOT_A_NUMBER, NOT_A_NUMBER}
                             : std::initializer_list<double>{roundToHundredths(eye.x + noiseX),
                                                             roundToHundredths(eye.y + noiseY)});
        timeUs += 14000 + static_cast<std::int64_t>(random.uniform() * 5501.0);
    }
    return trace;
}

} // namespace pelto::demo
