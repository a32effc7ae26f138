#pragma once

#include "SmoothedTrace.hpp"
#include "Trace.hpp"

#include <iosfwd>
#include <string>
#include <string_view>

namespace pelto::demo {

/// The shortest decimal text that reads back (parseNumber) as exactly `value`:
/// "12.205030965084358", "1e+22", "nan", "-inf".
[[nodiscard]] std::string formatNumber(double value);

/// `name` as a CSV field that reads back as `name` and as a name: quoted, with inner quotes
/// doubled, when it holds a comma, a quote or a control byte, has surrounding spaces or tabs,
/// starts with a byte order mark, or reads as a number.
[[nodiscard]] std::string csvField(std::string_view name);

/// Writes the smoothing result as CSV, one line per sample:
/// `timestamp,accepted,<channel>...,<channel>_smoothed...`. `accepted` is 1 when the bank
/// answered true and 0 when it refused the sample; the raw columns repeat the input and the
/// smoothed columns hold the bank's values, empty on refused lines. Every number reads back
/// exactly, and the file is valid input for the demo. `smoothed` must be the result for `trace`.
void writeSmoothedCsv(std::ostream& out, const Trace& trace, const SmoothedTrace& smoothed);

} // namespace pelto::demo
