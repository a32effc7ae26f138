// The tuning component for Python: measure() and tune() over NumPy arrays without the GIL, their
// results as read-only objects, and the table of TuningStatus.

#include "Bindings.hpp"

#include <pelto/filters/OneEuroFilterManager.hpp>
#include <pelto/tuning/Tuning.hpp>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace pelto::python {
namespace {

using tuning::Measurement;
using tuning::MeasuringOptions;
using tuning::TuningReport;
using tuning::TuningResult;
using tuning::TuningStatus;

std::string number(double value) {
    return py::repr(py::float_(value)).cast<std::string>();
}

// A figure to four significant digits, for a summary.
std::string rounded(double value) {
    return py::str("{:.4g}").attr("format")(value).cast<std::string>();
}

py::str text(std::string_view view) {
    return {view.data(), view.size()};
}

py::object statusOf(TuningStatus status) {
    return py::module_::import("pelto").attr("TuningStatus")(static_cast<std::int64_t>(status));
}

// One figure of each measurement, in order, into `out`.
template <class Figure>
void fill(const std::vector<Measurement>& measurements, Figure figure, py::array_t<double>& out) {
    const std::span<double> cells(out.mutable_data(), measurements.size());
    for (std::size_t i = 0; i < measurements.size(); ++i) {
        cells[i] = figure(measurements[i]);
    }
}

// One figure of each measurement, as a new (K,) array.
template <class Figure>
py::array_t<double> column(const std::vector<Measurement>& measurements, Figure figure) {
    py::array_t<double> array(static_cast<py::ssize_t>(measurements.size()));
    fill(measurements, figure, array);
    return array;
}

// One figure over the grid, as a new (minCutOffs, betas) array; (0, 0) when the grid is empty.
template <class Figure> py::array_t<double> gridOf(const TuningResult& result, Figure figure) {
    const bool swept = !result.grid.empty();
    py::array_t<double> array({static_cast<py::ssize_t>(swept ? result.minCutOffs.size() : 0),
                               static_cast<py::ssize_t>(swept ? result.betas.size() : 0)});
    fill(result.grid, figure, array);
    return array;
}

py::array_t<double> copyOf(const std::vector<double>& values) {
    return py::array_t<double>(static_cast<py::ssize_t>(values.size()), values.data());
}

std::string reprOf(const Measurement& m) {
    const tuning::FilterParameters& p = m.parameters;
    return "Measurement(freq=" + number(p.freq) + ", min_cut_off=" + number(p.minCutOff) +
           ", beta=" + number(p.beta) + ", d_cut_off=" + number(p.dCutOff) +
           ", smoothed_jitter=" + number(m.smoothedJitter) +
           ", jitter_ratio=" + number(m.jitterRatio) + ", mean_lag_ms=" + number(m.meanLagMs) +
           ", max_lag_ms=" + number(m.maxLagMs) + ")";
}

std::string reprOf(const TuningResult& result) {
    const py::object status = statusOf(result.status);
    const auto name = status.attr("name").cast<std::string>();
    if (!result.recommendation) {
        return "<TuningResult " + name + ": " + std::string(tuning::statusText(result.status)) +
               ">";
    }
    const Measurement& best = *result.recommendation;
    return "<TuningResult " + name + ": min_cut_off=" + number(best.parameters.minCutOff) +
           ", beta=" + number(best.parameters.beta) + "; smoothed jitter " +
           rounded(best.smoothedJitter) + ", mean lag " + rounded(best.meanLagMs) + " ms (budget " +
           rounded(result.maxLagMs) +
           " ms); the defaults: " + rounded(result.defaults.smoothedJitter) + ", " +
           rounded(result.defaults.meanLagMs) + " ms>";
}

MeasuringOptions measuringOptions(double fastFactor, double stillFactor, double settleMs,
                                  double lagProgress) {
    return {.fastFactor = fastFactor,
            .stillFactor = stillFactor,
            .settleMs = settleMs,
            .lagProgress = lagProgress};
}

std::span<const double> timestampsOf(const Block& block) {
    return {block.timestamps.data(), block.rows};
}

std::span<const double> valuesOf(const Block& block) {
    return {block.values.data(), block.rows * block.channels};
}

constexpr const char* MEASURING_ARGUMENTS =
    " The recording is `timestamps` (N,) in milliseconds and `values` (N, C), or (N,) for one "
    "channel, in any unit; distances are Euclidean over the channels. The classification's "
    "thresholds, over the speed across about 4 ms: fast above mean + `fast_factor` deviations "
    "of the noise's speeds, still at most mean + `still_factor` deviations and at least "
    "`settle_ms` after a movement; the lag is timed where the smoothed signal reaches "
    "`lag_progress` (in (0, 1]) of each movement, from and to the still periods around it. "
    "Refused with ValueError: more than 65,536 channels (MAX_CHANNELS), a factor that is "
    "negative, infinite or NaN, `settle_ms` negative or NaN, `lag_progress` outside (0, 1].";

constexpr const char* CHOICE_ARGUMENTS =
    " The banks read timestamps as `precision` says (TimestampPrecision; EXACT unless told "
    "otherwise: a recording's clock is what it is) and take rates of change against "
    "`derivative` (DerivativeSource).";

tuning::BankChoices bankChoices(std::int64_t precision, std::int64_t derivative) {
    return {caseOf<TimestampPrecision>(precision, "precision"),
            caseOf<DerivativeSource>(derivative, "derivative")};
}

void bindMeasurement(py::module_& module) {
    py::class_<Measurement>(
        module, "Measurement",
        "What one parameter set does to a recording: the bank's parameters, the counts of the "
        "classification and the jitter and lag figures (NaN where there was nothing to measure). "
        "Read-only; made by measure() and tune().")
        .def_readonly("parameters", &Measurement::parameters,
                      "The bank's parameters, a FilterParameters (also as the four attributes "
                      "below).")
        .def_property_readonly(
            "freq", [](const Measurement& m) { return m.parameters.freq; }, "Hz.")
        .def_property_readonly(
            "min_cut_off", [](const Measurement& m) { return m.parameters.minCutOff; }, "Hz.")
        .def_property_readonly(
            "beta", [](const Measurement& m) { return m.parameters.beta; },
            "Hz per channel unit per second.")
        .def_property_readonly(
            "d_cut_off", [](const Measurement& m) { return m.parameters.dCutOff; }, "Hz.")
        .def_readonly("samples", &Measurement::samples, "Rows of the recording.")
        .def_readonly("refused", &Measurement::refused, "Samples the bank refused.")
        .def_readonly("still_steps", &Measurement::stillSteps, "Steps the jitter covers.")
        .def_readonly("movements", &Measurement::movements, "Movements found.")
        .def_readonly("lags_measured", &Measurement::lagsMeasured,
                      "Movements with a lag, censored ones included.")
        .def_readonly("lags_censored", &Measurement::lagsCensored,
                      "Movements the smoothed signal did not finish in time: their lag is a "
                      "lower bound.")
        .def_readonly("raw_jitter", &Measurement::rawJitter,
                      "RMS length of the raw signal's still steps, in channel units.")
        .def_readonly("smoothed_jitter", &Measurement::smoothedJitter,
                      "RMS length of the smoothed signal's still steps, in channel units.")
        .def_readonly("jitter_ratio", &Measurement::jitterRatio, "smoothed_jitter / raw_jitter.")
        .def_readonly("mean_lag_ms", &Measurement::meanLagMs, "Milliseconds.")
        .def_readonly("median_lag_ms", &Measurement::medianLagMs, "Milliseconds.")
        .def_readonly("max_lag_ms", &Measurement::maxLagMs, "Milliseconds.")
        .def("__repr__", [](const Measurement& m) { return reprOf(m); });

    using M = OneEuroFilterManager;
    module.def(
        "measure",
        [](const py::handle& timestamps, const py::handle& values, double freq, double minCutOff,
           double beta, double dCutOff, double fastFactor, double stillFactor, double settleMs,
           double lagProgress, std::int64_t precision, std::int64_t derivative) {
            const Block block = readBlock(timestamps, values, 0);
            const tuning::FilterParameters parameters{
                .freq = freq, .minCutOff = minCutOff, .beta = beta, .dCutOff = dCutOff};
            const MeasuringOptions options =
                measuringOptions(fastFactor, stillFactor, settleMs, lagProgress);
            const tuning::BankChoices choices = bankChoices(precision, derivative);
            const py::gil_scoped_release released;
            return tuning::measure(timestampsOf(block), valuesOf(block), block.channels, parameters,
                                   options, choices);
        },
        py::arg("timestamps"), py::arg("values"), py::kw_only(),
        py::arg("freq") = M::DEFAULT_FREQUENCY, py::arg("min_cut_off") = M::DEFAULT_MIN_CUT_OFF,
        py::arg("beta") = M::DEFAULT_BETA, py::arg("d_cut_off") = M::DEFAULT_D_CUT_OFF,
        py::arg("fast_factor") = MeasuringOptions{}.fastFactor,
        py::arg("still_factor") = MeasuringOptions{}.stillFactor,
        py::arg("settle_ms") = MeasuringOptions{}.settleMs,
        py::arg("lag_progress") = MeasuringOptions{}.lagProgress,
        py::arg("precision") = rawValue(tuning::BankChoices{}.precision),
        py::arg("derivative") = rawValue(tuning::BankChoices{}.derivative),
        (std::string("Measures what a fresh bank with these parameters does to a recording, "
                     "without holding the GIL: its jitter in still periods and its lag behind "
                     "movements, as a Measurement.") +
         MEASURING_ARGUMENTS + CHOICE_ARGUMENTS +
         " Raises ValueError or TypeError for inputs of the wrong shape or type and for "
         "thresholds out of range.")
            .c_str());
}

void bindTuningResult(py::module_& module) {
    py::class_<TuningReport>(
        module, "TuningResult",
        "What tune() found. A recording that cannot be tuned is a result too, not an exception: "
        "`ok` is False, `message` says why (\"cannot tune: ...\") and `recommendation` is None. "
        "Arrays are new float64 arrays on each access. Read-only.")
        .def_property_readonly(
            "status",
            [](const TuningReport& report) {
                const TuningResult& r = report.result;
                return statusOf(r.status);
            },
            "A TuningStatus: OK, or why the recording cannot be tuned.")
        .def_property_readonly(
            "ok",
            [](const TuningReport& report) { return report.result.recommendation.has_value(); },
            "True when there is a recommendation: status OK, or NO_SETTING_WITHIN_BUDGET with the "
            "least lag (over_budget).")
        .def_property_readonly(
            "message",
            [](const TuningReport& report) {
                const TuningResult& r = report.result;
                return text(tuning::statusText(r.status));
            },
            R"(One sentence saying what `status` means: "tuned: ..." or "cannot tune: ...".)")
        .def_property_readonly(
            "recommendation",
            [](const TuningReport& report) { return report.result.recommendation; },
            "The Measurement with the least smoothed jitter whose mean lag is within "
            "lag_budget_ms (ties: less lag, then the first measured), or over budget the one "
            "with the least lag; one of the front's. None unless ok.")
        .def_property_readonly(
            "defaults", [](const TuningReport& report) { return report.result.defaults; },
            "The Measurement of the bank's default min_cut_off and beta, with the "
            "freq and d_cut_off tuned with; measured whatever the status.")
        .def_property_readonly(
            "lag_budget_ms", [](const TuningReport& report) { return report.result.maxLagMs; },
            "The budget applied: max_lag_ms, or 20 ms at any sampling rate; NaN when the grid "
            "was not swept.")
        .def_property_readonly(
            "over_budget", [](const TuningReport& report) { return report.overBudget; },
            "True when no pair meets the budget and the recommendation is the least lag.")
        .def_property_readonly(
            "at_search_edge", [](const TuningReport& report) { return report.atSearchEdge; },
            "True when the recommendation sits at an end of the min_cut_off or beta range.")
        .def_property_readonly(
            "lag_basis",
            [](const TuningReport& report) {
                return report.lagBasis == tuning::LagBasis::SYNTHESISED ? "synthesised"
                                                                        : "recorded";
            },
            "What the lag was measured on: \"recorded\", the recording's own movements, or "
            "\"synthesised\", movements synthesised on its clock and noise when it has fewer "
            "than five.")
        .def_property_readonly(
            "clock_precision_ms",
            [](const TuningReport& report) { return report.clockPrecisionMs; },
            "The largest power of ten (ms) of which every timestamp is a whole multiple; 0 when "
            "none from 1 ns up is.")
        .def_property_readonly(
            "movements",
            [](const TuningReport& report) {
                py::list movements;
                for (const tuning::DetectedMovement& m : report.movements) {
                    movements.append(py::dict(
                        py::arg("start_ms") = m.startMs, py::arg("end_ms") = m.endMs,
                        py::arg("amplitude") = m.amplitude, py::arg("peak_speed") = m.peakSpeed));
                }
                return movements;
            },
            "The movements found, in time order: dicts of start_ms, end_ms, amplitude (channel "
            "units) and peak_speed (channel units per second).")
        .def(
            "to_dict",
            [](const TuningReport& report) {
                return py::module_::import("json").attr("loads")(tuning::toJson(report));
            },
            "The result as the dict of the demo's tuning.json: status, message, budget, lag "
            "basis, clock precision, profile with movements, front, recommendation as "
            "{freq, minCutOff, beta, dCutOff} and its figures, defaults; NaN figures as None.")
        .def_property_readonly(
            "min_cut_off_grid",
            [](const TuningReport& report) {
                const TuningResult& r = report.result;
                return copyOf(r.minCutOffs);
            },
            "The (M,) min_cut_off values swept, ascending, evenly spaced in logarithm; empty "
            "when the grid was not swept (every status but OK and NO_SETTING_WITHIN_BUDGET).")
        .def_property_readonly(
            "beta_grid",
            [](const TuningReport& report) {
                const TuningResult& r = report.result;
                return copyOf(r.betas);
            },
            "The (B,) beta values swept, ascending: the boost range divided by the speed of the "
            "recording's movements, so they follow its units; empty when not swept.")
        .def_property_readonly(
            "grid_smoothed_jitter",
            [](const TuningReport& report) {
                const TuningResult& r = report.result;
                return gridOf(r, [](const Measurement& m) { return m.smoothedJitter; });
            },
            "(M, B): the smoothed jitter of min_cut_off_grid[i] with beta_grid[j] at [i, j]; "
            "(0, 0) when not swept.")
        .def_property_readonly(
            "grid_mean_lag_ms",
            [](const TuningReport& report) {
                const TuningResult& r = report.result;
                return gridOf(r, [](const Measurement& m) { return m.meanLagMs; });
            },
            "(M, B): the mean lag, laid out as grid_smoothed_jitter.")
        .def_property_readonly(
            "front_min_cut_off",
            [](const TuningReport& report) {
                const TuningResult& r = report.result;
                return column(r.front, [](const Measurement& m) { return m.parameters.minCutOff; });
            },
            "The Pareto front of (smoothed jitter, mean lag) over the grid, the parameter sets "
            "no other one beats on both, as four (K,) arrays by mean lag ascending (hence "
            "smoothed jitter descending): this one's min_cut_off. Empty when not swept.")
        .def_property_readonly(
            "front_beta",
            [](const TuningReport& report) {
                const TuningResult& r = report.result;
                return column(r.front, [](const Measurement& m) { return m.parameters.beta; });
            },
            "The front's beta, as front_min_cut_off.")
        .def_property_readonly(
            "front_smoothed_jitter",
            [](const TuningReport& report) {
                const TuningResult& r = report.result;
                return column(r.front, [](const Measurement& m) { return m.smoothedJitter; });
            },
            "The front's smoothed jitter, as front_min_cut_off.")
        .def_property_readonly(
            "front_mean_lag_ms",
            [](const TuningReport& report) {
                const TuningResult& r = report.result;
                return column(r.front, [](const Measurement& m) { return m.meanLagMs; });
            },
            "The front's mean lag, as front_min_cut_off.")
        .def("__repr__", [](const TuningReport& report) {
            const TuningResult& r = report.result;
            return reprOf(r);
        });
}

void bindTune(py::module_& module) {
    using M = OneEuroFilterManager;
    const tuning::TuningOptions defaults;
    module.def(
        "tune",
        [](const py::handle& timestamps, const py::handle& values,
           const std::optional<double> maxLagMs, double freq, double dCutOff, std::size_t threads,
           std::size_t minCutOffSteps, double minCutOffLow, double minCutOffHigh,
           std::size_t betaSteps, double boostLow, double boostHigh, double fastFactor,
           double stillFactor, double settleMs, double lagProgress, std::int64_t precision,
           std::int64_t derivative) {
            const Block block = readBlock(timestamps, values, 0);
            const tuning::BankChoices choices = bankChoices(precision, derivative);
            const tuning::TuningOptions options{
                .measuring = measuringOptions(fastFactor, stillFactor, settleMs, lagProgress),
                .maxLagMs = maxLagMs,
                .minCutOffSteps = minCutOffSteps,
                .minCutOffLow = minCutOffLow,
                .minCutOffHigh = minCutOffHigh,
                .betaSteps = betaSteps,
                .boostLow = boostLow,
                .boostHigh = boostHigh,
                .freq = freq,
                .dCutOff = dCutOff,
                .threads = threads};
            // The sweep's threads see only the arrays' memory, which `block` keeps alive.
            const py::gil_scoped_release released;
            return tuning::tuneReport(timestampsOf(block), valuesOf(block), block.channels, options,
                                      choices);
        },
        py::arg("timestamps"), py::arg("values"), py::kw_only(), py::arg("max_lag_ms") = py::none(),
        py::arg("freq") = M::DEFAULT_FREQUENCY, py::arg("d_cut_off") = M::DEFAULT_D_CUT_OFF,
        py::arg("threads") = defaults.threads,
        py::arg("min_cut_off_steps") = defaults.minCutOffSteps,
        py::arg("min_cut_off_low") = defaults.minCutOffLow,
        py::arg("min_cut_off_high") = defaults.minCutOffHigh,
        py::arg("beta_steps") = defaults.betaSteps, py::arg("boost_low") = defaults.boostLow,
        py::arg("boost_high") = defaults.boostHigh,
        py::arg("fast_factor") = defaults.measuring.fastFactor,
        py::arg("still_factor") = defaults.measuring.stillFactor,
        py::arg("settle_ms") = defaults.measuring.settleMs,
        py::arg("lag_progress") = defaults.measuring.lagProgress,
        py::arg("precision") = rawValue(tuning::BankChoices{}.precision),
        py::arg("derivative") = rawValue(tuning::BankChoices{}.derivative),
        (std::string(
             "Finds the min_cut_off and beta that suit a recording, without holding the GIL: "
             "measures every pair of a grid (with `freq` and `d_cut_off` fixed) and recommends "
             "the one with the least smoothed jitter whose mean lag is at most `max_lag_ms` "
             "(None: 20 ms), or the least lag when none is (over_budget). A coarse grid is "
             "refined twice around its pick. With fewer than five movements of its own, the lag "
             "is measured on movements synthesised on the recording's clock and noise "
             "(lag_basis). Returns a TuningResult; a recording that cannot be tuned (no two "
             "consecutive usable samples, every sample refused, a constant signal, no still "
             "period) gives one with `ok` False and a \"cannot tune: ...\" message, not an "
             "exception.") +
         MEASURING_ARGUMENTS + CHOICE_ARGUMENTS +
         " The coarse grid: `min_cut_off_steps` values of min_cut_off from `min_cut_off_low` to "
         "`min_cut_off_high` Hz or a quarter of the sampling rate, whichever is lower, and "
         "`beta_steps` values of beta that raise the cutoff by "
         "`boost_low` to `boost_high` Hz at the recording's movement speed, both evenly spaced "
         "in logarithm. The pairs run on `threads` threads (0: one per core); the result does "
         "not depend on it. Raises ValueError or TypeError for inputs of the wrong shape or type "
         "and for options out of range.")
            .c_str());
}

} // namespace

void bindTuning(py::module_& module) {
    bindMeasurement(module);
    bindTuningResult(module);
    bindTune(module);
}

} // namespace pelto::python
