#pragma once

#include "SmoothedTrace.hpp"
#include "Trace.hpp"

#include <pelto/tuning/Tuning.hpp>

#include <span>
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
/// escaped, whatever bytes the names hold. `smoothed` must be the result for `trace`. The time
/// panels shade `movements`.
[[nodiscard]] std::string renderSvgPlot(const Trace& trace, const SmoothedTrace& smoothed,
                                        const PlotCaption& caption,
                                        std::span<const tuning::DetectedMovement> movements = {});

/// A self-contained SVG document of a tuning sweep: the smoothed jitter (logarithmic axis)
/// against the mean lag of every parameter set of the grid, faint; the Pareto front as a line;
/// the class defaults and the recommendation marked and labelled; the lag budget as a vertical
/// line. Parameter sets lagging far beyond the budget and the marks are left out, and the
/// caption's details say how many. `result` must hold a recommendation.
[[nodiscard]] std::string renderTuningSvg(const tuning::TuningResult& result,
                                          const PlotCaption& caption);

} // namespace pelto::demo
