#include "Report.hpp"

#include "CsvWriter.hpp"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

namespace pelto::demo {

using tuning::Measurement;

std::string significant(double value, int digits) {
    if (std::isnan(value)) {
        return "n/a";
    }
    std::ostringstream text;
    text << std::setprecision(digits) << value;
    return text.str();
}

std::string fixed(double value, int decimals) {
    if (std::isnan(value)) {
        return "n/a";
    }
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << value;
    return text.str();
}

std::string jitterChange(const Measurement& summary) {
    if (!(summary.rawJitter > 0.0)) {
        return summary.smoothedJitter == 0.0 ? "unchanged: the raw signal is still"
                                             : "the raw signal is still";
    }
    const double change = 100.0 * (summary.jitterRatio - 1.0);
    std::string text = change > 0.0 ? "+" : "";
    text += fixed(change, 0);
    text += '%';
    return text;
}

void printRow(std::string_view label, const std::string& value) {
    std::cout << "  " << std::left << std::setw(18) << label << value << '\n';
}

std::string describeTrace(const DemoOptions& options, const Trace& trace) {
    constexpr std::size_t MAX_NAMES_SHOWN = 8;
    std::string names;
    for (std::size_t i = 0; i < std::min(trace.channelCount(), MAX_NAMES_SHOWN); ++i) {
        names += (names.empty() ? "" : ", ") + trace.channelNames[i];
    }
    if (trace.channelCount() > MAX_NAMES_SHOWN) {
        names += " and " + std::to_string(trace.channelCount() - MAX_NAMES_SHOWN) + " more";
    }
    const std::string source =
        options.input ? options.input->string() : "synthetic, seed " + std::to_string(options.seed);
    const std::size_t count = trace.sampleCount();
    return source + ": " + std::to_string(count) + (count == 1 ? " sample of " : " samples of ") +
           names;
}

std::string describeBank(const Trace& trace, const BankParameters& bank) {
    return "OneEuroFilterManager(count " + std::to_string(trace.channelCount()) + ", freq " +
           formatNumber(bank.freq) + ", minCutOff " + formatNumber(bank.minCutOff) + ", beta " +
           formatNumber(bank.beta) + ", dCutOff " + formatNumber(bank.dCutOff) + ", timestamps " +
           (bank.precision == TimestampPrecision::EXACT ? "exact" : "whole milliseconds") +
           ", derivative of the " +
           (bank.derivative == DerivativeSource::FILTERED ? "filtered" : "raw") + " signal)";
}

std::string describeLags(const Measurement& measurement) {
    return "mean " + fixed(measurement.meanLagMs, 1) + ", median " +
           fixed(measurement.medianLagMs, 1) + ", max " + fixed(measurement.maxLagMs, 1) + " ms";
}

void printSummary(const Measurement& summary) {
    const pelto::tuning::MeasuringOptions thresholds;
    if (summary.stillSteps == 0) {
        printRow("fixation jitter", "n/a: no fixation found");
    } else {
        printRow("fixation jitter", "raw " + significant(summary.rawJitter, 3) + ", smoothed " +
                                        significant(summary.smoothedJitter, 3) + " (" +
                                        jitterChange(summary) + "): RMS step over " +
                                        std::to_string(summary.stillSteps) + " steps");
    }
    const std::string progress = fixed(thresholds.lagProgress * 100.0, 0) + "% of the step";
    if (summary.movements == 0) {
        printRow("saccade lag", "n/a: no saccade found");
    } else if (summary.lagsMeasured == 0) {
        printRow("saccade lag", "n/a: none of the " + std::to_string(summary.movements) +
                                    " saccades could be followed to " + progress);
    } else {
        printRow("saccade lag",
                 describeLags(summary) + " to reach " + progress + ", " +
                     std::to_string(summary.lagsMeasured) + " of " +
                     std::to_string(summary.movements) + " saccades" +
                     (summary.lagsCensored == 0
                          ? std::string()
                          : " (" + std::to_string(summary.lagsCensored) +
                                " not reached before the next one: counted as that long)"));
    }
}

void printColumns(std::string_view label, const std::string& defaults,
                  const std::string& recommended) {
    std::cout << "  " << std::left << std::setw(18) << label << std::setw(16) << defaults
              << recommended << '\n';
}

std::string describeMovements(const Measurement& measurement) {
    return std::to_string(measurement.lagsMeasured) + " of " +
           std::to_string(measurement.movements) +
           (measurement.lagsCensored == 0
                ? std::string()
                : " (" + std::to_string(measurement.lagsCensored) + " not reached)");
}

} // namespace pelto::demo
