// The demo's CSV reader, which takes files from users: any bytes as a recording. Reading never
// crashes or reads out of bounds; it accepts the input or refuses it with a DemoError naming the
// source and a line. What it accepts stays within the channel limit, smooths and plots, and the
// demo's CSV output of it is accepted again with the same names, timestamps and raw values.

#include "../examples/demo/CsvReader.hpp"
#include "../examples/demo/CsvWriter.hpp"
#include "../examples/demo/DemoError.hpp"
#include "../examples/demo/SmoothedTrace.hpp"
#include "../examples/demo/SvgPlot.hpp"

#include "FuzzSupport.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <sstream>
#include <string>
#include <string_view>

namespace {

using namespace pelto::demo;

bool sameValue(double a, double b) {
    return std::isnan(a) ? std::isnan(b) : pelto::fuzz::sameBits(a, b);
}

void checkWrittenAndReadAgain(const Trace& trace) {
    const SmoothedTrace smoothed = smoothTrace(trace, BankParameters::defaults());
    const std::string svg = renderSvgPlot(trace, smoothed, {"t", "s", "d"});
    PELTO_FUZZ_CHECK(std::string_view(svg).ends_with("</svg>\n"));

    std::stringstream csv;
    writeSmoothedCsv(csv, trace, smoothed);
    Trace back;
    bool readAgain = true;
    try {
        back = parseTraceCsv(csv, "smoothed.csv");
    } catch (const DemoError&) {
        readAgain = false;
    }
    PELTO_FUZZ_CHECK(readAgain); // the demo's output is valid input
    const std::size_t channels = trace.channelCount();
    PELTO_FUZZ_CHECK(back.timestampName == trace.timestampName);
    PELTO_FUZZ_CHECK(back.channelCount() == 2 * channels + 1);
    PELTO_FUZZ_CHECK(back.channelNames[0] == "accepted");
    PELTO_FUZZ_CHECK(back.sampleCount() == trace.sampleCount());
    for (std::size_t c = 0; c < channels; ++c) {
        PELTO_FUZZ_CHECK(back.channelNames[1 + c] == trace.channelNames[c]);
    }
    for (std::size_t i = 0; i < trace.sampleCount(); ++i) {
        PELTO_FUZZ_CHECK(pelto::fuzz::sameBits(back.timestamps[i], trace.timestamps[i]));
        const std::span<const double> row = back.sampleValues(i);
        PELTO_FUZZ_CHECK(row[0] == (smoothed.accepted(i) ? 1.0 : 0.0));
        for (std::size_t c = 0; c < channels; ++c) {
            PELTO_FUZZ_CHECK(sameValue(row[1 + c], trace.sampleValues(i)[c]));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in{std::string(pelto::fuzz::asText({data, size}))};
    Trace trace;
    try {
        trace = parseTraceCsv(in, "in.csv");
    } catch (const DemoError& error) {
        PELTO_FUZZ_CHECK(std::string_view(error.what()).starts_with("in.csv:"));
        return 0;
    }
    PELTO_FUZZ_CHECK(trace.channelCount() >= 1 && trace.channelCount() <= MAX_CHANNELS);
    PELTO_FUZZ_CHECK(trace.sampleCount() >= 1);
    PELTO_FUZZ_CHECK(trace.values.size() == trace.sampleCount() * trace.channelCount());
    checkWrittenAndReadAgain(trace);
    return 0;
}
