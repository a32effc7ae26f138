// The tuner on any recording, with small grids and any options: profile(), measure() and
// tuneReport() throw std::invalid_argument exactly when an option is out of range, and nothing
// else; the report is the same on one thread and on two; no lag is infinite; the recommendation
// lies within the grid searched and on the front; and the C interface, whatever the sizes its
// caller's structs claim, refuses what C++ refuses and otherwise answers as C++ does.

#include <pelto/pelto.h>
#include <pelto/tuning/Tuning.hpp>

#include "FuzzSupport.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace pelto::tuning;
using pelto::fuzz::ByteReader;
using pelto::fuzz::sameBits;

constexpr double INF = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// A threshold: mostly ordinary, sometimes an edge or out of range.
double factor(std::uint8_t code) {
    constexpr std::array<double, 6> edges{NaN, -1.0, 0.0, INF, 1e308, 0x1p-1074};
    return code < edges.size() ? edges[code] : 0.25 * (code % 48);
}

// A grid's range from 2^-8 to 2^8 times `unit`, sometimes reversed, zero or infinite.
double rangeEnd(std::uint8_t code, double unit) {
    constexpr std::array<double, 4> edges{0.0, -1.0, INF, NaN};
    return code < edges.size() ? edges[code] : unit * std::exp2(static_cast<int>(code % 17) - 8);
}

bool finiteOrNaN(double v) {
    return !std::isinf(v);
}

// The jitters are +infinity when a step exceeds the largest double, and their ratio infinite
// when the raw jitter is 0.
bool figuresFinite(const Measurement& m) {
    return std::ranges::all_of(std::array{m.meanLagMs, m.medianLagMs, m.maxLagMs}, finiteOrNaN) &&
           m.rawJitter != -INF && m.smoothedJitter != -INF && !(m.meanLagMs < 0.0) &&
           !(m.maxLagMs < m.medianLagMs) && m.lagsCensored <= m.lagsMeasured &&
           m.refused <= m.samples;
}

bool sameFigures(const Measurement& a, const Measurement& b) {
    return std::ranges::all_of(std::array{std::pair{a.rawJitter, b.rawJitter},
                                          std::pair{a.smoothedJitter, b.smoothedJitter},
                                          std::pair{a.jitterRatio, b.jitterRatio},
                                          std::pair{a.meanLagMs, b.meanLagMs},
                                          std::pair{a.medianLagMs, b.medianLagMs},
                                          std::pair{a.maxLagMs, b.maxLagMs}},
                               [](auto pair) { return sameBits(pair.first, pair.second); }) &&
           a.refused == b.refused && a.stillSteps == b.stillSteps &&
           a.lagsMeasured == b.lagsMeasured && a.lagsCensored == b.lagsCensored &&
           a.movements == b.movements;
}

// The thresholds alone may be +infinity.
bool profileFinite(const SignalProfile& p) {
    return std::ranges::all_of(std::array{p.samplePeriodMs, p.medianSpeed, p.movementSpeed},
                               finiteOrNaN) &&
           p.fastSpeed != -INF && p.stillSpeed != -INF && !(p.stillSpeed > p.fastSpeed);
}

bool measuringValid(const MeasuringOptions& m) {
    return m.fastFactor >= 0.0 && m.fastFactor < INF && m.stillFactor >= 0.0 &&
           m.stillFactor < INF && m.settleMs >= 0.0 && m.lagProgress > 0.0 && m.lagProgress <= 1.0;
}

bool tuningValid(const TuningOptions& o) {
    auto range = [](double low, double high) { return low > 0.0 && low <= high && low < INF; };
    return measuringValid(o.measuring) && o.minCutOffSteps != 0 && o.betaSteps != 0 &&
           range(o.minCutOffLow, o.minCutOffHigh) && range(o.boostLow, o.boostHigh) &&
           o.boostHigh < INF && !(o.maxLagMs && std::isnan(*o.maxLagMs));
}

// Runs `call`; true when it returned, false when it threw std::invalid_argument. Any other
// exception escapes, and libFuzzer reports it.
template <class Call> bool returns(const Call& call) {
    try {
        call();
        return true;
    } catch (const std::invalid_argument&) {
        return false;
    }
}

