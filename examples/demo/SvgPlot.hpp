#pragma once

#include "SmoothedTrace.hpp"
#include "Trace.hpp"

#include <string>

namespace pelto::demo {

/// Texts shown above the plot.
struct PlotCaption {
    std::string title;
    std::string subtitle;
    std::string details;
};

/// A self-contained SVG document (no scripts, fonts or links): one panel per channel, for the
/// first 8 channels, with the raw and the smoothed value over time and the samples the bank
/// refused marked; for a trace of two channels also the 2-D path, raw and smoothed, with the
/// second channel pointing down as on a screen. Its size does not grow with the sample count:
/// each time panel draws, per pixel column, the first, lowest, highest and last value that falls
/// into it, and the path shows at most 2000 samples, evenly spread. All text is valid UTF-8 and
/// escaped, whatever bytes the names hold. `smoothed` must be the result for `trace`.
[[nodiscard]] std::string renderSvgPlot(const Trace& trace, const SmoothedTrace& smoothed,
                                        const PlotCaption& caption);

} // namespace pelto::demo
