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

/// Longest line the reader takes, in bytes without the line end. Lines are read one at a time,
/// so this bounds what reading holds besides the numbers it keeps.
inline constexpr std::size_t MAX_LINE_BYTES = std::size_t{1} << 20U;

/// Most channels a recording may have besides its timestamp column.
inline constexpr std::size_t MAX_CHANNELS = 10000;

/// One field of a CSV line: its text, unquoted ("a ""b""" gives a "b"), and whether it was
/// quoted. Unquoted fields lose their surrounding spaces and tabs; quoted ones keep what is
/// inside the quotes.
struct CsvField {
    std::string text;
    bool quoted = false;
};

/// Reads a comma-separated file line by line, without ever holding more than one line.
/// Blank lines are skipped; a UTF-8 byte order mark and CR line ends are accepted. A quoted
/// field may hold commas and doubled quotes, but no line end.
class CsvLineReader {
  public:
    /// `maxFields`: a line with more fields is refused.
    CsvLineReader(std::istream& in, std::string sourceName, std::size_t maxFields);

    /// The fields of the next non-blank line; false at the end of the input. Throws DemoError
    /// for a line longer than MAX_LINE_BYTES, a quote that is not closed, text after a closing
    /// quote and a line of more than maxFields fields.
    bool next(std::vector<CsvField>& fields);

    /// The 1-based number of the line next() read last (0 before the first).
    [[nodiscard]] std::size_t line() const noexcept { return line_; }

    /// Throws DemoError "<sourceName>:<line>: <what>".
    [[noreturn]] void fail(std::size_t line, const std::string& what) const;

  private:
    bool readLine();
    void split(std::string_view text, std::vector<CsvField>& fields) const;

    std::istream& in_;
    std::string sourceName_;
    std::size_t maxFields_;
    std::size_t line_ = 0;
    std::string text_;
};

/// One data line of a CSV file: its 1-based line number and its fields.
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

/// What reading a number found.
enum class NumberStatus { OK, NOT_A_NUMBER, OUT_OF_RANGE };

struct NumberReading {
    double value = 0.0;
    NumberStatus status = NumberStatus::NOT_A_NUMBER;
};

/// The number in `field` (surrounding spaces allowed): decimal or exponent notation with an
/// optional sign, or "nan" / "inf" in any case. OUT_OF_RANGE for a number beyond the range of
/// double ("1e400"); NOT_A_NUMBER for anything else that is not a number, and an empty field.
[[nodiscard]] NumberReading readNumber(std::string_view field) noexcept;

/// readNumber()'s value, when it is one.
[[nodiscard]] std::optional<double> parseNumber(std::string_view field) noexcept;

/// Reads a comma-separated table from `in`. The first non-blank line is a header when none of
/// its unquoted fields is a number. Throws DemoError, whose message starts with
/// "<sourceName>:<line>:", for an empty input, a table without data rows, a row whose field
/// count differs from the first line's, and whatever CsvLineReader refuses.
[[nodiscard]] CsvTable parseCsvTable(std::istream& in, const std::string& sourceName);

/// Reads a gaze recording as a stream: the first column is the timestamp in milliseconds (a
/// finite number within +-2^63), every further column one channel whose values are numbers,
/// "nan" or an empty field marking a missing value. One to MAX_CHANNELS channels. A header line
/// as parseCsvTable() detects it is optional. Throws DemoError naming the source and line.
[[nodiscard]] Trace parseTraceCsv(std::istream& in, const std::string& sourceName);

/// parseTraceCsv() on the file at `path`.
[[nodiscard]] Trace readTraceCsv(const std::filesystem::path& path);

} // namespace pelto::demo
