#include "SvgPlot.hpp"

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

constexpr double PANEL_LEFT = 70.0;
constexpr double PANEL_WIDTH = 640.0;
constexpr double PANEL_HEIGHT = 190.0;
constexpr double PANEL_GAP = 56.0;
constexpr double PANELS_TOP = 122.0;
constexpr double PATH_LEFT = PANEL_LEFT + PANEL_WIDTH + 90.0;
constexpr double PATH_WIDTH = 340.0;
constexpr double RIGHT_MARGIN = 30.0;
constexpr double BOTTOM_MARGIN = 20.0;

// Each time panel draws its lines through this many pixel columns, one per pixel.
constexpr std::size_t PIXEL_COLUMNS = 640;
// Channels beyond these are smoothed and written to the CSV, but not plotted.
constexpr std::size_t MAX_PLOTTED_CHANNELS = 8;
constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

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
  .movement { fill: #bf8700; fill-opacity: 0.15; }
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

// The length of the well-formed UTF-8 sequence at the start of `text`, 0 when there is none.
// Refuses overlong forms, surrogates, code points beyond U+10FFFF and the two non-characters
// U+FFFE and U+FFFF, which XML does not allow either.
std::size_t utf8Length(std::string_view text) noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80; // bounds of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    if (text.substr(0, length) == "\xEF\xBF\xBE" || text.substr(0, length) == "\xEF\xBF\xBF") {
        return 0;
    }
    return length;
}

// Text as XML character data: valid UTF-8 (each byte that starts no well-formed sequence becomes
// U+FFFD), markup characters escaped, control bytes, which XML 1.0 does not allow, replaced.
// At most MAX_TEXT_BYTES of the text are shown, cut between two characters.
std::string escapeXml(std::string_view text) {
    constexpr std::size_t MAX_TEXT_BYTES = 300;
    constexpr std::string_view REPLACEMENT = "\xEF\xBF\xBD";
    std::string escaped;
    std::size_t shown = 0;
    for (std::size_t at = 0; at < text.size();) {
        if (shown >= MAX_TEXT_BYTES) {
            escaped += "\u2026";
            break;
        }
        const std::size_t length = utf8Length(text.substr(at));
        ++shown;
        if (length == 0) {
            escaped += REPLACEMENT;
            ++at;
            continue;
        }
        if (length > 1) {
            escaped += text.substr(at, length);
            shown += length - 1;
            at += length;
            continue;
        }
        const char c = text[at++];
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
            escaped.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
        }
    }
    return escaped;
}

// A channel name as a label: at most 60 bytes, cut between two UTF-8 characters.
std::string shortName(std::string_view name) {
    constexpr std::size_t MAX_NAME_BYTES = 60;
    if (name.size() <= MAX_NAME_BYTES) {
        return std::string(name);
    }
    std::size_t cut = MAX_NAME_BYTES;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0U) == 0x80U) {
        --cut;
    }
    return std::string(name.substr(0, cut)) + "\u2026";
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

// Path data through the points; a point with a non-finite coordinate breaks the line, and a
// point on the same pixel as the one before is left out.
class PathData {
  public:
    void point(double x, double y) {
        if (!std::isfinite(x) || !std::isfinite(y)) {
            broken_ = true;
            return;
        }
        std::string at = pixel(x) + " " + pixel(y);
        if (!broken_ && at == last_) {
            return;
        }
        data_ += broken_ ? (data_.empty() ? "M" : " M") : " L";
        data_ += at;
        last_ = std::move(at);
        broken_ = false;
    }

    [[nodiscard]] const std::string& data() const noexcept { return data_; }

  private:
    std::string data_;
    std::string last_;
    bool broken_ = true;
};

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

// A pixel column of one line in a time panel: the first, lowest, highest and last finite value
// of the samples that fall into it, and when each came.
struct Column {
    std::size_t count = 0;
    double first = 0.0;
    double last = 0.0;
    double low = 0.0;
    double high = 0.0;
    std::size_t lowAt = 0;
    std::size_t highAt = 0;

    void add(double value, std::size_t index) {
        if (count++ == 0) {
            first = low = high = value;
            lowAt = highAt = index;
        } else if (value < low) {
            low = value;
            lowAt = index;
        } else if (value > high) {
            high = value;
            highAt = index;
        }
        last = value;
    }
};

// One line of a time panel thinned to what the pixels can show: a path through each pixel
// column's first, lowest, highest and last value (so spikes stay visible) that breaks where a
// value is missing. Its size grows with the panel's width, not with the number of samples.
class ColumnLine {
  public:
    explicit ColumnLine(std::size_t columns)
        : columns_(columns)
        , gaps_(columns, false) {}

