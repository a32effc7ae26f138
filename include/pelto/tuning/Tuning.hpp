#pragma once

#include <pelto/Export.hpp>
#include <pelto/filters/OneEuroFilterManager.hpp>
#include <pelto/types/Enumerations.hpp>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// Measuring what a filter bank does to a recording, and finding the parameters that suit it.
///
/// A recording is `timestamps` (milliseconds) with one row of `channels` values per timestamp,
/// row-major in `values`: a sample is a point in `channels` dimensions, and every distance below
/// is Euclidean, in the channels' unit.
///
/// Classification, from the raw recording alone, so the same for every parameter set:
/// - A sample is usable when its timestamp and all its values are finite. A step joins two
///   consecutive usable samples whose timestamps increase; the sample period is the median
///   interval of the steps.
/// - The speed at a sample is the distance between the samples h before and h after it divided
///   by their interval, h being the number of sample periods nearest 4 ms (at least 1); it is
///   not measured when a sample in between is unusable. Over a few milliseconds rather than per
///   step, it tells eye movements from sample noise at any rate.
/// - The thresholds adapt to the recording's noise: the fast speed is the fixed point of
///   mean + `fastFactor` × standard deviation of the speeds below it; the still speed is
///   mean + `stillFactor` × deviation of the same speeds (at most the fast speed).
/// - A movement is a run of samples faster than the fast speed, widened while the speed stays
///   above the still speed, merged with the next when they are at most 20 ms (or 1.5 sample
///   periods) apart, and dropped when it has a single sample, lasts less than 10 ms including a
///   sample period, or borders a gap or an end of the recording. Its start and end points are the
///   means of the still samples within 50 ms before and after it (the movement's own first or last
///   sample when there is none).
/// - A step is still when both its samples are still (speed measured, at most the still speed,
///   outside every movement) and its first sample comes at least `settleMs` after the end of the
///   latest movement (the smoothed signal is still catching up there, which the lag measures).
///
/// Figures for one parameter set: the recording runs through one fresh OneEuroFilterManager with
/// one channel per channel of the recording, as filterSamples() does.
/// - Jitter, over the still steps whose two samples the bank accepted: the RMS length of the
///   smoothed signal's steps (`smoothedJitter`) and of the raw signal's (`rawJitter`).
/// - Lag, for each movement whose end point differs from its start point: progress along the
///   movement is 0 at its start point and 1 at its end point (the projection on the line between
///   them). The raw signal reaches `lagProgress` at time tr and the smoothed signal at time ts,
///   both searched from the movement's first sample up to the next movement's first (or the
///   recording's last sample) and interpolated linearly between samples. The lag is
///   max(0, ts - tr): a causal filter cannot lead, so an earlier crossing is noise. When the
///   smoothed signal has not got there by the end of that window, ts is the window's last
///   timestamp and the lag is censored: a lower bound. A movement is left out when the raw
///   signal never gets there, or a sample the bank refused (or an unusable one) interrupts the
///   search first.
namespace pelto::tuning {

/// Thresholds of the classification (see the namespace's description).
struct MeasuringOptions {
    double fastFactor = 6.0;  ///< fast: above mean + fastFactor × deviation of the noise speeds
    double stillFactor = 3.0; ///< still: at most mean + stillFactor × deviation
    double settleMs = 150.0;  ///< still steps this soon after a movement are left out
    double lagProgress = 0.9; ///< share of a movement at which the lag is measured, in (0, 1]
};

// FilterParameters, the bank's four parameters, comes with
// <pelto/filters/OneEuroFilterManager.hpp>.

inline constexpr double NOT_MEASURED = std::numeric_limits<double>::quiet_NaN();

/// What one parameter set does to a recording. Figures without data are NaN. The lags are finite
/// or NaN; so are the jitters, but for +infinity when a step's change in one channel exceeds the
/// largest double (values of opposite signs beyond about 1e308); their ratio is infinite when the
/// raw jitter is 0 and the smoothed one is not.
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
    double medianSpeed = NOT_MEASURED;    ///< median of the speeds
    /// The movement threshold; +infinity when it exceeds the largest double (a huge fastFactor,
    /// or speeds near that size): then no sample is fast.
    double fastSpeed = NOT_MEASURED;
    double stillSpeed = NOT_MEASURED;    ///< the still threshold; +infinity as fastSpeed
    double movementSpeed = NOT_MEASURED; ///< median peak speed of the movements
    std::size_t stillSteps = 0;          ///< still steps, whatever the bank accepts
    std::size_t movements = 0;
};

