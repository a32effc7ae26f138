#include "demo/SmoothedTrace.hpp"
#include "demo/SvgPlot.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace pelto::demo {
namespace {

std::string plot(const Trace& trace) {
    return renderSvgPlot(trace, smoothTrace(trace, BankParameters::defaults()),
                         {"title \xFF", "subtitle", "details"});
}

Trace namedTrace(std::vector<std::string> names) {
    Trace trace;
    trace.channelNames = std::move(names);
    for (int i = 0; i < 10; ++i) {
        trace.addSample(10.0 * i, std::vector<double>(trace.channelCount(), i % 3));
    }
    return trace;
}

// The part of `svg` that draws the first line of class `cls`.
std::string pathOf(const std::string& svg, const std::string& cls) {
    const std::string start = "<path class=\"" + cls + "\" d=\"";
    const auto at = svg.find(start);
    return at == std::string::npos ? "" : svg.substr(at, svg.find('"', at + start.size()) - at);
}

// Whatever bytes a name holds, its label is UTF-8 (U+FFFD for each byte that starts no
// well-formed character) and escaped.
TEST(DemoPlotTest, LabelsAreValidXmlText) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"caf\xE9", "caf\xEF\xBF\xBD"}, // Latin-1
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x91\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x91\x80"},
        {"a<b&c>\"d\"\x01", "a&lt;b&amp;c&gt;&quot;d&quot;?"},
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                                 // overlong '/'
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},                 // a surrogate
        {"\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // > U+10FFFF
        {"\xEF\xBF\xBF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},                 // U+FFFF
        {"x\xE2\x82", "x\xEF\xBF\xBD\xEF\xBF\xBD"},                               // cut short
        {std::string(70, 'n'), std::string(60, 'n') + "\xE2\x80\xA6"}};
    std::vector<std::string> names;
    for (const auto& [name, label] : cases) {
        EXPECT_NE(plot(namedTrace({name}))
                      .find("class=\"label\" text-anchor=\"start\">" + label + "</text>"),
                  std::string::npos)
            << label;
        names.push_back(name);
    }
    names.resize(8);
    const std::string svg = plot(namedTrace(names));
#ifdef PELTO_XMLLINT
    const std::filesystem::path file =
        std::filesystem::path(testing::TempDir()) / "DemoPlotTest.svg";
    std::ofstream(file, std::ios::binary) << svg;
    const std::string command = std::string(PELTO_XMLLINT) + " --noout '" + file.string() + "'";
    // The test runs on one thread.
    EXPECT_EQ(std::system(command.c_str()), 0) // NOLINT(concurrency-mt-unsafe)
        << command;
#else
    GTEST_SKIP() << "xmllint not found: the plot's XML was not checked";
#endif
}

// A long recording gives a plot of the same size as a short one, with every spike in it.
TEST(DemoPlotTest, LongTracesAreThinnedToThePixels) {
    for (const int samples : {3000, 300000}) {
        SCOPED_TRACE(samples);
        Trace trace;
        trace.channelNames = {"v"};
        for (int i = 0; i < samples; ++i) {
            const double spike = i == samples / 2 ? 100.0 : i == samples / 3 ? -50.0 : 0.0;
            trace.addSample(i * 16.5, {spike != 0.0 ? spike : std::sin(i)});
        }
        const std::string svg = plot(trace);
        EXPECT_LT(svg.size(), 100000U);
        // The value axis runs from -59 to 109 (6% padding) over pixels 312 to 122.
        const std::string raw = pathOf(svg, "raw");
        EXPECT_NE(raw.find(" 132.2"), std::string::npos); // about 100
        EXPECT_NE(raw.find(" 301.8"), std::string::npos); // about -50
    }
}

TEST(DemoPlotTest, PlotsTheFirstEightChannels) {
    const std::string svg = plot(namedTrace(std::vector<std::string>(12, "c")));
    EXPECT_NE(svg.find("plotted: the first 8 of 12 channels"), std::string::npos);
    std::size_t labels = 0;
    for (auto at = svg.find(">c</text>"); at != std::string::npos;
         at = svg.find(">c</text>", at + 1)) {
        ++labels;
    }
    EXPECT_EQ(labels, 8U);
}

} // namespace
} // namespace pelto::demo