    void add(std::size_t column, double value, std::size_t index) {
        if (std::isfinite(value)) {
            columns_[column].add(value, index);
        } else {
            gaps_[column] = true;
        }
    }

    [[nodiscard]] std::string pathData(const Scale& time, const Scale& value) const {
        PathData path;
        bool gap = false;
        for (std::size_t c = 0; c < columns_.size(); ++c) {
            gap = gap || gaps_[c];
            const Column& column = columns_[c];
            if (column.count == 0) {
                continue;
            }
            if (gap) {
                path.point(NOT_A_NUMBER, NOT_A_NUMBER);
                gap = gaps_[c];
            }
            const double x = time(static_cast<double>(c) + 0.5);
            const bool lowFirst = column.lowAt <= column.highAt;
            for (const double v : {column.first, lowFirst ? column.low : column.high,
                                   lowFirst ? column.high : column.low, column.last}) {
                path.point(x, value(v));
            }
        }
        return path.data();
    }

  private:
    std::vector<Column> columns_;
    std::vector<bool> gaps_;
};

// Which pixel column of a time panel each sample falls into.
class TimeColumns {
  public:
    TimeColumns(double low, double high, std::size_t count)
        : low_(low)
        , span_(high - low)
        , count_(count) {}

    [[nodiscard]] std::size_t count() const noexcept { return count_; }

    [[nodiscard]] std::size_t operator()(double timestamp) const noexcept {
        const double share = (timestamp - low_) / span_;
        if (!(share > 0.0)) { // also NaN: a single timestamp
            return 0;
        }
        const double column = std::floor(share * static_cast<double>(count_));
        return column >= static_cast<double>(count_ - 1) ? count_ - 1
                                                         : static_cast<std::size_t>(column);
    }

  private:
    double low_;
    double span_;
    std::size_t count_;
};

void drawTimePanel(SvgBuilder& svg, const Trace& trace, const SmoothedTrace& smoothed,
                   std::span<const tuning::DetectedMovement> movements, std::size_t channel,
                   double top, const TimeColumns& columns, const Scale& seconds, bool lastPanel) {
    const double bottom = top + PANEL_HEIGHT;
    const std::size_t count = trace.sampleCount();
    const std::size_t channels = trace.channelCount();
    Range values;
    ColumnLine raw(columns.count());
    ColumnLine smooth(columns.count());
    std::vector<bool> refused(columns.count(), false);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t column = columns(trace.timestamps[i]);
        const double rawValue = trace.values[i * channels + channel];
        const double smoothedValue = smoothed.values[i * channels + channel];
        values.add(rawValue);
        values.add(smoothedValue);
        raw.add(column, rawValue, i);
        smooth.add(column, smoothedValue, i);
        refused[column] = refused[column] || !smoothed.accepted(i);
    }
    const Range padded = values.padded(0.06);
    const Scale value{padded.low, padded.high, bottom, top};
    const Scale x{0.0, static_cast<double>(columns.count()), PANEL_LEFT, PANEL_LEFT + PANEL_WIDTH};

    svg.rect(PANEL_LEFT, top, PANEL_WIDTH, PANEL_HEIGHT, "frame");
    drawValueTicks(svg, value, PANEL_LEFT, PANEL_LEFT + PANEL_WIDTH, true);
    drawValueTicks(svg, seconds, top, bottom, false);
    svg.text(PANEL_LEFT, top - 8.0, shortName(trace.channelNames[channel]), "label");
    if (lastPanel) {
        svg.text(PANEL_LEFT + PANEL_WIDTH / 2.0, bottom + 34.0, "time since the first sample (s)",
                 "label", "middle");
    }

    for (const tuning::DetectedMovement& movement : movements) {
        const double start = x(static_cast<double>(columns(movement.startMs)));
        const double end = x(static_cast<double>(columns(movement.endMs) + 1));
        svg.rect(start, top, end - start, PANEL_HEIGHT, "movement");
    }
    // Runs of columns with refused samples, as bands at least 2 px wide.
    for (std::size_t c = 0; c < refused.size();) {
        if (!refused[c]) {
            ++c;
            continue;
        }
        const double start = x(static_cast<double>(c));
        while (c < refused.size() && refused[c]) {
            ++c;
        }
        const double end = x(static_cast<double>(c));
        svg.rect(start - 0.5, top, std::max(2.0, end - start + 1.0), PANEL_HEIGHT, "refused");
    }

    svg.path(raw.pathData(x, value), "raw");
    svg.path(smooth.pathData(x, value), "smoothed");
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
    for (std::size_t i = 0; i < trace.sampleCount(); ++i) {
        xs.add(trace.values[2 * i]);
        ys.add(trace.values[2 * i + 1]);
        xs.add(smoothed.values[2 * i]);
        ys.add(smoothed.values[2 * i + 1]);
    }
    PathLayout layout{xs.padded(0.04), ys.padded(0.04), 0.0, 0.0};
    const double unit = std::min(PATH_WIDTH / (layout.x.high - layout.x.low),
                                 maxHeight / (layout.y.high - layout.y.low));
    layout.width = unit * (layout.x.high - layout.x.low);
    layout.height = unit * (layout.y.high - layout.y.low);
    return layout;
}