/// Why a recording cannot be tuned; OK when it can. An Enumeration: description() gives the
/// case's name ("NO_MOTION"), statusText() one sentence saying what it means. TOO_FEW_SAMPLES:
/// no step, fewer than two consecutive usable samples. ALL_REFUSED: the filter bank refuses every
/// sample. NO_MOTION: the median speed is zero, a constant signal. NO_MOVEMENTS: no movement with
/// a lag to measure. NO_STILL_PERIODS: no still step to measure jitter on.
/// NO_SETTING_WITHIN_BUDGET: tuned over budget, the least lag is recommended.
enum class TuningStatus : std::int64_t { PELTO_TUNING_STATUS_CASES(PELTO_ENUMERATOR_) };

/// A movement the classification found. Speeds are in channel units per second.
struct DetectedMovement {
    double startMs = NOT_MEASURED;   ///< timestamp of its first sample
    double endMs = NOT_MEASURED;     ///< timestamp of its last sample
    double amplitude = NOT_MEASURED; ///< distance from its start point to its end point
    double peakSpeed = NOT_MEASURED;
};

/// What the lag figures of a sweep were measured on: RECORDED, the recording's own movements;
/// SYNTHESISED, movements synthesised on the recording's clock and noise. An Enumeration.
enum class LagBasis : std::int64_t { PELTO_LAG_BASIS_CASES(PELTO_ENUMERATOR_) };

/// One sentence saying what `status` means, e.g. "cannot tune: the signal is constant ...".
/// Static text; "" for a value that is no case.
[[nodiscard]] PELTO_EXPORT std::string_view statusText(TuningStatus status) noexcept;

/// The default lag budget, milliseconds: a gaze cursor or gaze-contingent change that follows the
/// eye within 20 ms lands while vision is still suppressed around the saccade, and a tracker of
/// any rate, a 30 Hz webcam included, has a setting that keeps it.
inline constexpr double DEFAULT_MAX_LAG_MS = 20.0;

/// Movements a recording needs for its own lag figures; with fewer, tune() synthesises them.
inline constexpr std::size_t MIN_MOVEMENTS = 5;

/// The parameter grid and the lag budget of tune().
///
/// The coarse grid: minCutOff runs over `minCutOffSteps` values spaced evenly in logarithm from
/// `minCutOffLow` to the range's high end (Hz: the same in every unit). beta multiplies a speed, in
/// channel units per second, to give Hz, so its grid follows the recording's units: `betaSteps`
/// values spaced evenly in logarithm from `boostLow` / s to `boostHigh` / s, where s is the
/// profile's movementSpeed; boostLow and boostHigh are how much beta raises the cutoff (Hz) at that
/// speed. A recording scaled by k (pixels to degrees, say) gets the beta grid scaled by 1 / k, on
/// which the bank gives the scaled results: the same physical settings, whatever the units. A grid
/// of one step is its low end alone. Every parameter set measured, the refinements' included, lies
/// within the coarse grid's extent.
struct TuningOptions {
    MeasuringOptions measuring;
    /// Lag budget: the recommendation is the parameter set with the least smoothed jitter whose
    /// mean lag is at most this. Empty: DEFAULT_MAX_LAG_MS, whatever the sampling rate.
    std::optional<double> maxLagMs;
    std::size_t minCutOffSteps = 13; ///< the coarse grid; the sweep then refines around its pick
    double minCutOffLow = 0.01;      ///< Hz
    /// Hz; the range ends at the lower of this and a quarter of the sampling rate (half the
    /// Nyquist frequency), so it may be infinite.
    double minCutOffHigh = std::numeric_limits<double>::infinity();
    std::size_t betaSteps = 13;
    double boostLow = 0.01; ///< Hz
    double boostHigh = 100000.0;
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
    std::vector<double> minCutOffs; ///< the coarse grid's values, ascending
    std::vector<double> betas;      ///< ascending
    /// One measurement per parameter set of the coarse grid, minCutOff-major: minCutOffs[i] with
    /// betas[j] at i × betas.size() + j. Empty unless the sweep ran (status OK or
    /// NO_SETTING_WITHIN_BUDGET).
    std::vector<Measurement> grid;
    /// The Pareto front of (smoothedJitter, meanLagMs) over the coarse grid and its refinements:
    /// the parameter sets that no other one beats on both (among equal pairs, the first
    /// measured), by mean lag ascending, hence smoothed jitter descending.
    std::vector<Measurement> front;
    /// The least smoothed jitter within the budget (ties: less lag, then the first measured);
    /// over budget, the least lag. One of the front's; present exactly when the sweep ran.
    std::optional<Measurement> recommendation;
    /// The class defaults, with the options' freq and dCutOff; measured whatever the status.
    Measurement defaults;
};

