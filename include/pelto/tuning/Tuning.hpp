#pragma once

#include <pelto/Export.hpp>
#include <pelto/filters/OneEuroFilterManager.hpp>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

/// Measuring what a filter bank does to a recording, and finding the parameters that suit it.
///
/// A recording is `timestamps` (milliseconds) with one row of `channels` values per timestamp,
/// row-major in `values`: a sample is a point in `channels` dimensions, and every distance below
/// is Euclidean, in the channels' unit.
///
/// Classification, from the raw recording alone, so the same for every parameter set:
/// - A sample is usable when its timestamp and all its values are finite.
/// - A step joins two consecutive usable samples whose timestamps increase. Its speed is the
///   distance between them divided by the interval, in channel units per second.
/// - m is the median step speed. Every median here is the middle value of the sorted list; for
///   an even count, the upper of the two middle values.
/// - A step is fast when its speed is above `fastFactor` × m. A movement is a maximal run of
///   consecutive fast steps: it starts at the sample before its first fast step and ends at the
///   sample that ends its last.
/// - A step is still when it is not fast, its speed is at most `stillFactor` × m, and its first
///   sample comes at least `settleMs` after the end of the latest movement (the smoothed signal is
///   still catching up there, which the lag measures).
///
/// Figures for one parameter set: the recording runs through one fresh OneEuroFilterManager with
/// one channel per channel of the recording, as filterSamples() does.
/// - Jitter, over the still steps whose two samples the bank accepted: the RMS length of the
///   smoothed signal's steps (`smoothedJitter`) and of the raw signal's (`rawJitter`).
/// - Lag, for each movement whose end point differs from its start point: progress along the
///   movement is 0 at its start point and 1 at its end point (the projection on the line between
///   them). The raw signal reaches `lagProgress` at time tr, within the movement; the smoothed
///   signal at time ts, searched from the movement's start up to the next movement's start (or
///   the recording's last sample). Both times are interpolated linearly between samples, and the
///   lag is ts - tr. When the smoothed signal has not got there by the end of that window, ts is
///   the window's last timestamp and the lag is censored: a lower bound, never below a lag
///   reached in the same window. A movement is left out when a sample the bank refused (or an
///   unusable one) interrupts the search first.
namespace pelto::tuning {

/// Thresholds of the classification (see the namespace's description).
struct MeasuringOptions {
    double fastFactor = 5.0;  ///< fast: speed > fastFactor × median speed
    double stillFactor = 5.0; ///< still: speed <= stillFactor × median speed (and not fast)
    double settleMs = 200.0;  ///< still steps this soon after a movement are left out
    double lagProgress = 0.9; ///< share of a movement at which the lag is measured, in (0, 1]
};

/// The parameters of a filter bank, as its constructor takes them; the class defaults unless set.
struct FilterParameters {
    double freq = OneEuroFilterManager::DEFAULT_FREQUENCY;
    double minCutOff = OneEuroFilterManager::DEFAULT_MIN_CUT_OFF;
    double beta = OneEuroFilterManager::DEFAULT_BETA;
    double dCutOff = OneEuroFilterManager::DEFAULT_D_CUT_OFF;
};

inline constexpr double NOT_MEASURED = std::numeric_limits<double>::quiet_NaN();

/// What one parameter set does to a recording. Figures without data are NaN.
struct Measurement {
    FilterParameters parameters;
    std::size_t samples = 0;              ///< rows of the recording
    std::size_t refused = 0;              ///< samples filterValues() would answer false for
    std::size_t stillSteps = 0;           ///< steps the jitter covers
    std::size_t movements = 0;            ///< movements found
    std::size_t lagsMeasured = 0;         ///< movements with a lag, censored ones included
    std::size_t lagsCensored = 0;         ///< the smoothed signal did not get there in time
    double rawJitter = NOT_MEASURED;      ///< RMS raw step in still periods
    double smoothedJitter = NOT_MEASURED; ///< RMS smoothed step in still periods
    double jitterRatio = NOT_MEASURED;    ///< smoothedJitter / rawJitter
    double meanLagMs = NOT_MEASURED;
    double medianLagMs = NOT_MEASURED;
    double maxLagMs = NOT_MEASURED;
};

/// What the classification found in a recording. Speeds are in channel units per second.
struct SignalProfile {
    std::size_t samples = 0;
    std::size_t steps = 0;
    double samplePeriodMs = NOT_MEASURED; ///< median interval of the steps
    double medianSpeed = NOT_MEASURED;    ///< m
    double fastSpeed = NOT_MEASURED;      ///< fastFactor × m
    double stillSpeed = NOT_MEASURED;     ///< stillFactor × m
    double movementSpeed = NOT_MEASURED;  ///< median speed of the fast steps
    std::size_t stillSteps = 0;           ///< still steps, whatever the bank accepts
    std::size_t movements = 0;
};

/// Why a recording cannot be tuned; OK when it can. Texts: statusText().
enum class TuningStatus : std::int64_t {
    OK = 0,
    TOO_FEW_SAMPLES = 1,          ///< no step: fewer than two consecutive usable samples
    ALL_REFUSED = 2,              ///< the filter bank refuses every sample
    NO_MOTION = 3,                ///< the median speed is zero: a constant signal
    NO_MOVEMENTS = 4,             ///< no movement with a lag to measure
    NO_STILL_PERIODS = 5,         ///< no still step to measure jitter on
    NO_SETTING_WITHIN_BUDGET = 6, ///< every parameter set lags more than the budget
};

/// One sentence saying what `status` means, e.g. "cannot tune: the signal is constant ...".
/// Static text; "" for a value that is no case.
[[nodiscard]] PELTO_EXPORT std::string_view statusText(TuningStatus status) noexcept;

/// The parameter grid and the lag budget of tune().
///
/// minCutOff runs over `minCutOffSteps` values spaced evenly in logarithm from `minCutOffLow` to
/// `minCutOffHigh` (Hz: the same in every unit). beta multiplies a speed, in channel units per
/// second, to give Hz, so its grid follows the recording's units: `betaSteps` values spaced
/// evenly in logarithm from `boostLow` / s to `boostHigh` / s, where s is the profile's
/// movementSpeed; boostLow and boostHigh are how much beta raises the cutoff (Hz) at that speed.
/// A recording scaled by k (pixels to degrees, say) gets the beta grid scaled by 1 / k, on which
/// the bank gives the scaled results: the same physical settings, whatever the units.
struct TuningOptions {
    MeasuringOptions measuring;
    /// Lag budget: the recommendation is the parameter set with the least smoothed jitter whose
    /// mean lag is at most this. Empty: one nominal sample period (the profile's samplePeriodMs).
    std::optional<double> maxLagMs;
    std::size_t minCutOffSteps = 25;
    double minCutOffLow = 0.01; ///< Hz
    double minCutOffHigh = 10.0;
    std::size_t betaSteps = 25;
    double boostLow = 0.01; ///< Hz
    double boostHigh = 1000.0;
    double freq = OneEuroFilterManager::DEFAULT_FREQUENCY; ///< fixed for every parameter set
    double dCutOff = OneEuroFilterManager::DEFAULT_D_CUT_OFF;
    /// Worker threads; 0: std::thread::hardware_concurrency(). The results do not depend on it.
    std::size_t threads = 0;
};

/// What tune() found.
struct TuningResult {
    TuningStatus status = TuningStatus::TOO_FEW_SAMPLES;
    SignalProfile profile;
    double maxLagMs = NOT_MEASURED; ///< the budget applied
    std::vector<double> minCutOffs; ///< the grid's values, ascending
    std::vector<double> betas;      ///< ascending
    /// One measurement per parameter set, minCutOff-major: minCutOffs[i] with betas[j] at
    /// i × betas.size() + j. Empty unless the sweep ran (status OK or NO_SETTING_WITHIN_BUDGET).
    std::vector<Measurement> grid;
    /// The Pareto front of (smoothedJitter, meanLagMs) over the grid: the parameter sets that no
    /// other one beats on both (among equal pairs, the first in grid order), by mean lag
    /// ascending, hence smoothed jitter descending.
    std::vector<Measurement> front;
    /// The least smoothed jitter within the budget (ties: less lag, then grid order); one of the
    /// front's. Present exactly when status is OK.
    std::optional<Measurement> recommendation;
    /// The class defaults, with the options' freq and dCutOff; measured whatever the status.
    Measurement defaults;
};

/// The classification of a recording.
///
/// Throws std::invalid_argument when `channels` is 0, `values` does not hold `channels` values
/// per timestamp, or `options` are out of range (a factor or settleMs negative or NaN,
/// lagProgress outside (0, 1]).
[[nodiscard]] PELTO_EXPORT SignalProfile profile(std::span<const double> timestamps,
                                                 std::span<const double> values,
                                                 std::size_t channels,
                                                 const MeasuringOptions& options = {});

/// What one parameter set does to a recording. Throws as profile() does, and std::bad_alloc.
[[nodiscard]] PELTO_EXPORT Measurement measure(std::span<const double> timestamps,
                                               std::span<const double> values, std::size_t channels,
                                               const FilterParameters& parameters = {},
                                               const MeasuringOptions& options = {});

/// Measures every parameter set of the grid and recommends one. A recording that cannot be
/// tuned gives its status, not an exception, and no sweep runs: fewer than two consecutive
/// usable samples, every sample refused, a constant signal, no movement or no still step.
///
/// The parameter sets run on `options.threads` threads started and joined within the call; the
/// results are the same for any thread count. Memory: one smoothed copy of the recording, plus
/// one flag per sample, per thread. Throws as profile() does, also when a grid has no step, the
/// grid's size overflows std::size_t, a range is not positive and finite with low <= high, or
/// maxLagMs is NaN; std::bad_alloc.
[[nodiscard]] PELTO_EXPORT TuningResult tune(std::span<const double> timestamps,
                                             std::span<const double> values, std::size_t channels,
                                             const TuningOptions& options = {});

} // namespace pelto::tuning
