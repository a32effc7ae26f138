// pelto-demo: a host application that walks both roads of the library. It initialises a gaze
// tracker the way an app would, pumping the main queue until the report arrives, then smooths a
// gaze trace with the one-euro filter bank and writes the result as CSV and SVG.

#include "CsvReader.hpp"
#include "CsvWriter.hpp"
#include "DemoError.hpp"
#include "DemoOptions.hpp"
#include "OutputFiles.hpp"
#include "Report.hpp"
#include "SmoothedTrace.hpp"
#include "SvgPlot.hpp"
#include "SyntheticTrace.hpp"

#include <pelto/filters/OneEuroFilterManager.hpp>
#include <pelto/platform/MainQueue.hpp>
#include <pelto/tracker/Delegates.hpp>
#include <pelto/tracker/GazeTracker.hpp>
#include <pelto/tuning/Tuning.hpp>
#include <pelto/types/Enumerations.hpp>
#include <pelto/types/UserStatusOption.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <iomanip>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace pelto::demo;
using pelto::tuning::Measurement;

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

// How long the demo's event loop waits for the initialisation report: turns of the main queue,
// with a short sleep after each turn that found nothing to run.
constexpr int MAX_MAIN_QUEUE_TURNS = 100;
constexpr std::chrono::milliseconds IDLE_TURN{10};

/// Records the one report of an initialisation.
class DemoInitializationDelegate final : public pelto::InitializationDelegate {
  public:
    void onInitialized(std::shared_ptr<pelto::GazeTracker> tracker,
                       pelto::InitializationError error) override {
        ++reports_;
        tracker_ = std::move(tracker);
        error_ = error;
    }

    [[nodiscard]] int reports() const noexcept { return reports_; }
    [[nodiscard]] const std::shared_ptr<pelto::GazeTracker>& tracker() const noexcept {
        return tracker_;
    }
    [[nodiscard]] pelto::InitializationError error() const noexcept { return error_; }

  private:
    int reports_ = 0;
    std::shared_ptr<pelto::GazeTracker> tracker_;
    pelto::InitializationError error_ = pelto::InitializationError::ERROR_NONE;
};

/// Runs the initialisation road; false when no report arrived.
bool runInitialization() {
    std::cout << "1. Initialisation\n";
    auto option = std::make_shared<pelto::UserStatusOption>();
    option->useAll();
    auto delegate = std::make_shared<DemoInitializationDelegate>();
    pelto::GazeTracker::initGazeTracker(delegate, option);
    printRow("initGazeTracker",
             std::string("returned; attention, blink and drowsiness requested; ") +
                 (delegate->reports() == 0 ? "report pending" : "report already delivered"));

    // The host's event loop: one drain of the main queue per turn.
    int turns = 0;
    while (delegate->reports() == 0 && turns < MAX_MAIN_QUEUE_TURNS) {
        ++turns;
        if (pelto::MainQueue::drain() == 0) {
            std::this_thread::sleep_for(IDLE_TURN);
        }
    }
    if (delegate->reports() == 0) {
        std::cerr << "pelto-demo: no initialisation report after " << MAX_MAIN_QUEUE_TURNS
                  << " turns of the main queue\n";
        return false;
    }
    printRow("report", "arrived on turn " + std::to_string(turns) + " of the main queue");
    const pelto::InitializationError error = delegate->error();
    printRow("tracker", delegate->tracker() ? "yes" : "none");
    printRow("error",
             std::to_string(pelto::rawValue(error)) + " " + std::string(pelto::description(error)));
    if (delegate->tracker()) {
        pelto::GazeTracker::deinitGazeTracker(delegate->tracker());
    } else if (error == pelto::InitializationError::ERROR_NO_GAZE_ENGINE) {
        std::cout << "  No tracker: this build has no gaze engine. The filter bank below works\n"
                     "  without one.\n";
    }
    return true;
}

pelto::tuning::BankChoices bankChoices(const BankParameters& bank) {
    return {.precision = bank.precision, .derivative = bank.derivative};
}

// What --tune writes: the report as JSON, and the plot of the sweep when there is one.
struct TuningFiles {
    std::string json;
    std::optional<std::string> plot;
};

