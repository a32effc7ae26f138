#include "SvgPlot.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string_view>
#include <vector>

namespace pelto::demo {
namespace {

constexpr double PANEL_LEFT = 70.0;
constexpr double PANEL_WIDTH = 640.0;
constexpr double PANEL_HEIGHT = 190.0;
constexpr double PANEL_GAP = 56.0;
constexpr double PANELS_TOP = 122.0;
constexpr double PATH_LEFT = PANEL_LEFT + PANEL_WIDTH + 90.0;
constexpr double PATH_WIDTH = 340.0;
constexpr double RIGHT_MARGIN = 30.0;
constexpr double BOTTOM_MARGIN = 20.0;

constexpr std::string_view STYLE = R"(<style>
  text { font-family: sans-serif; font-size: 12px; fill: #24292f; }
  .title { font-size: 18px; font-weight: bold; }
  .subtitle { font-size: 13px; fill: #57606a; }
  .label { font-size: 13px; font-weight: bold; }
  .tick { font-size: 11px; fill: #57606a; }
  .frame { fill: #fbfbfc; stroke: #afb8c1; stroke-width: 1; }
  .grid { stroke: #e6e8eb; stroke-width: 1; }
  .raw { fill: none; stroke: #8c959f; stroke-width: 1; }
  .smoothed { fill: none; stroke: #0969da; stroke-width: 1.8; stroke-linejoin: round; }
  .refused { fill: #cf222e; fill-opacity: 0.18; }
  .refusedKey { fill: #cf222e; fill-opacity: 0.35; }
</style>
)";

std::string number(double value, int decimals) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {
        return "0";
    }
    std::string text(buffer.data(), result.ptr);
    return text == "-0" ? "0" : text;
}

// Pixel coordinates: one decimal is plenty.
std::string pixel(double value) {
    return number(value, 1);
}

std::string escapeXml(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            // Control bytes are not allowed in XML 1.0.
            escaped.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
        }
    }
    return escaped;
}

struct Range {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();

    void add(double value) {
        if (std::isfinite(value)) {
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }

    // A range with room to draw in, whatever the data was.
    [[nodiscard]] Range padded(double share) const {
        if (low > high) {
            return {0.0, 1.0};
        }
        const double span = high - low;
        const double pad = span > 0.0 ? span * share : std::max(1.0, std::abs(low) * 0.05);
        return {low - pad, high + pad};
    }
};

// Maps data values linearly to pixels.
struct Scale {
    double low = 0.0;
    double high = 1.0;
    double pixelLow = 0.0;
    double pixelHigh = 1.0;

    [[nodiscard]] double operator()(double value) const {
        return pixelLow + (value - low) / (high - low) * (pixelHigh - pixelLow);
    }
};

struct Ticks {
    double step = 1.0;
    int decimals = 0;
};

// A 1-2-5 step giving about `target` ticks over `span`; a NaN step when there is no such step.
Ticks niceTicks(double span, double target) {
    const double rough = span / target;
    if (!std::isfinite(rough) || !(rough > 0.0)) {
        return {std::numeric_limits<double>::quiet_NaN(), 0};
    }
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    const double fraction = rough / magnitude;
    const double nice = fraction < 1.5 ? 1.0 : fraction < 3.5 ? 2.0 : fraction < 7.5 ? 5.0 : 10.0;
    const double step = nice * magnitude;
    constexpr double MAX_DECIMALS = 12.0;
    return {step, static_cast<int>(std::clamp(-std::floor(std::log10(step)), 0.0, MAX_DECIMALS))};
}

class SvgBuilder {
  public:
    void add(std::string_view text) { out_ += text; }

    void text(double x, double y, std::string_view content, std::string_view cls,
              std::string_view anchor = "start") {
        out_ += "<text x=\"" + pixel(x) + "\" y=\"" + pixel(y) + "\" class=\"" + std::string(cls) +
                "\" text-anchor=\"" + std::string(anchor) + "\">" + escapeXml(content) +
                "</text>\n";
    }

    void rect(double x, double y, double width, double height, std::string_view cls) {
        out_ += "<rect x=\"" + pixel(x) + "\" y=\"" + pixel(y) + "\" width=\"" + pixel(width) +
                "\" height=\"" + pixel(height) + "\" class=\"" + std::string(cls) + "\"/>\n";
    }

    void line(double x1, double y1, double x2, double y2, std::string_view cls) {
        out_ += "<line x1=\"" + pixel(x1) + "\" y1=\"" + pixel(y1) + "\" x2=\"" + pixel(x2) +
                "\" y2=\"" + pixel(y2) + "\" class=\"" + std::string(cls) + "\"/>\n";
    }

    void path(const std::string& data, std::string_view cls) {
        if (!data.empty()) {
            out_ += "<path class=\"" + std::string(cls) + "\" d=\"" + data + "\"/>\n";
        }
    }

    [[nodiscard]] std::string finish() { return std::move(out_) + "</svg>\n"; }

  private:
    std::string out_;
};

// Path data through the points; a point with a non-finite coordinate breaks the line.
class PathData {
  public:
    void point(double x, double y) {
        if (!std::isfinite(x) || !std::isfinite(y)) {
            broken_ = true;
            return;
        }
        data_ += broken_ ? (data_.empty() ? "M" : " M") : " L";
        data_ += pixel(x) + " " + pixel(y);
        broken_ = false;
    }

    [[nodiscard]] const std::string& data() const noexcept { return data_; }

  private:
    std::string data_;
    bool broken_ = true;
};

constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

double smoothedValue(const SmoothedSample& sample, std::size_t channel) {
    return sample.accepted ? sample.values.at(channel) : NOT_A_NUMBER;
}

void drawValueTicks(SvgBuilder& svg, const Scale& scale, double left, double right, bool vertical) {
    const double low = std::min(scale.low, scale.high);
    const double high = std::max(scale.low, scale.high);
    const Ticks ticks = niceTicks(high - low, 5.0);
    if (!std::isfinite(ticks.step) || !(ticks.step > 0.0)) {
        return;
    }
    const double first = std::ceil(low / ticks.step) * ticks.step;
    constexpr int MAX_TICKS = 20;
    for (int k = 0; k < MAX_TICKS; ++k) {
        const double value = first + k * ticks.step;
        if (value > high) {
            break;
        }
        const double at = scale(value);
        if (vertical) {
            svg.line(left, at, right, at, "grid");
            svg.text(left - 6.0, at + 4.0, number(value, ticks.decimals), "tick", "end");
        } else {
            svg.line(at, left, at, right, "grid");
            svg.text(at, right + 15.0, number(value, ticks.decimals), "tick", "middle");
        }
    }
}

void drawTimePanel(SvgBuilder& svg, const Trace& trace, const SmoothedTrace& smoothed,
                   std::size_t channel, double top, const Scale& time, double origin,
                   bool lastPanel) {
    const double bottom = top + PANEL_HEIGHT;
    Range values;
    for (std::size_t i = 0; i < trace.samples.size(); ++i) {
        values.add(trace.samples[i].values[channel]);
        values.add(smoothedValue(smoothed.samples[i], channel));
    }
    const Range padded = values.padded(0.06);
    const Scale value{padded.low, padded.high, bottom, top};

    svg.rect(PANEL_LEFT, top, PANEL_WIDTH, PANEL_HEIGHT, "frame");
    drawValueTicks(svg, value, PANEL_LEFT, PANEL_LEFT + PANEL_WIDTH, true);
    drawValueTicks(svg, time, top, bottom, false);
    svg.text(PANEL_LEFT, top - 8.0, trace.channelNames[channel], "label");
    if (lastPanel) {
        svg.text(PANEL_LEFT + PANEL_WIDTH / 2.0, bottom + 34.0, "time since the first sample (s)",
                 "label", "middle");
    }

    // Runs of refused samples, as bands at least 2 px wide.
    for (std::size_t i = 0; i < trace.samples.size();) {
        if (smoothed.samples[i].accepted) {
            ++i;
            continue;
        }
        const double start = time((trace.samples[i].timestamp - origin) / 1000.0);
        while (i < trace.samples.size() && !smoothed.samples[i].accepted) {
            ++i;
        }
        const double end = time((trace.samples[i - 1].timestamp - origin) / 1000.0);
        svg.rect(start - 1.0, top, std::max(2.0, end - start + 2.0), PANEL_HEIGHT, "refused");
    }

    PathData raw;
    PathData smooth;
    for (std::size_t i = 0; i < trace.samples.size(); ++i) {
        const double x = time((trace.samples[i].timestamp - origin) / 1000.0);
        raw.point(x, value(trace.samples[i].values[channel]));
        smooth.point(x, value(smoothedValue(smoothed.samples[i], channel)));
    }
    svg.path(raw.data(), "raw");
    svg.path(smooth.data(), "smoothed");
}

// Where the 2-D path goes: one scale for both axes, so that the path keeps its shape.
struct PathLayout {
    Range x;
    Range y;
    double width = 0.0;
    double height = 0.0;
};

PathLayout layOutPath(const Trace& trace, const SmoothedTrace& smoothed, double maxHeight) {
    Range xs;
    Range ys;
    for (std::size_t i = 0; i < trace.samples.size(); ++i) {
        xs.add(trace.samples[i].values[0]);
        ys.add(trace.samples[i].values[1]);
        xs.add(smoothedValue(smoothed.samples[i], 0));
        ys.add(smoothedValue(smoothed.samples[i], 1));
    }
    PathLayout layout{xs.padded(0.04), ys.padded(0.04), 0.0, 0.0};
    const double unit = std::min(PATH_WIDTH / (layout.x.high - layout.x.low),
                                 maxHeight / (layout.y.high - layout.y.low));
    layout.width = unit * (layout.x.high - layout.x.low);
    layout.height = unit * (layout.y.high - layout.y.low);
    return layout;
}

void drawPathPanel(SvgBuilder& svg, const Trace& trace, const SmoothedTrace& smoothed,
                   const PathLayout& layout, double top) {
    const double left = PATH_LEFT;
    const Scale x{layout.x.low, layout.x.high, left, left + layout.width};
    const Scale y{layout.y.low, layout.y.high, top, top + layout.height};

    svg.rect(left, top, layout.width, layout.height, "frame");
    drawValueTicks(svg, y, left, left + layout.width, true);
    drawValueTicks(svg, x, top, top + layout.height, false);
    svg.text(left, top - 8.0,
             "path: " + trace.channelNames[0] + " across, " + trace.channelNames[1] + " down",
             "label");

    PathData raw;
    PathData smooth;
    for (std::size_t i = 0; i < trace.samples.size(); ++i) {
        raw.point(x(trace.samples[i].values[0]), y(trace.samples[i].values[1]));
        smooth.point(x(smoothedValue(smoothed.samples[i], 0)),
                     y(smoothedValue(smoothed.samples[i], 1)));
    }
    svg.path(raw.data(), "raw");
    svg.path(smooth.data(), "smoothed");
}

} // namespace

std::string renderSvgPlot(const Trace& trace, const SmoothedTrace& smoothed,
                          const PlotCaption& caption) {
    const std::size_t channels = trace.channelCount();
    const bool withPath = channels == 2 && !trace.samples.empty();
    const double panelsHeight = static_cast<double>(channels) * PANEL_HEIGHT +
                                static_cast<double>(channels > 0 ? channels - 1 : 0) * PANEL_GAP;
    const PathLayout path = withPath ? layOutPath(trace, smoothed, panelsHeight) : PathLayout{};
    // At least as wide as the caption needs.
    const double width =
        std::max(withPath ? PATH_LEFT + std::max(path.width, 200.0) : PANEL_LEFT + PANEL_WIDTH,
                 PANEL_LEFT + PANEL_WIDTH + 60.0) +
        RIGHT_MARGIN;
    const double height = PANELS_TOP + panelsHeight + 40.0 + BOTTOM_MARGIN;

    SvgBuilder svg;
    svg.add(R"(<?xml version="1.0" encoding="UTF-8"?>)"
            "\n");
    svg.add(R"(<svg xmlns="http://www.w3.org/2000/svg" width=")" + pixel(width) + R"(" height=")" +
            pixel(height) + R"(" viewBox="0 0 )" + pixel(width) + " " + pixel(height) + "\">\n");
    svg.add(STYLE);
    svg.add("<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n");
    svg.text(PANEL_LEFT, 30.0, caption.title, "title");
    svg.text(PANEL_LEFT, 50.0, caption.subtitle, "subtitle");
    svg.text(PANEL_LEFT, 68.0, caption.details, "subtitle");

    // Legend.
    constexpr double LEGEND_Y = 90.0;
    svg.line(PANEL_LEFT, LEGEND_Y, PANEL_LEFT + 28.0, LEGEND_Y, "raw");
    svg.text(PANEL_LEFT + 34.0, LEGEND_Y + 4.0, "raw", "tick");
    svg.line(PANEL_LEFT + 80.0, LEGEND_Y, PANEL_LEFT + 108.0, LEGEND_Y, "smoothed");
    svg.text(PANEL_LEFT + 114.0, LEGEND_Y + 4.0, "smoothed", "tick");
    svg.rect(PANEL_LEFT + 190.0, LEGEND_Y - 6.0, 12.0, 12.0, "refusedKey");
    svg.text(PANEL_LEFT + 208.0, LEGEND_Y + 4.0, "refused by the filter bank", "tick");

    if (!trace.samples.empty()) {
        Range times;
        for (const TraceSample& sample : trace.samples) {
            times.add(sample.timestamp);
        }
        const double span = (times.high - times.low) / 1000.0;
        const Scale time{0.0, span > 0.0 ? span : 1.0, PANEL_LEFT, PANEL_LEFT + PANEL_WIDTH};
        for (std::size_t channel = 0; channel < channels; ++channel) {
            const double top =
                PANELS_TOP + static_cast<double>(channel) * (PANEL_HEIGHT + PANEL_GAP);
            drawTimePanel(svg, trace, smoothed, channel, top, time, times.low,
                          channel + 1 == channels);
        }
        if (withPath) {
            drawPathPanel(svg, trace, smoothed, path, PANELS_TOP);
        }
    }
    return svg.finish();
}

} // namespace pelto::demo
