// The demo's plot of a smoothed trace: one time panel per channel and the 2-D path.

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

constexpr double PANEL_LEFT = 70.0;
constexpr double PANEL_WIDTH = 640.0;
constexpr double PANEL_HEIGHT = 190.0;
constexpr double PANEL_GAP = 56.0;
constexpr double PANELS_TOP = 122.0;
constexpr double PATH_LEFT = PANEL_LEFT + PANEL_WIDTH + 90.0;
constexpr double PATH_WIDTH = 340.0;

// Each time panel draws its lines through this many pixel columns, one per pixel.
constexpr std::size_t PIXEL_COLUMNS = 640;
// Channels beyond these are smoothed and written to the CSV, but not plotted.
constexpr std::size_t MAX_PLOTTED_CHANNELS = 8;

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