// The 2-D path of a long trace shows every stride-th sample: a path has no pixel columns to
// thin by, and this keeps the plot's size bounded.
constexpr std::size_t MAX_PATH_POINTS = 2000;

void drawPathPanel(SvgBuilder& svg, const Trace& trace, const SmoothedTrace& smoothed,
                   const PathLayout& layout, double top) {
    const double left = PATH_LEFT;
    const Scale x{layout.x.low, layout.x.high, left, left + layout.width};
    const Scale y{layout.y.low, layout.y.high, top, top + layout.height};
    const std::size_t count = trace.sampleCount();
    const std::size_t stride = (count + MAX_PATH_POINTS - 1) / MAX_PATH_POINTS;

    svg.rect(left, top, layout.width, layout.height, "frame");
    drawValueTicks(svg, y, left, left + layout.width, true);
    drawValueTicks(svg, x, top, top + layout.height, false);
    svg.text(left, top - 8.0,
             "path: " + shortName(trace.channelNames[0]) + " across, " +
                 shortName(trace.channelNames[1]) + " down" +
                 (stride > 1 ? " (1 in every " + std::to_string(stride) + " samples)" : ""),
             "label");

    PathData raw;
    PathData smooth;
    for (std::size_t i = 0; i < count; i += stride) {
        raw.point(x(trace.values[2 * i]), y(trace.values[2 * i + 1]));
        smooth.point(x(smoothed.values[2 * i]), y(smoothed.values[2 * i + 1]));
    }
    svg.path(raw.data(), "raw");
    svg.path(smooth.data(), "smoothed");
}

} // namespace

std::string renderSvgPlot(const Trace& trace, const SmoothedTrace& smoothed,
                          const PlotCaption& caption,
                          std::span<const tuning::DetectedMovement> movements) {
    const std::size_t channels = std::min(trace.channelCount(), MAX_PLOTTED_CHANNELS);
    const bool withPath = trace.channelCount() == 2 && trace.sampleCount() > 0;
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
    svg.text(PANEL_LEFT, 68.0,
             caption.details +
                 (channels < trace.channelCount()
                      ? " \u00b7 plotted: the first " + std::to_string(channels) + " of " +
                            std::to_string(trace.channelCount()) + " channels"
                      : ""),
             "subtitle");

    // Legend.
    constexpr double LEGEND_Y = 90.0;
    svg.line(PANEL_LEFT, LEGEND_Y, PANEL_LEFT + 28.0, LEGEND_Y, "raw");
    svg.text(PANEL_LEFT + 34.0, LEGEND_Y + 4.0, "raw", "tick");
    svg.line(PANEL_LEFT + 80.0, LEGEND_Y, PANEL_LEFT + 108.0, LEGEND_Y, "smoothed");
    svg.text(PANEL_LEFT + 114.0, LEGEND_Y + 4.0, "smoothed", "tick");
    svg.rect(PANEL_LEFT + 190.0, LEGEND_Y - 6.0, 12.0, 12.0, "refusedKey");
    svg.text(PANEL_LEFT + 208.0, LEGEND_Y + 4.0, "refused by the filter bank", "tick");
    if (!movements.empty()) {
        svg.rect(PANEL_LEFT + 390.0, LEGEND_Y - 6.0, 12.0, 12.0, "movement");
        svg.text(PANEL_LEFT + 408.0, LEGEND_Y + 4.0, "movement found", "tick");
    }

    if (trace.sampleCount() > 0) {
        Range times;
        for (const double timestamp : trace.timestamps) {
            times.add(timestamp);
        }
        const double span = (times.high - times.low) / 1000.0;
        const Scale seconds{0.0, span > 0.0 ? span : 1.0, PANEL_LEFT, PANEL_LEFT + PANEL_WIDTH};
        const TimeColumns columns(times.low, times.high, PIXEL_COLUMNS);
        for (std::size_t channel = 0; channel < channels; ++channel) {
            const double top =
                PANELS_TOP + static_cast<double>(channel) * (PANEL_HEIGHT + PANEL_GAP);
            drawTimePanel(svg, trace, smoothed, movements, channel, top, columns, seconds,
                          channel + 1 == channels);
        }
        if (withPath) {
            drawPathPanel(svg, trace, smoothed, path, PANELS_TOP);
        }
    }
    return svg.finish();
}

} // namespace pelto::demo

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