void checkReport(const TuningReport& report) {
    const TuningResult& r = report.result;
    PELTO_FUZZ_CHECK(profileFinite(r.profile) && figuresFinite(r.defaults));
    PELTO_FUZZ_CHECK(std::ranges::all_of(r.grid, figuresFinite) &&
                     std::ranges::all_of(report.refined, figuresFinite));
    const bool swept =
        r.status == TuningStatus::OK || r.status == TuningStatus::NO_SETTING_WITHIN_BUDGET;
    PELTO_FUZZ_CHECK(r.recommendation.has_value() == swept);
    if (!r.recommendation) {
        return;
    }
    const FilterParameters& chosen = r.recommendation->parameters;
    PELTO_FUZZ_CHECK(chosen.minCutOff >= r.minCutOffs.front() &&
                     chosen.minCutOff <= r.minCutOffs.back());
    PELTO_FUZZ_CHECK(chosen.beta >= r.betas.front() && chosen.beta <= r.betas.back());
    PELTO_FUZZ_CHECK(std::ranges::any_of(r.front, [&chosen](const Measurement& m) {
        return sameBits(m.parameters.minCutOff, chosen.minCutOff) &&
               sameBits(m.parameters.beta, chosen.beta);
    }));
    PELTO_FUZZ_CHECK(std::isfinite(r.recommendation->meanLagMs) &&
                     std::isfinite(r.recommendation->smoothedJitter));
    PELTO_FUZZ_CHECK(report.overBudget == (r.status == TuningStatus::NO_SETTING_WITHIN_BUDGET));
}

