// The demo's plot of a tuning sweep: jitter against lag, the front, the budget and the marks.

#include "SvgPlot.hpp"

#include "Svg.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <iomanip>
#include <limits>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelto::demo {
namespace {

constexpr double TUNING_LEFT = 80.0;
constexpr double TUNING_TOP = 130.0;
constexpr double TUNING_WIDTH = 800.0;
constexpr double TUNING_HEIGHT = 400.0;

constexpr std::string_view TUNING_STYLE = R"(<style>
  .point { fill: #8c959f; fill-opacity: 0.35; }
  .front { fill: none; stroke: #0969da; stroke-width: 1.8; stroke-linejoin: round; }
  .frontPoint { fill: #0969da; }
  .budget { stroke: #cf222e; stroke-width: 1.2; stroke-dasharray: 6 4; }
  .defaults { fill: #bf8700; stroke: #ffffff; stroke-width: 1; }
  .recommended { fill: #1a7f37; stroke: #ffffff; stroke-width: 1; }
</style>
)";

void circle(SvgBuilder& svg, double x, double y, double radius, std::string_view cls) {
    svg.add("<circle cx=\"" + pixel(x) + "\" cy=\"" + pixel(y) + "\" r=\"" + pixel(radius) +
            "\" class=\"" + std::string(cls) + "\"/>\n");
}

// Ticks at the powers of ten within the scale's range of logarithms, and between them at 2 and 5
// times them when the range spans at most three decades, at 1.5 to 9 times them when it spans
// at most one.
void drawLogTicks(SvgBuilder& svg, const Scale& logScale, double left, double right) {
    const double low = std::min(logScale.low, logScale.high);
    const double high = std::max(logScale.low, logScale.high);
    constexpr std::array<double, 10> FACTORS{1.0, 1.5, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0};
    const double decades = high - low;
    const int lastDecade = static_cast<int>(std::ceil(high));
    for (int power = static_cast<int>(std::floor(low)); power <= lastDecade; ++power) {
        const auto decade = static_cast<double>(power);
        for (const double factor : FACTORS) {
            const bool shown = factor == 1.0 || decades <= 1.0 ||
                               (decades <= 3.0 && (factor == 2.0 || factor == 5.0));
            const double at = decade + std::log10(factor);
            if (!shown || at < low || at > high) {
                continue;
            }
            if (at < low || at > high) {
                continue;
            }
            const double y = logScale(at);
            svg.line(left, y, right, y, "grid");
            const double places = -decade + (factor == 1.5 ? 1.0 : 0.0);
            const int decimals = static_cast<int>(std::clamp(places, 0.0, 12.0));
            svg.text(left - 6.0, y + 4.0, number(factor * std::pow(10.0, decade), decimals), "tick",
                     "end");
        }
    }
}

std::string parameterText(const tuning::Measurement& measurement) {
    std::ostringstream text;
    text << std::setprecision(3) << "minCutOff " << measurement.parameters.minCutOff << ", beta "
         << measurement.parameters.beta;
    return text.str();
}

} // namespace

std::string renderTuningSvg(const tuning::TuningResult& result, const PlotCaption& caption) {
    const tuning::Measurement& recommended = result.recommendation.value();
    const tuning::Measurement& defaults = result.defaults;
    auto plotted = [](const tuning::Measurement& m) {
        return std::isfinite(m.meanLagMs) && m.smoothedJitter > 0.0 &&
               std::isfinite(m.smoothedJitter);
    };

    // The lag axis reaches a little beyond the budget and the two marks, not to the longest lag
    // of the grid, which can be seconds.
    double reach = std::max({3.0 * result.maxLagMs, 1.2 * recommended.meanLagMs,
                             plotted(defaults) ? 1.2 * defaults.meanLagMs : 0.0});
    double longest = 0.0;
    double shortest = 0.0;
    for (const tuning::Measurement& m : result.grid) {
        if (plotted(m)) {
            longest = std::max(longest, m.meanLagMs);
            shortest = std::min(shortest, m.meanLagMs);
        }
    }
    reach = std::min(reach, std::max(1.05 * longest, 1.2 * result.maxLagMs));
    Range jitters;
    std::size_t hidden = 0;
    for (const tuning::Measurement& m : result.grid) {
        if (plotted(m) && m.meanLagMs <= reach) {
            jitters.add(std::log10(m.smoothedJitter));
        } else {
            ++hidden;
        }
    }
    jitters.add(std::log10(recommended.smoothedJitter));
    if (plotted(defaults)) {
        jitters.add(std::log10(defaults.smoothedJitter));
    }
    const Range logJitter = jitters.padded(0.05);
    const double bottom = TUNING_TOP + TUNING_HEIGHT;
    const double right = TUNING_LEFT + TUNING_WIDTH;
    const Scale lag{shortest, reach, TUNING_LEFT, right};
    const Scale jitter{logJitter.low, logJitter.high, bottom, TUNING_TOP};
    auto inside = [&](const tuning::Measurement& m) { return plotted(m) && m.meanLagMs <= reach; };

    const double width = right + RIGHT_MARGIN + 20.0;
    const double height = bottom + 50.0 + BOTTOM_MARGIN;
    SvgBuilder svg;
    svg.add(R"(<?xml version="1.0" encoding="UTF-8"?>)"
            "\n");
    svg.add(R"(<svg xmlns="http://www.w3.org/2000/svg" width=")" + pixel(width) + R"(" height=")" +
            pixel(height) + R"(" viewBox="0 0 )" + pixel(width) + " " + pixel(height) + "\">\n");
    svg.add(STYLE);
    svg.add(TUNING_STYLE);
    svg.add("<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n");
    svg.text(TUNING_LEFT, 30.0, caption.title, "title");
    svg.text(TUNING_LEFT, 50.0, caption.subtitle, "subtitle");
    svg.text(TUNING_LEFT, 68.0,
             caption.details + (hidden > 0
                                    ? " \u00b7 not shown: " + std::to_string(hidden) +
                                          " sets lagging more than " + number(reach, 0) + " ms"
                                    : ""),
             "subtitle");

    // Legend.
    constexpr double LEGEND_Y = 92.0;
    circle(svg, TUNING_LEFT + 4.0, LEGEND_Y, 2.5, "point");
    svg.text(TUNING_LEFT + 12.0, LEGEND_Y + 4.0, "parameter set", "tick");
    svg.line(TUNING_LEFT + 100.0, LEGEND_Y, TUNING_LEFT + 128.0, LEGEND_Y, "front");
    svg.text(TUNING_LEFT + 134.0, LEGEND_Y + 4.0, "Pareto front", "tick");
    svg.line(TUNING_LEFT + 220.0, LEGEND_Y, TUNING_LEFT + 248.0, LEGEND_Y, "budget");
    svg.text(TUNING_LEFT + 254.0, LEGEND_Y + 4.0, "lag budget", "tick");

    svg.rect(TUNING_LEFT, TUNING_TOP, TUNING_WIDTH, TUNING_HEIGHT, "frame");
    drawValueTicks(svg, lag, TUNING_TOP, bottom, false);
    drawLogTicks(svg, jitter, TUNING_LEFT, right);
    svg.text(TUNING_LEFT + TUNING_WIDTH / 2.0, bottom + 36.0, "mean saccade lag (ms)", "label",
             "middle");
    svg.text(TUNING_LEFT, TUNING_TOP - 8.0, "fixation jitter (RMS step, smoothed)", "label");

    for (const tuning::Measurement& m : result.grid) {
        if (inside(m)) {
            circle(svg, lag(m.meanLagMs), jitter(std::log10(m.smoothedJitter)), 2.0, "point");
        }
    }
    PathData front;
    for (const tuning::Measurement& m : result.front) {
        if (inside(m)) {
            front.point(lag(m.meanLagMs), jitter(std::log10(m.smoothedJitter)));
        }
    }
    svg.path(front.data(), "front");
    for (const tuning::Measurement& m : result.front) {
        if (inside(m)) {
            circle(svg, lag(m.meanLagMs), jitter(std::log10(m.smoothedJitter)), 2.5, "frontPoint");
        }
    }

    const double budgetX = lag(result.maxLagMs);
    svg.line(budgetX, TUNING_TOP, budgetX, bottom, "budget");
    svg.text(budgetX + 4.0, TUNING_TOP + 14.0, "budget " + number(result.maxLagMs, 1) + " ms",
             "tick");

    auto mark = [&](const tuning::Measurement& m, std::string_view cls, std::string_view name) {
        const double x = lag(m.meanLagMs);
        const double y = jitter(std::log10(m.smoothedJitter));
        if (cls == "defaults") {
            svg.rect(x - 5.0, y - 5.0, 10.0, 10.0, cls);
        } else {
            circle(svg, x, y, 6.0, cls);
        }
        // The recommendation's label above its mark, the defaults' below, clear of each other.
        const bool leftOfMark = x > right - 260.0;
        svg.text(leftOfMark ? x - 10.0 : x + 10.0, cls == "defaults" ? y + 20.0 : y - 10.0,
                 std::string(name) + " (" + parameterText(m) + ")", "label",
                 leftOfMark ? "end" : "start");
    };
    if (inside(defaults)) {
        mark(defaults, "defaults", "defaults");
    }
    if (inside(recommended)) {
        mark(recommended, "recommended", "recommended");
    }
    return svg.finish();
}

} // namespace pelto::demo
