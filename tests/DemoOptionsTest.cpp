#include "demo/DemoOptions.hpp"
#include "demo/DemoError.hpp"

#include <pelto/filters/OneEuroFilterManager.hpp>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelto::demo {
namespace {

DemoOptions parse(const std::vector<std::string_view>& arguments) {
    return parseDemoOptions(arguments);
}

TEST(DemoOptionsTest, DefaultsAreTheBanksClassConstants) {
    const DemoOptions options = parse({});
    EXPECT_FALSE(options.help);
    EXPECT_FALSE(options.input.has_value());
    EXPECT_EQ(options.outputFolder, std::filesystem::path("pelto-demo-out"));
    EXPECT_EQ(options.bank.freq, OneEuroFilterManager::DEFAULT_FREQUENCY);
    EXPECT_EQ(options.bank.minCutOff, OneEuroFilterManager::DEFAULT_MIN_CUT_OFF);
    EXPECT_EQ(options.bank.beta, OneEuroFilterManager::DEFAULT_BETA);
    EXPECT_EQ(options.bank.dCutOff, OneEuroFilterManager::DEFAULT_D_CUT_OFF);
    EXPECT_FALSE(options.tune);
    EXPECT_FALSE(options.maxLagMs.has_value());
}

TEST(DemoOptionsTest, ValuesFollowOrAreAttached) {
    const DemoOptions options =
        parse({"--input", "in.csv", "--out=o", "--freq", "60", "--min-cutoff=0.5", "--beta",
               "-0.25", "--d-cutoff", "2", "--seed", "18446744073709551615", "-h", "--tune"});
    EXPECT_TRUE(options.help);
    EXPECT_EQ(options.input, std::filesystem::path("in.csv"));
    EXPECT_EQ(options.outputFolder, std::filesystem::path("o"));
    EXPECT_EQ(options.bank.freq, 60.0);
    EXPECT_EQ(options.bank.minCutOff, 0.5);
    EXPECT_EQ(options.bank.beta, -0.25);
    EXPECT_EQ(options.bank.dCutOff, 2.0);
    EXPECT_EQ(options.seed, 18446744073709551615U);
    EXPECT_TRUE(options.tune);
    EXPECT_FALSE(options.maxLagMs.has_value());
    // A lag budget implies the sweep.
    const DemoOptions budget = parse({"--max-lag=12.5"});
    EXPECT_TRUE(budget.tune);
    EXPECT_EQ(budget.maxLagMs, 12.5);
}

TEST(DemoOptionsTest, BadCommandLinesAreRefusedWithAReason) {
    const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases{
        {{"--fraq", "60"}, "unknown option '--fraq'"},
        {{"-x"}, "unexpected argument '-x'"},
        {{"trace.csv"}, "unexpected argument 'trace.csv'"},
        {{"--input"}, "--input needs a value"},
        {{"--out="}, "--out needs a folder name"},
        {{"--freq", "0"}, "--freq needs a positive number, not '0'"},
        {{"--min-cutoff=nan"}, "--min-cutoff needs a positive number, not 'nan'"},
        {{"--d-cutoff", "-1"}, "--d-cutoff needs a positive number, not '-1'"},
        {{"--beta", "inf"}, "--beta needs a number, not 'inf'"},
        {{"--freq", "1e400"}, "--freq: 1e400 is out of range (numbers go up to about 1.8e308)"},
        {{"--seed", "-1"}, "--seed needs a whole number from 0 to 2^64-1, not '-1'"},
        {{"--help=yes"}, "--help takes no value"},
        {{"--tune=yes"}, "--tune takes no value"},
        {{"--max-lag", "0"}, "--max-lag needs a positive number, not '0'"},
        {{"--max-lag=inf"}, "--max-lag needs a positive number, not 'inf'"}};
    for (const auto& [arguments, message] : cases) {
        try {
            (void)parse(arguments);
            ADD_FAILURE() << message;
        } catch (const UsageError& error) {
            EXPECT_EQ(error.what(), message);
        }
    }
}

TEST(DemoOptionsTest, UsageDocumentsEveryOption) {
    const std::string usage = demoUsage();
    for (const char* option :
         {"--input FILE", "--out DIR", "--freq HZ", "--min-cutoff HZ", "--beta B", "--d-cutoff HZ",
          "--seed N", "--tune", "--max-lag MS", "--help"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

} // namespace
} // namespace pelto::demo
