#include "CsvReader.hpp"

#include "DemoError.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <istream>
#include <streambuf>
#include <system_error>
#include <utility>

namespace pelto::demo {
namespace {

constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";
constexpr std::string_view SPACES = " \t";

std::string_view trim(std::string_view text) noexcept {
    const auto first = text.find_first_not_of(SPACES);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(SPACES);
    return text.substr(first, last - first + 1);
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

bool isHeader(const std::vector<CsvField>& fields) {
    return std::ranges::none_of(fields, [](const CsvField& field) {
        return !field.quoted && parseNumber(field.text).has_value();
    });
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

std::string fieldCountError(std::size_t count, std::size_t expected, std::size_t firstLine) {
    return std::to_string(count) + " fields, expected " + std::to_string(expected) +
           " as on line " + std::to_string(firstLine) + " (fields are separated by commas)";
}

} // namespace

CsvLineReader::CsvLineReader(std::istream& in, std::string sourceName, std::size_t maxFields)
    : in_(in)
    , sourceName_(std::move(sourceName))
    , maxFields_(maxFields) {}

void CsvLineReader::fail(std::size_t line, const std::string& what) const {
    throw DemoError(sourceName_ + ":" + std::to_string(line) + ": " + what);
}

// One line into text_, without its line end; false at the end of the input. Reads byte by byte
// from the stream's buffer, so that a line without end (a binary file, /dev/zero) stops at the
// limit instead of filling the memory.
bool CsvLineReader::readLine() {
    text_.clear();
    std::streambuf* const buffer = in_.rdbuf();
    if (buffer == nullptr) {
        return false;
    }
    using Traits = std::streambuf::traits_type;
    Traits::int_type next = buffer->sbumpc();
    if (Traits::eq_int_type(next, Traits::eof())) {
        return false;
    }
    ++line_;
    for (; !Traits::eq_int_type(next, Traits::eof()); next = buffer->sbumpc()) {
        const char c = Traits::to_char_type(next);
        if (c == '\n') {
            break;
        }
        if (text_.size() == MAX_LINE_BYTES) {
            fail(line_, "the line is longer than " + std::to_string(MAX_LINE_BYTES) +
                            " bytes (1 MiB); is this a CSV file?");
        }
        text_.push_back(c);
    }
    return true;
}

void CsvLineReader::split(std::string_view text, std::vector<CsvField>& fields) const {
    std::size_t count = 0;
    std::size_t at = 0;
    while (true) {
        if (count == maxFields_) {
            fail(line_, "more than " + std::to_string(maxFields_) + " fields (a timestamp and " +
                            std::to_string(maxFields_ - 1) + " channels at most)");
        }
        if (fields.size() == count) {
            fields.emplace_back();
        }
        CsvField& field = fields[count++];
        field.text.clear();
        const std::size_t start = text.find_first_not_of(SPACES, at);
        field.quoted = start != std::string_view::npos && text[start] == '"';
        if (field.quoted) {
            at = start + 1;
            while (true) {
                const std::size_t quote = text.find('"', at);
                if (quote == std::string_view::npos) {
                    fail(line_, "field " + std::to_string(count) +
                                    ": its opening quote is not closed (a quoted field cannot "
                                    "span lines)");
                }
                field.text.append(text.substr(at, quote - at));
                at = quote + 1;
                if (at < text.size() && text[at] == '"') {
                    field.text.push_back('"');
                    ++at;
                    continue;
                }
                break;
            }
            at = std::min(text.size(), text.find_first_not_of(SPACES, at));
            if (at < text.size() && text[at] != ',') {
                fail(line_, "field " + std::to_string(count) +
                                ": text after the closing quote (a quote inside a quoted field "
                                "is written twice)");
            }
        } else {
            const std::size_t comma = std::min(text.size(), text.find(',', at));
            field.text.assign(trim(text.substr(at, comma - at)));
            at = comma;
        }
        if (at >= text.size()) {
            fields.resize(count);
            return;
        }
        ++at; // the comma
    }
}

bool CsvLineReader::next(std::vector<CsvField>& fields) {
    while (readLine()) {
        std::string_view view = text_;
        if (line_ == 1 && view.starts_with(BYTE_ORDER_MARK)) {
            view.remove_prefix(BYTE_ORDER_MARK.size());
        }
        if (view.ends_with('\r')) {
            view.remove_suffix(1);
        }
        if (!trim(view).empty()) {
            split(view, fields);
            return true;
        }
    }
    return false;
}

NumberReading readNumber(std::string_view field) noexcept {
    std::string_view text = trim(field);
    // from_chars takes no plus sign; a second sign after it stays an error.
    if (text.size() > 1 && text.front() == '+' && text[1] != '-' && text[1] != '+') {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return {};
    }
    double value = 0.0;
    const char* const end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ptr != end) {
        return {};
    }
    if (ec == std::errc::result_out_of_range) {
        return {0.0, NumberStatus::OUT_OF_RANGE};
    }
    if (ec != std::errc()) {
        return {};
    }
    return {value, NumberStatus::OK};
}

std::optional<double> parseNumber(std::string_view field) noexcept {
    const NumberReading reading = readNumber(field);
    if (reading.status != NumberStatus::OK) {
        return std::nullopt;
    }
    return reading.value;
}

CsvTable parseCsvTable(std::istream& in, const std::string& sourceName) {
    CsvLineReader reader(in, sourceName, 2 * MAX_CHANNELS + 2);
    CsvTable table;
    std::vector<CsvField> fields;
    std::size_t firstLine = 0;
    std::size_t expected = 0;
    while (reader.next(fields)) {
        if (firstLine == 0) {
            firstLine = reader.line();
            expected = fields.size();
            if (isHeader(fields)) {
                for (const CsvField& field : fields) {
                    table.header.push_back(field.text);
                }
                continue;
            }
        } else if (fields.size() != expected) {
            reader.fail(reader.line(), fieldCountError(fields.size(), expected, firstLine));
        }
        CsvRow row{reader.line(), {}};
        for (const CsvField& field : fields) {
            row.fields.push_back(field.text);
        }
        table.rows.push_back(std::move(row));
    }
    if (firstLine == 0) {
        reader.fail(std::max<std::size_t>(reader.line(), 1),
                    "the file is empty; expected lines of timestamp,value[,value...]");
    }
    if (table.rows.empty()) {
        reader.fail(reader.line(),
                    "no samples after the header on line " + std::to_string(firstLine));
    }
    return table;
}

Trace parseTraceCsv(std::istream& in, const std::string& sourceName) {
    CsvLineReader reader(in, sourceName, MAX_CHANNELS + 1);
    std::vector<CsvField> fields;
    if (!reader.next(fields)) {
        reader.fail(std::max<std::size_t>(reader.line(), 1),
                    "the file is empty; expected lines of timestamp,value[,value...]");
    }
    const std::size_t firstLine = reader.line();
    const std::size_t columns = fields.size();
    Trace trace;
    std::vector<std::string> header;
    bool haveRow = true;
    if (isHeader(fields)) {
        for (CsvField& field : fields) {
            header.push_back(std::move(field.text));
        }
        haveRow = reader.next(fields);
        if (!haveRow) {
            reader.fail(reader.line(),
                        "no samples after the header on line " + std::to_string(firstLine));
        }
    }
    if (columns < 2) {
        reader.fail(reader.line(), "need a timestamp column and at least one channel, found 1 "
                                   "column (fields are separated by commas)");
    }
    if (!header.empty() && !header.front().empty()) {
        trace.timestampName = header.front();
    }
    for (std::size_t column = 1; column < columns; ++column) {
        const bool named = !header.empty() && !header[column].empty();
        trace.channelNames.push_back(named ? header[column] : "channel" + std::to_string(column));
    }

    // Beyond +-2^63 ms a timestamp cannot be truncated to whole milliseconds.
    constexpr double TIMESTAMP_LIMIT = 9223372036854775808.0;
    std::vector<double> values(columns - 1);
    for (; haveRow; haveRow = reader.next(fields)) {
        const std::size_t line = reader.line();
        if (fields.size() != columns) {
            reader.fail(line, fieldCountError(fields.size(), columns, firstLine));
        }
        const std::string& timeText = fields.front().text;
        const NumberReading timestamp = readNumber(timeText);
        if (timestamp.status == NumberStatus::NOT_A_NUMBER) {
            reader.fail(line, "timestamp " + inQuotes(timeText) + " is not a number");
        }
        if (timestamp.status == NumberStatus::OK && !std::isfinite(timestamp.value)) {
            reader.fail(line, "timestamp " + inQuotes(timeText) + " is not a finite number");
        }
        if (timestamp.status == NumberStatus::OUT_OF_RANGE || timestamp.value < -TIMESTAMP_LIMIT ||
            timestamp.value >= TIMESTAMP_LIMIT) {
            reader.fail(line, "timestamp " + inQuotes(timeText) +
                                  " is out of range (milliseconds within +-2^63)");
        }
        for (std::size_t column = 1; column < columns; ++column) {
            const std::string& text = fields[column].text;
            const NumberReading value =
                text.empty() ? NumberReading{std::nan(""), NumberStatus::OK} : readNumber(text);
            if (value.status != NumberStatus::OK) {
                reader.fail(line,
                            "column " + std::to_string(column + 1) + " (" +
                                printable(trace.channelNames[column - 1]) + "): " + inQuotes(text) +
                                (value.status == NumberStatus::OUT_OF_RANGE ? " is out of range"
                                                                            : " is not a number"));
            }
            values[column - 1] = value.value;
        }
        trace.addSample(timestamp.value, values);
    }
    return trace;
}

Trace readTraceCsv(const std::filesystem::path& path) {
    std::ifstream in = openForReading(path);
    return parseTraceCsv(in, path.string());
}

} // namespace pelto::demo
