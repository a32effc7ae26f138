#include "demo/CsvReader.hpp"
#include "demo/CsvWriter.hpp"
#include "demo/DemoError.hpp"
#include "demo/OutputFiles.hpp"
#include "demo/SmoothedTrace.hpp"
#include "demo/SyntheticTrace.hpp"

#include <pelto/filters/OneEuroFilterManager.hpp>

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <ostream>
#include <span>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace pelto::demo {
namespace {

namespace fs = std::filesystem;

// A fresh, empty folder for one test.
fs::path scratchFolder(const std::string& name) {
    fs::path folder = fs::path(testing::TempDir()) / ("DemoCsvTest-" + name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const DemoError& error) {
        return error.what();
    }
    return "no error";
}

TEST(TraceCsvTest, BadInputIsNamedByFileAndLine) {
    const std::string tooManyFields = [] {
        std::string line = "0";
        for (std::size_t i = 0; i <= MAX_CHANNELS; ++i) {
            line += ",1";
        }
        return line;
    }();
    const std::vector<std::pair<std::string, std::string>> cases{
        {"", "trace.csv:1: the file is empty; expected lines of timestamp,value[,value...]"},
        {"\n \r\n", "trace.csv:2: the file is empty; expected lines of timestamp,value[,value...]"},
        {"t,x,y\n\n", "trace.csv:2: no samples after the header on line 1"},
        {"t,x\n0,1\n16,abc\n", "trace.csv:3: column 2 (x): 'abc' is not a number"},
        {"0,1\n16,1e400\n", "trace.csv:2: column 2 (channel1): '1e400' is out of range"},
        {"0,1\n16,\x01x\n", "trace.csv:2: column 2 (channel1): '?x' is not a number"},
        {"0,1,2\n\n16,1\n",
         "trace.csv:3: 2 fields, expected 3 as on line 1 (fields are separated by commas)"},
        {"t,\"a,b\"\n0,1,2\n",
         "trace.csv:2: 3 fields, expected 2 as on line 1 (fields are separated by commas)"},
        {"t,x\n0,\"1\n2\"\n", "trace.csv:2: field 2: its opening quote is not closed (a quoted "
                              "field cannot span lines)"},
        {"t,\"x\"y\n", "trace.csv:1: field 2: text after the closing quote (a quote inside a "
                       "quoted field is written twice)"},
        {"t,x\nnan,1\n", "trace.csv:2: timestamp 'nan' is not a finite number"},
        {"0,1\nnext,2\n", "trace.csv:2: timestamp 'next' is not a number"},
        {"\"0\",\"1\"\n", "trace.csv:1: no samples after the header on line 1"},
        {"0,1\n9223372036854775808,2\n",
         "trace.csv:2: timestamp '9223372036854775808' is out of range (milliseconds within "
         "+-2^63)"},
        {"0,1\n1e400,2\n",
         "trace.csv:2: timestamp '1e400' is out of range (milliseconds within +-2^63)"},
        {"t;x\n0;1\n", "trace.csv:2: need a timestamp column and at least one channel, found 1 "
                       "column (fields are separated by commas)"},
        {tooManyFields,
         "trace.csv:1: more than 10001 fields (a timestamp and 10000 channels at most)"},
        {"0,1\n" + std::string(MAX_LINE_BYTES + 1, '\0'),
         "trace.csv:2: the line is longer than 1048576 bytes (1 MiB); is this a CSV file?"}};
    for (const auto& [content, message] : cases) {
        std::istringstream in(content);
        EXPECT_EQ(errorOf([&in] { (void)parseTraceCsv(in, "trace.csv"); }), message);
    }
    const fs::path folder = scratchFolder("missing");
    EXPECT_EQ(errorOf([&] { (void)readTraceCsv(folder / "nothing.csv"); }),
              (folder / "nothing.csv").string() + ": no such file");
    EXPECT_EQ(errorOf([&] { (void)readTraceCsv(folder); }),
              folder.string() + ": is a directory, not a CSV file");
}

// A trace as one text: names, then each sample's timestamp and values.
std::string describe(const Trace& trace) {
    std::string text = "[" + trace.timestampName + "]";
    for (const auto& name : trace.channelNames) {
        text += "[" + name + "]";
    }
    for (std::size_t i = 0; i < trace.sampleCount(); ++i) {
        text += " " + formatNumber(trace.timestamps[i]) + ":";
        for (const double value : trace.sampleValues(i)) {
            text += formatNumber(value) + ";";
        }
    }
    return text;
}

TEST(TraceCsvTest, HeaderIsOptionalAndFieldsMayBeQuoted) {
    const std::string longLine = "0," + std::string(MAX_LINE_BYTES - 5, ' ') + "1,2";
    const std::vector<std::pair<std::string, std::string>> cases{
        {"\xEF\xBB\xBF time , \"x\" ,\"say \"\"y\"\"\"\r\n0,1,+2\r\n\r\n16.5, -3e2 ,NaN\r\n",
         "[time][x][say \"y\"] 0:1;2; 16.5:-300;nan;"},
        {"0,1,2\n16,3,4\n", "[timestamp][channel1][channel2] 0:1;2; 16:3;4;"},
        {"ms,\"1\",\"2\"\n0,1,2\n", "[ms][1][2] 0:1;2;"},
        {"t,\"a,b\",\" c \",\"\"\n\"0\",\"1\",,\"\"\n", "[t][a,b][ c ][channel3] 0:1;nan;nan;"},
        {",x\n0,1\n", "[timestamp][x] 0:1;"},
        {longLine + "\n", "[timestamp][channel1][channel2] 0:1;2;"}};
    for (const auto& [content, expected] : cases) {
        std::istringstream in(content);
        EXPECT_EQ(describe(parseTraceCsv(in, "a.csv")), expected);
    }
}

TEST(CsvNumberTest, EveryDoubleReadsBackBitForBit) {
    for (const double value :
         {0.1, 1.0 / 3.0, -0.0, 12.205030965084358, 1e22, 9007199254740993.0,
          std::numeric_limits<double>::denorm_min(), std::numeric_limits<double>::min(),
          -std::numeric_limits<double>::max(), std::numeric_limits<double>::infinity()}) {
        const std::optional<double> back = parseNumber(formatNumber(value));
        ASSERT_TRUE(back.has_value()) << formatNumber(value);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(*back), std::bit_cast<std::uint64_t>(value));
    }
    EXPECT_TRUE(std::isnan(parseNumber(formatNumber(std::nan(""))).value_or(0.0)));
    for (const char* bad : {"", " ", "0x10", "1e", "--1", "+-1", "1 2", "1,5", "1.5.2", "1e400x"}) {
        EXPECT_EQ(readNumber(bad).status, NumberStatus::NOT_A_NUMBER) << bad;
    }
    for (const char* huge : {"1e400", "-1e400", "+1e400"}) {
        EXPECT_EQ(readNumber(huge).status, NumberStatus::OUT_OF_RANGE) << huge;
    }
}

