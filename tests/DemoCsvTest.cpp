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
    const std::vector<std::pair<const char*, const char*>> cases{
        {"", "trace.csv:1: the file is empty; expected lines of timestamp,value[,value...]"},
        {"\n \r\n", "trace.csv:2: the file is empty; expected lines of timestamp,value[,value...]"},
        {"t,x,y\n\n", "trace.csv:2: no samples after the header on line 1"},
        {"t,x\n0,1\n16,abc\n", "trace.csv:3: column 2 (x): 'abc' is not a number"},
        {"0,1\n16,1e400\n", "trace.csv:2: column 2 (channel1): '1e400' is not a number"},
        {"0,1\n16,\x01x\n", "trace.csv:2: column 2 (channel1): '?x' is not a number"},
        {"0,1\n16,\n", "trace.csv:2: column 2 (channel1) is empty; write nan for a missing value"},
        {"0,1,2\n\n16,1\n",
         "trace.csv:3: 2 fields, expected 3 as on line 1 (fields are separated by commas)"},
        {"t,x\n0,1,2\n",
         "trace.csv:2: 3 fields, expected 2 as on line 1 (fields are separated by commas)"},
        {"t,x\nnan,1\n", "trace.csv:2: timestamp 'nan' is not a finite number"},
        {"0,1\nnext,2\n", "trace.csv:2: timestamp 'next' is not a number"},
        {"abc,1\n", "trace.csv:1: timestamp 'abc' is not a number"},
        {"0,1\n9223372036854775808,2\n",
         "trace.csv:2: timestamp '9223372036854775808' is out of range (milliseconds within "
         "+-2^63)"},
        {"t;x\n0;1\n", "trace.csv:2: need a timestamp column and at least one channel, found 1 "
                       "column (fields are separated by commas)"}};
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

TEST(TraceCsvTest, HeaderIsOptional) {
    std::istringstream named("\xEF\xBB\xBF time , \"x\" ,\"say \"\"y\"\"\"\r\n0,1,+2\r\n\r\n"
                             "16.5, -3e2 ,NaN\r\n");
    const Trace withHeader = parseTraceCsv(named, "a.csv");
    EXPECT_EQ(withHeader.timestampName, "time");
    EXPECT_EQ(withHeader.channelNames, (std::vector<std::string>{"x", "say \"y\""}));
    ASSERT_EQ(withHeader.samples.size(), 2U);
    EXPECT_EQ(withHeader.samples[1].timestamp, 16.5);
    EXPECT_EQ(withHeader.samples[1].values[0], -300.0);
    EXPECT_TRUE(std::isnan(withHeader.samples[1].values[1]));

    std::istringstream bare("0,1,2\n16,3,4\n");
    const Trace withoutHeader = parseTraceCsv(bare, "b.csv");
    EXPECT_EQ(withoutHeader.channelNames, (std::vector<std::string>{"channel1", "channel2"}));
    EXPECT_EQ(withoutHeader.samples.at(0).values, (std::vector<double>{1.0, 2.0}));
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
    for (const char* bad : {"", " ", "0x10", "1e", "--1", "+-1", "1 2", "1,5", "1.5.2"}) {
        EXPECT_FALSE(parseNumber(bad).has_value()) << bad;
    }
}

// The written CSV holds exactly what a bank of the same parameters answers, sample by sample,
// with refused samples marked and their smoothed fields empty.
TEST(SmoothedCsvTest, ReadsBackToTheBanksResults) {
    Trace trace = makeSyntheticTrace(7);
    trace.samples.insert(trace.samples.begin() + 40, trace.samples[39]); // a repeated timestamp
    const BankParameters parameters{60.0, 0.5, 0.02, 1.5};
    const SmoothedTrace smoothed = smoothTrace(trace, parameters);
    const fs::path file = scratchFolder("roundtrip") / "smoothed.csv";
    writeOutputFiles({textFile(file, formatSmoothedCsv(trace, smoothed))});
    const CsvTable table = readCsvTable(file);
    EXPECT_EQ(table.header, (std::vector<std::string>{"timestamp", "accepted", "x", "y",
                                                      "x_smoothed", "y_smoothed"}));
    ASSERT_EQ(table.rows.size(), trace.samples.size());

    OneEuroFilterManager bank(2, parameters.freq, parameters.minCutOff, parameters.beta,
                              parameters.dCutOff);
    std::size_t refused = 0;
    for (std::size_t i = 0; i < trace.samples.size(); ++i) {
        const TraceSample& sample = trace.samples[i];
        const std::vector<std::string>& fields = table.rows[i].fields;
        const bool accepted = bank.filterValues(sample.timestamp, sample.values);
        refused += accepted ? 0 : 1;
        ASSERT_EQ(fields.size(), 6U);
        EXPECT_EQ(parseNumber(fields[0]), sample.timestamp);
        EXPECT_EQ(fields[1], accepted ? "1" : "0") << "line " << table.rows[i].line;
        for (std::size_t channel = 0; channel < 2; ++channel) {
            EXPECT_EQ(fields[2 + channel], formatNumber(sample.values[channel]));
            EXPECT_EQ(parseNumber(fields[4 + channel]),
                      accepted ? std::optional(bank.getFilteredValues()[channel]) : std::nullopt);
        }
    }
    EXPECT_GT(refused, 1U); // the synthetic trace's dropout and the repeated timestamp
    EXPECT_EQ(smoothed.refusedCount(), refused);
    EXPECT_EQ(smoothed.resetCount(), refused);
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
