#include "DemoOptions.hpp"

#include "CsvReader.hpp"
#include "CsvWriter.hpp"
#include "DemoError.hpp"

#include <pelto/tuning/Tuning.hpp>

#include <charconv>
#include <cmath>
#include <system_error>

namespace pelto::demo {
namespace {

constexpr std::string_view POSITIVE = "a positive number";
constexpr std::string_view FINITE = "a number";

// The number in an option's value; a number beyond the range of double is refused as such.
double optionNumber(std::string_view option, std::string_view text, std::string_view needs) {
    const NumberReading reading = readNumber(text);
    if (reading.status == NumberStatus::OUT_OF_RANGE) {
        throw UsageError(std::string(option) + ": " + std::string(text) +
                         " is out of range (numbers go up to about 1.8e308)");
    }
    if (reading.status != NumberStatus::OK || !std::isfinite(reading.value) ||
        (needs == POSITIVE && !(reading.value > 0.0))) {
        throw UsageError(std::string(option) + " needs " + std::string(needs) + ", not '" +
                         std::string(text) + "'");
    }
    return reading.value;
}

std::uint64_t seedNumber(std::string_view option, std::string_view text) {
    std::uint64_t value = 0;
    const char* const end = text.data() + text.size();
    const auto [ptr, ec] = text.empty() ? std::from_chars_result{end, std::errc::invalid_argument}
                                        : std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end) {
        throw UsageError(std::string(option) + " needs a whole number from 0 to 2^64-1, not '" +
                         std::string(text) + "'");
    }
    return value;
}

} // namespace

DemoOptions parseDemoOptions(std::span<const std::string_view> arguments) {
    DemoOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "-h" || argument == "--help") {
            options.help = true;
            continue;
        }
        if (argument == "--tune") {
            options.tune = true;
            continue;
        }
        if (!argument.starts_with("--")) {
            throw UsageError("unexpected argument '" + std::string(argument) + "'");
        }
        std::string_view name = argument;
        std::optional<std::string_view> attached;
        if (const auto equals = argument.find('='); equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            attached = argument.substr(equals + 1);
        }
        auto value = [&]() -> std::string_view {
            if (attached) {
                return *attached;
            }
            if (i + 1 >= arguments.size()) {
                throw UsageError(std::string(name) + " needs a value");
            }
            return arguments[++i];
        };

        if (name == "--help" || name == "--tune") {
            throw UsageError(std::string(name) + " takes no value");
        }
        if (name == "--input") {
            const std::string_view path = value();
            if (path.empty()) {
                throw UsageError("--input needs a file name");
            }
            options.input = std::filesystem::path(path);
        } else if (name == "--out") {
            const std::string_view path = value();
            if (path.empty()) {
                throw UsageError("--out needs a folder name");
            }
            options.outputFolder = std::filesystem::path(path);
        } else if (name == "--freq") {
            options.bank.freq = optionNumber(name, value(), POSITIVE);
        } else if (name == "--min-cutoff") {
            options.bank.minCutOff = optionNumber(name, value(), POSITIVE);
        } else if (name == "--beta") {
            options.bank.beta = optionNumber(name, value(), FINITE);
        } else if (name == "--d-cutoff") {
            options.bank.dCutOff = optionNumber(name, value(), POSITIVE);
        } else if (name == "--timestamps") {
            const std::string_view choice = value();
            if (choice != "exact" && choice != "milliseconds") {
                throw UsageError("--timestamps takes exact or milliseconds, not '" +
                                 std::string(choice) + "'");
            }
            options.bank.precision = choice == "exact" ? TimestampPrecision::EXACT
                                                       : TimestampPrecision::WHOLE_MILLISECONDS;
        } else if (name == "--derivative") {
            const std::string_view choice = value();
            if (choice != "raw" && choice != "filtered") {
                throw UsageError("--derivative takes raw or filtered, not '" + std::string(choice) +
                                 "'");
            }
            options.bank.derivative =
                choice == "raw" ? DerivativeSource::RAW : DerivativeSource::FILTERED;
        } else if (name == "--seed") {
            options.seed = seedNumber(name, value());
        } else if (name == "--max-lag") {
            options.maxLagMs = optionNumber(name, value(), POSITIVE);
            options.tune = true;
        } else {
            throw UsageError("unknown option '" + std::string(name) + "'");
        }
    }
    return options;
}