// The written CSV holds exactly what a bank of the same parameters answers, sample by sample,
// with refused samples marked and their smoothed fields empty.
TEST(SmoothedCsvTest, ReadsBackToTheBanksResults) {
    Trace trace = makeSyntheticTrace(7);
    // A repeated timestamp.
    trace.timestamps.insert(trace.timestamps.begin() + 40, trace.timestamps[39]);
    trace.values.insert(trace.values.begin() + 80, trace.values.begin() + 78,
                        trace.values.begin() + 80);
    const BankParameters parameters{{.freq = 60.0, .minCutOff = 0.5, .beta = 0.02, .dCutOff = 1.5}};
    const SmoothedTrace smoothed = smoothTrace(trace, parameters);
    const fs::path file = scratchFolder("roundtrip") / "smoothed.csv";
    writeOutputFiles({{file, [&](std::ostream& out) { writeSmoothedCsv(out, trace, smoothed); }}});
    std::ifstream written(file);
    const CsvTable table = parseCsvTable(written, file.string());
    EXPECT_EQ(table.header, (std::vector<std::string>{"timestamp", "accepted", "x", "y",
                                                      "x_smoothed", "y_smoothed"}));
    ASSERT_EQ(table.rows.size(), trace.sampleCount());

    OneEuroFilterManager bank(2, parameters.freq, parameters.minCutOff, parameters.beta,
                              parameters.dCutOff, pelto::TimestampPrecision::EXACT);
    std::size_t refused = 0;
    for (std::size_t i = 0; i < trace.sampleCount(); ++i) {
        const std::span<const double> sample = trace.sampleValues(i);
        const std::vector<std::string>& fields = table.rows[i].fields;
        const bool accepted = bank.filterValues(trace.timestamps[i], sample);
        refused += accepted ? 0 : 1;
        ASSERT_EQ(fields.size(), 6U);
        EXPECT_EQ(parseNumber(fields[0]), trace.timestamps[i]);
        EXPECT_EQ(fields[1], accepted ? "1" : "0") << "line " << table.rows[i].line;
        for (std::size_t channel = 0; channel < 2; ++channel) {
            EXPECT_EQ(fields[2 + channel], formatNumber(sample[channel]));
            EXPECT_EQ(parseNumber(fields[4 + channel]),
                      accepted ? std::optional(bank.getFilteredValues()[channel]) : std::nullopt);
        }
    }
    EXPECT_GT(refused, 1U); // the synthetic trace's dropout and the repeated timestamp
    EXPECT_EQ(smoothed.refusedCount(), refused);
    EXPECT_EQ(smoothed.resetCount(), refused - 1); // the repeated frame is dropped, not a reset
}

// Every file under `folder` with its content ("<folder>" for a folder), in name order.
std::map<std::string, std::string> snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[fs::relative(entry.path(), folder).string()] =
            entry.is_directory() ? "<folder>" : std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

// Whatever is in the way of one file, a failed write changes nothing: not the files already
// there, not the other destination, and no temporary file stays behind.
TEST(OutputFilesTest, FailureLeavesEveryFileAsItWas) {
    const std::vector<std::pair<const char*, const char*>> cases{
        {"temporary of the second file is a folder", "plot.svg.tmp/blocked"},
        {"second destination is a folder", "plot.svg/blocked"},
        {"first destination is a folder", "data.csv/blocked"}};
    for (const auto& [name, blocker] : cases) {
        SCOPED_TRACE(name);
        const fs::path folder = scratchFolder("failure");
        fs::create_directories(folder / blocker);
        for (const char* existing : {"data.csv", "plot.svg"}) {
            if (!fs::exists(folder / existing)) {
                std::ofstream(folder / existing) << "old " << existing;
            }
        }
        const auto before = snapshot(folder);
        EXPECT_THROW(writeOutputFiles({textFile(folder / "data.csv", "a,b\n"),
                                       textFile(folder / "plot.svg", "<svg/>")}),
                     DemoError);
        EXPECT_EQ(snapshot(folder), before);
    }

    const fs::path folder = scratchFolder("success");
    std::ofstream(folder / "data.csv") << "old";
    writeOutputFiles({textFile(folder / "data.csv", "new"), textFile(folder / "sub" / "b", "b")});
    EXPECT_EQ(snapshot(folder), (std::map<std::string, std::string>{
                                    {"data.csv", "new"}, {"sub", "<folder>"}, {"sub/b", "b"}}));
}

} // namespace
} // namespace pelto::demo