/// How the tuner's banks read a recording. Unlike a bank's own default, timestamps are read
/// exactly: a recording's clock is what it is (fractions of a millisecond included, a repeated
/// frame dropped rather than a reset).
struct BankChoices {
    TimestampPrecision precision = TimestampPrecision::EXACT;
    DerivativeSource derivative = DerivativeSource::RAW;
};

/// Everything tune() found, with what it rests on.
struct TuningReport {
    TuningResult result;
    std::vector<DetectedMovement> movements; ///< the recording's, in time order
    LagBasis lagBasis = LagBasis::RECORDED;  ///< of the sweep's lag figures
    bool budgetGiven = false;                ///< the budget is the options' maxLagMs
    bool overBudget = false;                 ///< the recommendation lags more than the budget
    bool atSearchEdge = false; ///< the recommendation sits at an end of a parameter range
    double clockPrecisionMs = NOT_MEASURED; ///< the largest power of ten dividing every timestamp
    /// The refinements' measurements, after the coarse grid's; parameter sets in order of
    /// measuring.
    std::vector<Measurement> refined;
    BankChoices choices; ///< how every bank of the sweep read the recording
};

/// The most channels a recording may have: far more than any tracker gives (a face's landmarks are
/// a few hundred), and few enough that every bank the tuner builds fits whatever the row count,
/// an empty recording's included.
inline constexpr std::size_t MAX_CHANNELS = 65536;

/// The classification of a recording.
///
/// Throws std::invalid_argument when `channels` is 0 or more than MAX_CHANNELS, `values` does not
/// hold `channels` values per timestamp, or `options` are out of range (a factor negative,
/// infinite or NaN, settleMs negative or NaN, lagProgress outside (0, 1]).
[[nodiscard]] PELTO_EXPORT SignalProfile profile(std::span<const double> timestamps,
                                                 std::span<const double> values,
                                                 std::size_t channels,
                                                 const MeasuringOptions& options = {});

/// What one parameter set does to a recording, read with the default BankChoices (exact
/// timestamps). Throws as profile() does, and std::bad_alloc.
[[nodiscard]] PELTO_EXPORT Measurement measure(std::span<const double> timestamps,
                                               std::span<const double> values, std::size_t channels,
                                               const FilterParameters& parameters = {},
                                               const MeasuringOptions& options = {});

/// measure() with the bank's construction choices given.
[[nodiscard]] PELTO_EXPORT Measurement measure(std::span<const double> timestamps,
                                               std::span<const double> values, std::size_t channels,
                                               const FilterParameters& parameters,
                                               const MeasuringOptions& options,
                                               const BankChoices& choices);