std::string demoUsage() {
    const BankParameters defaults = BankParameters::defaults();
    const tuning::MeasuringOptions thresholds;
    const tuning::TuningOptions sweep;
    return "Usage: pelto-demo [options]\n"
           "\n"
           "Shows what the Pelto library does. It initialises a gaze tracker and prints the\n"
           "report, then smooths a gaze trace with the one-euro filter bank\n"
           "(OneEuroFilterManager), writes the result as smoothed.csv and as the plot\n"
           "smoothed.svg, and prints how much jitter the smoothing removed and how much lag it\n"
           "added.\n"
           "\n"
           "Options:\n"
           "  --input FILE     Smooth the recording in FILE instead of the built-in synthetic\n"
           "                   trace. Comma-separated; a first line without numbers is a\n"
           "                   header. Column 1 is the timestamp in milliseconds, every\n"
           "                   further column one channel; nan or an empty field marks a\n"
           "                   missing value. Fields may be quoted (\"a,b\", \"say \"\"hi\"\"\").\n"
           "                   At most " +
           std::to_string(MAX_CHANNELS) + " channels and " +
           std::to_string(MAX_LINE_BYTES / 1024 / 1024) +
           " MiB per line; the plot shows the first\n"
           "                   8 channels.\n"
           "  --out DIR        Folder for the output files, created if needed\n"
           "                   (default: " +
           std::string(DEFAULT_OUTPUT_FOLDER) +
           " in the current directory).\n"
           "  --freq HZ        Sampling frequency the filters start from (default " +
           formatNumber(defaults.freq) +
           ").\n"
           "  --min-cutoff HZ  Minimum cutoff frequency: lower removes more jitter and adds\n"
           "                   more lag (default " +
           formatNumber(defaults.minCutOff) +
           ").\n"
           "  --beta B         Speed coefficient: higher follows fast movements more closely\n"
           "                   (default " +
           formatNumber(defaults.beta) +
           ").\n"
           "  --d-cutoff HZ    Cutoff frequency for the speed estimate (default " +
           formatNumber(defaults.dCutOff) +
           ").\n"
           "  --timestamps exact|milliseconds\n"
           "                   How the filters read timestamps: exact keeps fractions of a\n"
           "                   millisecond and drops a repeated or earlier frame (default;\n"
           "                   any tracker's clock); milliseconds truncates them to whole\n"
           "                   milliseconds and resets on a repeated one (the bank's own\n"
           "                   default, made for camera clocks).\n"
           "  --derivative raw|filtered\n"
           "                   What the speed estimate compares a sample with: the previous\n"
           "                   raw sample (default, the filter as first published) or the\n"
           "                   previous smoothed value (the filter's authors' current\n"
           "                   reference implementation).\n"
           "  --seed N         Seed of the synthetic trace (default " +
           std::to_string(DEFAULT_SEED) +
           ").\n"
           "  --tune           Also sweep minCutOff and beta over the recording and recommend\n"
           "                   the pair with the least jitter within the lag budget; writes\n"
           "                   tuning.json and tuning.svg beside the other files.\n"
           "  --max-lag MS     Lag budget of --tune: the recommendation's mean saccade lag is\n"
           "                   at most MS milliseconds (default 20, at any sampling\n"
           "                   rate). Implies --tune.\n"
           "  -h, --help       Show this help and exit.\n"
           "\n"
           "Options take their value as the next argument or after '=' (--beta=0.01).\n"
           "\n"
           "smoothed.csv has the columns timestamp,accepted,<channels>,<channels>_smoothed.\n"
           "accepted is 1 when the filter bank took the sample and 0 when it refused it (a\n"
           "missing value resets the bank, and so does a repeated timestamp with\n"
           "--timestamps milliseconds); the smoothed columns are\n"
           "empty on refused lines. Every number reads back exactly, and the file is valid\n"
           "input for --input.\n"
           "\n"
           "The summary measures the recording with pelto::tuning::measure. A saccade is\n"
           "where the speed over about 4 ms rises above " +
           formatNumber(thresholds.fastFactor) +
           " deviations of the recording's\n"
           "noise; fixation jitter is the RMS step in the still periods, from " +
           formatNumber(thresholds.settleMs) +
           " ms\n"
           "after a saccade on, before and after smoothing. Saccade lag is how much later the\n"
           "smoothed signal than the raw one covers " +
           formatNumber(thresholds.lagProgress * 100.0) +
           "% of the way between the still\n"
           "periods around a saccade; one it has not covered before the next counts as that\n"
           "long (\"not reached\"). The jitter ratio is the smoothed jitter over the raw.\n"
           "\n"
           "--tune measures " +
           std::to_string(sweep.minCutOffSteps * sweep.betaSteps) +
           " parameter sets, then finer grids around its pick:\n"
           "minCutOff from " +
           formatNumber(sweep.minCutOffLow) +
           " Hz to a quarter of the sampling rate and beta over a range\n"
           "that follows the recording's units, with freq and dCutOff as given. Each set gets\n"
           "a jitter and a mean lag as above (on synthesised saccades when the recording has\n"
           "fewer than " +
           std::to_string(pelto::tuning::MIN_MOVEMENTS) +
           "). The Pareto front is the sets that no other set beats on both; the\n"
           "recommendation is the front's set with the least jitter whose mean lag is within\n"
           "the budget, or the least lag, said to be over budget. The table shows its figures\n"
           "beside the class defaults'. When the recording cannot be tuned (a constant signal,\n"
           "no still period, every sample refused), the demo says why, writes the other files\n"
           "and tuning.json but not tuning.svg, and still exits with 0.\n"
           "\n"
           "Exit status: 0 on success, 1 when the input cannot be read or an output cannot be\n"
           "written (nothing is written then), 2 for a bad command line.\n";
}

} // namespace pelto::demo
