#pragma once

#include "Trace.hpp"

#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelto::demo {

/// One data line of a CSV file: its 1-based line number and its fields, spaces trimmed.
struct CsvRow {
    std::size_t line = 0;
    std::vector<std::string> fields;
};

/// A comma-separated file: an optional header and data rows that all have as many fields as
/// its first line.
struct CsvTable {
    std::vector<std::string> header; ///< empty when the file has none
    std::vector<CsvRow> rows;        ///< never empty
};

/// The number in `field` (surrounding spaces allowed): decimal or exponent notation with an
/// optional sign, or "nan" / "inf" in any case. No value for anything else, for an empty field,
/// and for a number outside the range of double.
[[nodiscard]] std::optional<double> parseNumber(std::string_view field) noexcept;

/// Reads a comma-separated table from `in`. The first non-blank line is a header when none of
/// its fields is a number. Blank lines are skipped; a UTF-8 byte order mark and CR line ends are
/// accepted. Throws DemoError, whose message starts with "<sourceName>:<line>:", for an empty
/// input, a table without data rows or a row whose field count differs from the first line's.
[[nodiscard]] CsvTable parseCsvTable(std::istream& in, const std::string& sourceName);

/// parseCsvTable() on the file at `path`; also throws DemoError naming the file when it is
/// missing, a directory or unreadable.
[[nodiscard]] CsvTable readCsvTable(const std::filesystem::path& path);

/// Reads a gaze recording: the first column is the timestamp in milliseconds (a finite number
/// within +-2^63), every further column one channel whose values are numbers, "nan" marking a
/// missing value. At least one channel. Throws DemoError naming the source and line.
[[nodiscard]] Trace parseTraceCsv(std::istream& in, const std::string& sourceName);

/// parseTraceCsv() on the file at `path`.
[[nodiscard]] Trace readTraceCsv(const std::filesystem::path& path);

} // namespace pelto::demo