pelto_tuning_options cOptions(const TuningOptions& o, const BankChoices& choices) {
    pelto_tuning_options c;
    pelto_tuning_options_init(&c);
    c.max_lag_ms = o.maxLagMs.value_or(NaN);
    c.min_cut_off_steps = o.minCutOffSteps;
    c.min_cut_off_low = o.minCutOffLow;
    c.min_cut_off_high = o.minCutOffHigh;
    c.beta_steps = o.betaSteps;
    c.boost_low = o.boostLow;
    c.boost_high = o.boostHigh;
    c.freq = o.freq;
    c.d_cut_off = o.dCutOff;
    c.threads = o.threads;
    c.fast_factor = o.measuring.fastFactor;
    c.still_factor = o.measuring.stillFactor;
    c.settle_ms = o.measuring.settleMs;
    c.lag_progress = o.measuring.lagProgress;
    c.timestamp_precision = static_cast<std::int64_t>(choices.precision);
    c.derivative_source = static_cast<std::int64_t>(choices.derivative);
    return c;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in({data, size});
    TuningOptions options;
    options.measuring = {.fastFactor = factor(in.byte()),
                         .stillFactor = factor(in.byte()),
                         .settleMs = 10.0 * factor(in.byte()),
                         .lagProgress = 0.05 * static_cast<double>(in.byte() % 23)};
    const std::uint8_t budget = in.byte();
    if (budget % 8 == 1) {
        options.maxLagMs = NaN;
    } else if (budget % 8 != 0) {
        options.maxLagMs = 0.5 * static_cast<double>(budget) - 4.0;
    }
    const std::uint8_t grid = in.byte();
    options.minCutOffSteps = grid % 5;     // 0 to 4
    options.betaSteps = (grid >> 4U) % 5U; // 0 to 4
    options.minCutOffLow = rangeEnd(in.byte(), 0.1);
    options.minCutOffHigh = rangeEnd(in.byte(), 10.0);
    options.boostLow = rangeEnd(in.byte(), 0.1);
    options.boostHigh = rangeEnd(in.byte(), 1000.0);
    const std::uint8_t bank = in.byte();
    options.freq = 15.0 * (1 + bank % 8);
    options.dCutOff = 0.5 * (1 + (bank >> 3U) % 4U);
    BankChoices choices{.precision = (bank & 0x20U) != 0
                                         ? pelto::TimestampPrecision::EXACT
                                         : pelto::TimestampPrecision::WHOLE_MILLISECONDS,
                        .derivative = (bank & 0x40U) != 0 ? pelto::DerivativeSource::FILTERED
                                                          : pelto::DerivativeSource::RAW};
    // The C structs' sizes: too small, the first release's, the current one or larger.
    const std::uint8_t sizes = in.byte();
    constexpr std::array<std::size_t, 4> optionSizes{
        offsetof(pelto_tuning_options, timestamp_precision) - 1,
        offsetof(pelto_tuning_options, timestamp_precision), sizeof(pelto_tuning_options),
        sizeof(pelto_tuning_options) + 8};
    const std::size_t optionSize = optionSizes[sizes % 4];
    const std::size_t resultSize = sizeof(pelto_tuning_result) - ((sizes >> 2U) % 4 == 3 ? 8 : 0);
    if (optionSize < sizeof(pelto_tuning_options)) {
        choices = BankChoices{}; // what an older caller gets
    }
    const pelto::fuzz::Recording r = pelto::fuzz::decodeRecording(in, 12);
    const std::span<const double> t(r.timestamps);
    const std::span<const double> v(r.values);
    const std::size_t channels = r.channels;

    const bool measuringOk = measuringValid(options.measuring);
    const bool tuningOk = tuningValid(options);
    PELTO_FUZZ_CHECK(returns([&] {
                         PELTO_FUZZ_CHECK(
                             profileFinite(profile(t, v, channels, options.measuring)));
                     }) == measuringOk);
    const FilterParameters parameters{.freq = options.freq,
                                      .minCutOff = options.minCutOffLow,
                                      .beta = options.boostLow / 1000.0,
                                      .dCutOff = options.dCutOff};
    PELTO_FUZZ_CHECK(returns([&] {
                         PELTO_FUZZ_CHECK(figuresFinite(
                             measure(t, v, channels, parameters, options.measuring, choices)));
                     }) == measuringOk);

    std::string json;
    std::optional<TuningReport> one;
    for (const std::size_t threads : {1U, 2U}) {
        options.threads = threads;
        PELTO_FUZZ_CHECK(returns([&] {
                             TuningReport report = tuneReport(t, v, channels, options, choices);
                             checkReport(report);
                             const std::string text = toJson(report);
                             PELTO_FUZZ_CHECK(threads == 1 || text == json);
                             json = text;
                             if (threads == 1) {
                                 one = std::move(report);
                             }
                         }) == tuningOk);
    }

    // The sweep measures its sets side by side: each as measure() measures it alone.
    if (one && one->lagBasis == pelto::tuning::LagBasis::RECORDED) {
        for (const Measurement& swept : one->result.grid) {
            const Measurement alone =
                measure(t, v, channels, swept.parameters, options.measuring, choices);
            PELTO_FUZZ_CHECK(sameFigures(alone, swept));
        }
    }

    // The C interface with the same options, behind the sizes drawn. A NaN budget is C's "the
    // default", which C++ refuses: then there is no C++ answer to compare with.
    TuningOptions inC = options;
    if (inC.maxLagMs && std::isnan(*inC.maxLagMs)) {
        inC.maxLagMs.reset();
    }
    const bool cOk = tuningValid(inC);
    const bool sizesOk = optionSize >= offsetof(pelto_tuning_options, timestamp_precision) &&
                         resultSize >= sizeof(pelto_tuning_result);
    std::array<pelto_tuning_options, 2> c{cOptions(options, choices), {}};
    c[0].size = optionSize;
    std::array<pelto_tuning_measurement, 4> front{};
    pelto_tuning_result result{};
    result.size = resultSize;
    result.front = front.data();
    result.front_capacity = front.size();
    const bool answered = pelto_tune(t.data(), r.rows(), v.data(), channels, c.data(), &result);
    PELTO_FUZZ_CHECK(answered == (sizesOk && cOk));
    if (answered && one) {
        const TuningResult& expected = one->result;
        PELTO_FUZZ_CHECK(result.status == static_cast<std::int64_t>(expected.status));
        PELTO_FUZZ_CHECK(result.front_count == expected.front.size());
        PELTO_FUZZ_CHECK(result.has_recommendation == expected.recommendation.has_value());
        if (expected.recommendation) {
            PELTO_FUZZ_CHECK(
                sameBits(result.recommendation.min_cut_off,
                         expected.recommendation->parameters.minCutOff) &&
                sameBits(result.recommendation.beta, expected.recommendation->parameters.beta) &&
                sameBits(result.recommendation.mean_lag_ms, expected.recommendation->meanLagMs));
        }
        for (std::size_t i = 0; i < std::min(front.size(), expected.front.size()); ++i) {
            PELTO_FUZZ_CHECK(sameBits(front[i].smoothed_jitter, expected.front[i].smoothedJitter));
        }
    }
    if ((sizes & 0x10U) == 0) {
        return 0; // pelto_tune_json sweeps once more: every other input
    }
    const bool optionsOk = optionSize >= offsetof(pelto_tuning_options, timestamp_precision);
    std::size_t length = 0;
    PELTO_FUZZ_CHECK(pelto_tune_json(t.data(), r.rows(), v.data(), channels, c.data(), nullptr, 0,
                                     &length) == (optionsOk && cOk));
    PELTO_FUZZ_CHECK(!(optionsOk && tuningOk) || length == json.size());
    return 0;
}