/// Measures every parameter set of the coarse grid, then twice a finer grid around the pick, and
/// recommends one. Jitter is measured on the recording; lag too when it has at least
/// MIN_MOVEMENTS movements to measure, else on movements synthesised on its own clock (its
/// timestamps), with its still noise and its typical amplitude (the median of its movements', or
/// half the spread of its values without one). A recording that cannot be tuned gives its
/// status, not an exception, and no sweep runs: fewer than two consecutive usable samples, every
/// sample refused, a constant signal, or no still step.
///
/// The parameter sets run on `options.threads` threads started and joined within the call; the
/// results are the same for any thread count.
///
/// Cost, whatever the recording holds (all movement, all noise, gaps, any channel count): time
/// about proportional to rows × channels × parameter sets (the coarse grid's
/// minCutOffSteps × betaSteps plus at most 125 refined), plus sorting each channel's values once;
/// memory proportional to rows × channels: the recording's classification (and a synthesised
/// recording of at most its size), plus per thread the state of the parameter sets it runs side
/// by side (at most 32,768 channel lanes of 32 bytes) and one lag per set and movement (at most
/// a quarter of rows × channels, or 65,536, values), plus one Measurement per parameter set. The
/// parameter sets are measured together, in the lanes of the widest vectors the CPU has, in one
/// pass over the recording per thread; every figure is what measure() gives for the set, bit for
/// bit. Throws as profile() does, also when a grid has no step, the grid's size overflows
/// std::size_t, a range is not positive with low <= high (finite but for minCutOffHigh), or
/// maxLagMs is NaN; std::bad_alloc.
[[nodiscard]] PELTO_EXPORT TuningResult tune(std::span<const double> timestamps,
                                             std::span<const double> values, std::size_t channels,
                                             const TuningOptions& options = {});

/// tune() with the banks' construction choices given (the other overload: BankChoices{}).
[[nodiscard]] PELTO_EXPORT TuningResult tune(std::span<const double> timestamps,
                                             std::span<const double> values, std::size_t channels,
                                             const TuningOptions& options,
                                             const BankChoices& choices);

/// tune(), with the movements, the lag's basis and the search's flags. Throws as tune() does.
[[nodiscard]] PELTO_EXPORT TuningReport tuneReport(std::span<const double> timestamps,
                                                   std::span<const double> values,
                                                   std::size_t channels,
                                                   const TuningOptions& options = {});

/// tuneReport() with the banks' construction choices given.
[[nodiscard]] PELTO_EXPORT TuningReport tuneReport(std::span<const double> timestamps,
                                                   std::span<const double> values,
                                                   std::size_t channels,
                                                   const TuningOptions& options,
                                                   const BankChoices& choices);

/// The movements of a recording, as the classification finds them. Throws as profile() does.
[[nodiscard]] PELTO_EXPORT std::vector<DetectedMovement>
detectMovements(std::span<const double> timestamps, std::span<const double> values,
                std::size_t channels, const MeasuringOptions& options = {});

/// A report as one JSON object (UTF-8, no trailing newline): "status", "statusCode",
/// "message", "budget" {"maxLagMs", "basis"}, "lagBasis", "clockPrecisionMs", "overBudget",
/// "atSearchEdge", "timestampPrecision" and "derivative" (the choices' texts), "profile" (with
/// "movements" [{"startMs", "endMs", "amplitude", "peakSpeed"}]), "front", "recommendation"
/// {"freq", "minCutOff", "beta", "dCutOff", "timestampPrecision", "derivative"} and
/// "recommendationFigures", or null for both, and "defaults". A figure without data is null;
/// numbers round-trip exactly.
[[nodiscard]] PELTO_EXPORT std::string toJson(const TuningReport& report);

} // namespace pelto::tuning

namespace pelto::detail {
PELTO_ENUMERATION_TRAITS_(tuning::TuningStatus, PELTO_TUNING_STATUS_CASES);
PELTO_ENUMERATION_TRAITS_(tuning::LagBasis, PELTO_LAG_BASIS_CASES);
} // namespace pelto::detail