// Sweeps minCutOff and beta over the trace and prints what it found.
TuningFiles runTuning(const DemoOptions& options, const Trace& trace) {
    std::cout << "\n3. Tuning\n";
    pelto::tuning::TuningOptions sweep;
    sweep.maxLagMs = options.maxLagMs;
    sweep.freq = options.bank.freq;
    sweep.dCutOff = options.bank.dCutOff;
    const pelto::tuning::TuningReport report = pelto::tuning::tuneReport(
        trace.timestamps, trace.values, trace.channelCount(), sweep, bankChoices(options.bank));
    const pelto::tuning::TuningResult& result = report.result;
    TuningFiles files{.json = pelto::tuning::toJson(report) + "\n", .plot = std::nullopt};
    printRow("movements", std::to_string(report.movements.size()) + " found, " +
                              std::to_string(result.profile.stillSteps) + " still steps");
    if (result.grid.empty()) {
        printRow("answer", std::string(pelto::tuning::statusText(result.status)));
        printRow("tuning.svg", "not written: there is no sweep to plot");
        return files;
    }
    printRow("lag measured on",
             report.lagBasis == pelto::tuning::LagBasis::SYNTHESISED
                 ? "movements synthesised on the recording's clock and noise (it has fewer than " +
                       std::to_string(pelto::tuning::MIN_MOVEMENTS) + " of its own)"
                 : "the recording's own movements");
    printRow("sweep", std::to_string(result.grid.size() + report.refined.size()) +
                          " parameter sets, freq " + formatNumber(sweep.freq) + ", dCutOff " +
                          formatNumber(sweep.dCutOff));
    printRow("grid", "minCutOff " + significant(result.minCutOffs.front(), 3) + " to " +
                         significant(result.minCutOffs.back(), 3) + " Hz, beta " +
                         significant(result.betas.front(), 3) + " to " +
                         significant(result.betas.back(), 3));
    printRow("lag budget", "mean lag at most " + fixed(result.maxLagMs, 1) + " ms" +
                               (options.maxLagMs ? " (--max-lag)" : " (the default)"));
    printRow("Pareto front", result.front.empty()
                                 ? "empty: no parameter set has both a jitter and a lag"
                                 : std::to_string(result.front.size()) +
                                       " parameter sets, mean lag " +
                                       fixed(result.front.front().meanLagMs, 1) + " to " +
                                       fixed(result.front.back().meanLagMs, 1) + " ms");
    if (!result.recommendation) {
        printRow("answer", std::string(pelto::tuning::statusText(result.status)));
        printRow("tuning.svg", "not written: there is no recommendation to plot");
        return files;
    }
    if (report.overBudget || report.atSearchEdge) {
        printRow("answer", report.overBudget
                               ? std::string(pelto::tuning::statusText(result.status))
                               : "tuned, at an end of the searched range: widen it to be sure");
    }
    const Measurement& best = *result.recommendation;
    const Measurement& defaults = result.defaults;
    printRow("recommended", "minCutOff " + formatNumber(best.parameters.minCutOff) + ", beta " +
                                formatNumber(best.parameters.beta));
    std::cout << '\n';
    printColumns("", "defaults", "recommended");
    printColumns("minCutOff", significant(defaults.parameters.minCutOff, 3),
                 significant(best.parameters.minCutOff, 3));
    printColumns("beta", significant(defaults.parameters.beta, 3),
                 significant(best.parameters.beta, 3));
    printColumns("fixation jitter", significant(defaults.smoothedJitter, 3),
                 significant(best.smoothedJitter, 3));
    printColumns("jitter ratio", significant(defaults.jitterRatio, 3),
                 significant(best.jitterRatio, 3));
    printColumns("mean lag (ms)", fixed(defaults.meanLagMs, 1), fixed(best.meanLagMs, 1));
    printColumns("median lag (ms)", fixed(defaults.medianLagMs, 1), fixed(best.medianLagMs, 1));
    printColumns("max lag (ms)", fixed(defaults.maxLagMs, 1), fixed(best.maxLagMs, 1));
    printColumns("saccades", describeMovements(defaults), describeMovements(best));
    const BankParameters classDefaults = BankParameters::defaults();
    std::cout << "\n  To smooth with it: pelto-demo"
              << (options.input                  ? " --input " + options.input->string()
                  : options.seed != DEFAULT_SEED ? " --seed " + std::to_string(options.seed)
                                                 : std::string())
              << (sweep.freq != classDefaults.freq ? " --freq " + formatNumber(sweep.freq)
                                                   : std::string())
              << (sweep.dCutOff != classDefaults.dCutOff
                      ? " --d-cutoff " + formatNumber(sweep.dCutOff)
                      : std::string())
              << " --min-cutoff " << formatNumber(best.parameters.minCutOff) << " --beta "
              << formatNumber(best.parameters.beta) << '\n';

    const std::string source =
        options.input ? options.input->filename().string()
                      : "the synthetic trace (seed " + std::to_string(options.seed) + ")";
    files.plot =
        renderTuningSvg(result, {"pelto-demo: tuning minCutOff and beta on " + source,
                                 "jitter against lag of " + std::to_string(result.grid.size()) +
                                     " parameter sets; freq " + formatNumber(sweep.freq) +
                                     ", dCutOff " + formatNumber(sweep.dCutOff),
                                 "recommended: the least jitter within a mean lag of " +
                                     fixed(result.maxLagMs, 1) + " ms"});
    return files;
}

