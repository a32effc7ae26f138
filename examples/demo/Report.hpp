#pragma once

// How pelto-demo reports: numbers, rows and the descriptions of what it smoothed and measured.

#include "DemoOptions.hpp"
#include "SmoothedTrace.hpp"
#include "Trace.hpp"

#include <pelto/tuning/Tuning.hpp>

#include <string>
#include <string_view>

namespace pelto::demo {

/// `value` with `digits` significant digits; "n/a" for NaN.
[[nodiscard]] std::string significant(double value, int digits);
/// `value` with `decimals` decimals; "n/a" for NaN.
[[nodiscard]] std::string fixed(double value, int decimals);
/// How much the smoothing changed the jitter, as a percentage when there was jitter to change.
[[nodiscard]] std::string jitterChange(const tuning::Measurement& summary);
/// One row of the report: the label in a column, then the value.
void printRow(std::string_view label, const std::string& value);
/// The trace's source, sample count and channel names.
[[nodiscard]] std::string describeTrace(const DemoOptions& options, const Trace& trace);
/// The bank as constructed for the trace, choices included.
[[nodiscard]] std::string describeBank(const Trace& trace, const BankParameters& bank);
/// The lag figures of a measurement, in milliseconds.
[[nodiscard]] std::string describeLags(const tuning::Measurement& measurement);
/// What the smoothing did to the jitter in fixations and to the lag behind saccades.
void printSummary(const tuning::Measurement& summary);
/// One line of the side-by-side table of the tuning report.
void printColumns(std::string_view label, const std::string& defaults,
                  const std::string& recommended);
/// How many movements got a lag, and how many of those were censored.
[[nodiscard]] std::string describeMovements(const tuning::Measurement& measurement);

} // namespace pelto::demo
