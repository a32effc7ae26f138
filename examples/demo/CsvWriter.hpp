#pragma once

#include "SmoothedTrace.hpp"
#include "Trace.hpp"

#include <string>

namespace pelto::demo {

/// The shortest decimal text that reads back (parseNumber) as exactly `value`:
/// "12.205030965084358", "1e+22", "nan", "-inf".
[[nodiscard]] std::string formatNumber(double value);

/// `name` as a CSV field: quoted, with inner quotes doubled, when it holds a comma, a quote or
/// surrounding spaces.
[[nodiscard]] std::string csvField(const std::string& name);

/// The smoothing result as CSV text, one line per sample:
/// `timestamp,accepted,<channel>...,<channel>_smoothed...`. `accepted` is 1 when the bank
/// answered true and 0 when it refused the sample; the raw columns repeat the input and the
/// smoothed columns hold the bank's values, empty on refused lines. Every number reads back
/// exactly. `smoothed` must have one entry per sample of `trace`.
[[nodiscard]] std::string formatSmoothedCsv(const Trace& trace, const SmoothedTrace& smoothed);

} // namespace pelto::demo