int run(const DemoOptions& options) {
    // Read the input first: a bad file stops the demo before it prints or writes anything.
    const Trace trace =
        options.input ? readTraceCsv(*options.input) : makeSyntheticTrace(options.seed);

    std::cout << "Pelto demo\n";
    printRow("library version", pelto::GazeTracker::getFrameworkVersion());
    // The filter bank's instruction set: the same results on every machine, not the same speed.
    printRow("filter vectors", std::string(pelto::OneEuroFilterManager::instructionSet()));
    std::cout << '\n';
    if (!runInitialization()) {
        return EXIT_FAILED;
    }

    std::cout << "\n2. Smoothing\n";
    const SmoothedTrace smoothed = smoothTrace(trace, options.bank);
    const Measurement summary =
        pelto::tuning::measure(trace.timestamps, trace.values, trace.channelCount(), options.bank,
                               {}, bankChoices(options.bank));
    printRow("trace", describeTrace(options, trace));
    printRow("filter bank", describeBank(trace, options.bank));
    printRow("samples", std::to_string(summary.samples) + ", of which " +
                            std::to_string(summary.refused) + " refused by the bank (" +
                            std::to_string(smoothed.resetCount()) + " bank resets)");
    printSummary(summary);
    std::cout
        << "  Less jitter: lower --min-cutoff. Less lag: raise --beta. Or let --tune choose.\n";
    const std::optional<TuningFiles> tuning =
        options.tune ? std::optional(runTuning(options, trace)) : std::nullopt;
    const std::optional<std::string> tuningPlot = tuning ? tuning->plot : std::nullopt;

    const PlotCaption caption{
        "pelto-demo: one-euro smoothing of " +
            (options.input ? options.input->filename().string()
                           : "a synthetic gaze trace (seed " + std::to_string(options.seed) + ")"),
        describeBank(trace, options.bank),
        std::to_string(summary.samples) + " samples, " + std::to_string(summary.refused) +
            " refused \u00b7 fixation jitter " + significant(summary.rawJitter, 3) + " \u2192 " +
            significant(summary.smoothedJitter, 3) + " \u00b7 saccade lag " +
            fixed(summary.meanLagMs, 1) + " ms (mean), " + fixed(summary.maxLagMs, 1) +
            " ms (max)"};
    const std::filesystem::path csvPath = options.outputFolder / "smoothed.csv";
    const std::filesystem::path svgPath = options.outputFolder / "smoothed.svg";
    const std::filesystem::path tuningPath = options.outputFolder / "tuning.svg";
    const std::filesystem::path tuningJsonPath = options.outputFolder / "tuning.json";
    std::vector<OutputFile> files{
        {csvPath, [&](std::ostream& out) { writeSmoothedCsv(out, trace, smoothed); }},
        textFile(svgPath,
                 renderSvgPlot(trace, smoothed, caption,
                               pelto::tuning::detectMovements(trace.timestamps, trace.values,
                                                              trace.channelCount())))};
    if (tuning) {
        files.push_back(textFile(tuningJsonPath, tuning->json));
    }
    if (tuningPlot) {
        files.push_back(textFile(tuningPath, *tuningPlot));
    }
    writeOutputFiles(files);

    std::cout << (options.tune ? "\n4. Files\n" : "\n3. Files\n");
    printRow("CSV", csvPath.string());
    printRow("plot", svgPath.string() + " (open it in a web browser)");
    if (tuning) {
        printRow("tuning report", tuningJsonPath.string());
    }
    if (tuningPlot) {
        printRow("tuning plot", tuningPath.string());
    }
    return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char** argv) {
    try {
        const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
        DemoOptions options;
        try {
            options = parseDemoOptions(arguments);
        } catch (const UsageError& error) {
            std::cerr << "pelto-demo: " << error.what() << "\nTry 'pelto-demo --help'.\n";
            return EXIT_USAGE;
        }
        if (options.help) {
            std::cout << demoUsage();
            return EXIT_SUCCESS;
        }
        return run(options);
    } catch (const std::exception& error) {
        std::cerr << "pelto-demo: " << error.what() << '\n';
        return EXIT_FAILED;
    }
}
