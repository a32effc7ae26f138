#include "CsvReader.hpp"

#include "DemoError.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <istream>
#include <system_error>
#include <utility>

namespace pelto::demo {
namespace {

constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";

std::string_view trim(std::string_view text) noexcept {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::vector<std::string> splitFields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        const auto comma = line.find(',', start);
        fields.emplace_back(trim(line.substr(start, comma - start)));
        if (comma == std::string_view::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

// Header names may come quoted from spreadsheets: "x" and "say ""hi""".
std::string unquote(std::string_view field) {
    if (field.size() < 2 || field.front() != '"' || field.back() != '"') {
        return std::string(field);
    }
    std::string name;
    const std::string_view inner = field.substr(1, field.size() - 2);
    for (std::size_t i = 0; i < inner.size(); ++i) {
        name.push_back(inner[i]);
        if (inner[i] == '"' && i + 1 < inner.size() && inner[i + 1] == '"') {
            ++i;
        }
    }
    return name;
}

// Text from the file as it is safe to print: control bytes replaced, long texts shortened.
std::string printable(std::string_view text) {
    constexpr std::size_t MAX_SHOWN = 40;
    std::string shown;
    for (const char c : text.substr(0, MAX_SHOWN)) {
        const auto byte = static_cast<unsigned char>(c);
        shown.push_back(byte < 0x20 || byte == 0x7F ? '?' : c);
    }
    if (text.size() > MAX_SHOWN) {
        shown += "...";
    }
    return shown;
}

std::string inQuotes(std::string_view text) {
    std::string shown(1, '\'');
    shown += printable(text);
    shown += '\'';
    return shown;
}

[[noreturn]] void fail(const std::string& sourceName, std::size_t line, const std::string& what) {
    throw DemoError(sourceName + ":" + std::to_string(line) + ": " + what);
}

bool isHeader(const std::vector<std::string>& fields) {
    return std::ranges::none_of(
        fields, [](const std::string& field) { return parseNumber(field).has_value(); });
}

std::ifstream openForReading(const std::filesystem::path& path) {
    const std::string name = path.string();
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        throw DemoError(name + ": no such file");
    }
    if (status.type() == std::filesystem::file_type::directory) {
        throw DemoError(name + ": is a directory, not a CSV file");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw DemoError(name + ": cannot be opened for reading" +
                        (error ? " (" + error.message() + ")" : std::string()));
    }
    return in;
}

} // namespace

std::optional<double> parseNumber(std::string_view field) noexcept {
    std::string_view text = trim(field);
    // from_chars takes no plus sign; a second sign after it stays an error.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    double value = 0.0;
    const char* const end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

CsvTable parseCsvTable(std::istream& in, const std::string& sourceName) {
    CsvTable table;
    std::size_t expectedFields = 0;
    std::size_t firstLine = 0;
    std::size_t lineNumber = 0;
    std::string line;
    while (std::getline(in, line)) {
        ++lineNumber;
        std::string_view view = line;
        if (lineNumber == 1 && view.starts_with(BYTE_ORDER_MARK)) {
            view.remove_prefix(BYTE_ORDER_MARK.size());
        }
        if (view.ends_with('\r')) {
            view.remove_suffix(1);
        }
        if (trim(view).empty()) {
            continue;
        }
        std::vector<std::string> fields = splitFields(view);
        if (firstLine == 0) {
            firstLine = lineNumber;
            expectedFields = fields.size();
            if (isHeader(fields)) {
                for (const auto& field : fields) {
                    table.header.push_back(unquote(field));
                }
                continue;
            }
        } else if (fields.size() != expectedFields) {
            fail(sourceName, lineNumber,
                 std::to_string(fields.size()) + " fields, expected " +
                     std::to_string(expectedFields) + " as on line " + std::to_string(firstLine) +
                     " (fields are separated by commas)");
        }
        table.rows.push_back({lineNumber, std::move(fields)});
    }
    if (in.bad()) {
        throw DemoError(sourceName + ": read error after line " + std::to_string(lineNumber));
    }
    if (firstLine == 0) {
        throw DemoError(sourceName + ":" + std::to_string(lineNumber == 0 ? 1 : lineNumber) +
                        ": the file is empty; expected lines of timestamp,value[,value...]");
    }
    if (table.rows.empty()) {
        fail(sourceName, lineNumber,
             "no samples after the header on line " + std::to_string(firstLine));
    }
    return table;
}

CsvTable readCsvTable(const std::filesystem::path& path) {
    std::ifstream in = openForReading(path);
    return parseCsvTable(in, path.string());
}

Trace parseTraceCsv(std::istream& in, const std::string& sourceName) {
    CsvTable table = parseCsvTable(in, sourceName);
    const std::size_t columns = table.rows.front().fields.size();
    if (columns < 2) {
        fail(sourceName, table.rows.front().line,
             "need a timestamp column and at least one channel, found 1 column (fields are "
             "separated by commas)");
    }

    Trace trace;
    if (!table.header.empty() && !table.header.front().empty()) {
        trace.timestampName = table.header.front();
    }
    for (std::size_t column = 1; column < columns; ++column) {
        const bool named = !table.header.empty() && !table.header[column].empty();
        trace.channelNames.push_back(named ? table.header[column]
                                           : "channel" + std::to_string(column));
    }

    // Beyond +-2^63 ms a timestamp cannot be truncated to whole milliseconds.
    constexpr double TIMESTAMP_LIMIT = 9223372036854775808.0;
    trace.samples.reserve(table.rows.size());
    for (const CsvRow& row : table.rows) {
        TraceSample sample;
        const std::string& timeText = row.fields.front();
        const std::optional<double> timestamp = parseNumber(timeText);
        if (!timestamp) {
            fail(sourceName, row.line, "timestamp " + inQuotes(timeText) + " is not a number");
        }
        if (!std::isfinite(*timestamp)) {
            fail(sourceName, row.line,
                 "timestamp " + inQuotes(timeText) + " is not a finite number");
        }
        if (*timestamp < -TIMESTAMP_LIMIT || *timestamp >= TIMESTAMP_LIMIT) {
            fail(sourceName, row.line,
                 "timestamp " + inQuotes(timeText) +
                     " is out of range (milliseconds within +-2^63)");
        }
        sample.timestamp = *timestamp;
        sample.values.reserve(columns - 1);
        for (std::size_t column = 1; column < columns; ++column) {
            const std::string& text = row.fields[column];
            const std::string where = "column " + std::to_string(column + 1) + " (" +
                                      printable(trace.channelNames[column - 1]) + ")";
            if (text.empty()) {
                fail(sourceName, row.line, where + " is empty; write nan for a missing value");
            }
            const std::optional<double> value = parseNumber(text);
            if (!value) {
                fail(sourceName, row.line, where + ": " + inQuotes(text) + " is not a number");
            }
            sample.values.push_back(*value);
        }
        trace.samples.push_back(std::move(sample));
    }
    return trace;
}

Trace readTraceCsv(const std::filesystem::path& path) {
    std::ifstream in = openForReading(path);
    return parseTraceCsv(in, path.string());
}

} // namespace pelto::demo
