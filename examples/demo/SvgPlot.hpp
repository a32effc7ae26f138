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

/// A self-contained SVG document (no scripts, fonts or links): one panel per channel with the
/// raw and the smoothed value over time and the samples the bank refused marked; for a trace
/// of two channels also the 2-D path, raw and smoothed, with the second channel pointing down as
/// on a screen. `smoothed` must have one entry per sample of `trace`.
[[nodiscard]] std::string renderSvgPlot(const Trace& trace, const SmoothedTrace& smoothed,
                                        const PlotCaption& caption);

} // namespace pelto::demo
