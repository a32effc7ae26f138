#pragma once

#include <pelto/tuning/Tuning.hpp>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pelto::detail {

/// The one place the tuner builds a filter bank from a parameter set.
[[nodiscard]] OneEuroFilterManager makeBank(std::size_t channels,
                                            const tuning::FilterParameters& parameters,
                                            const tuning::BankChoices& choices);

/// The lag figures of `lags` (one per movement measured, in order) into `result`; reorders them.
void summariseLags(std::vector<double>& lags, tuning::Measurement& result);

/// A movement known in advance (a synthesised recording's): samples `first` to `last` move from
/// `from` to `to` (row vectors of the recording's width).
struct KnownMovement {
    std::size_t first = 0;
    std::size_t last = 0;
    std::vector<double> from;
    std::vector<double> to;
};

/// One recording, classified once, then measured under any number of parameter sets (from any
/// number of threads at once: measuring reads the analysis only).
class RecordingAnalysis {
  public:
    /// Throws std::invalid_argument as tuning::profile() documents.
    RecordingAnalysis(std::span<const double> timestamps, std::span<const double> values,
                      std::size_t channels, const tuning::MeasuringOptions& options);

    /// A recording whose movements are given rather than detected; jitter is not measured on it.
    RecordingAnalysis(std::span<const double> timestamps, std::span<const double> values,
                      std::size_t channels, const tuning::MeasuringOptions& options,
                      const std::vector<KnownMovement>& movements);

    [[nodiscard]] const tuning::SignalProfile& profile() const noexcept { return profile_; }
    [[nodiscard]] const std::vector<tuning::DetectedMovement>& detected() const noexcept {
        return detected_;
    }
    /// Movements with a displacement, hence a lag to measure.
    [[nodiscard]] std::size_t measurable() const noexcept { return movements_.size(); }
    /// RMS length of the raw still steps; NaN without one.
    [[nodiscard]] double rawJitter() const noexcept;

    /// Buffers of measureAll(): the sets' state, nothing the size of the recording.
    struct SweepBuffers {
        std::vector<double> state;
        std::vector<double> beta;
        std::vector<double> minCutOff;
        std::vector<double> freshAlpha;
        std::vector<double> squares;
        std::vector<double> smoothedSquares;
        std::vector<double> progress;
        std::vector<double> lags; ///< per movement and set; NaN for none
        std::vector<double> gathered;
        std::vector<std::size_t> censored;
        std::vector<std::size_t> order;
        std::vector<std::uint8_t> left;
        std::vector<std::uint8_t> bad;
    };

    /// Buffers for one measurement at a time; one per thread.
    struct Workspace {
        std::vector<double> smoothed;
        std::vector<std::uint8_t> accepted;
        std::vector<double> lags;
        SweepBuffers sweep;
    };

    /// Jitter on this recording; lag on `lagSource` (this one when null).
    [[nodiscard]] tuning::Measurement measure(const tuning::FilterParameters& parameters,
                                              const tuning::BankChoices& choices,
                                              Workspace& workspace,
                                              const RecordingAnalysis* lagSource = nullptr) const;

    /// What measure() gives for each of `sets`, bit for bit, into `into` (as many): the sets
    /// side by side in one pass over the recording (and one over `lagSource`), jitter and lag
    /// measured as the rows go by. Sets that share freq and dCutOff share the pass.
    void measureAll(std::span<const tuning::FilterParameters> sets,
                    const tuning::BankChoices& choices, Workspace& workspace,
                    std::span<tuning::Measurement> into,
                    const RecordingAnalysis* lagSource = nullptr) const;

    /// The most sets measureAll() should take at once for its buffers to stay within a few times
    /// the recording's size (at least one vector of sets).
    [[nodiscard]] std::size_t setsPerPass() const noexcept;

  private:
    friend class SetPass;

    struct Movement {
        std::size_t first = 0;     ///< the movement's first sample
        std::size_t last = 0;      ///< its last sample
        std::size_t windowEnd = 0; ///< the smoothed signal's search ends here
        double length = 0.0;       ///< distance from start point to end point
        double rawTime = 0.0;      ///< when the raw signal reaches the progress
    };

    [[nodiscard]] std::span<const double> row(std::span<const double> signal,
                                              std::size_t i) const noexcept {
        return signal.subspan(i * channels_, channels_);
    }
    [[nodiscard]] double progress(std::size_t movement, std::span<const double> point) const;
    struct Crossing {
        double time;   ///< NaN when not reached
        bool censored; ///< not reached by the window's end (rather than interrupted)
    };
    /// When `signal` first reaches the lag's progress along a movement, interpolated, searched
    /// from its first sample to its window's end; interrupted by an unusable sample, or one
    /// `accepted` (unless empty) marks refused.
    [[nodiscard]] Crossing crossing(std::size_t movement, std::span<const double> signal,
                                    std::span<const std::uint8_t> accepted) const;
    void checkShape(const tuning::MeasuringOptions& options);
    void classify(const tuning::MeasuringOptions& options);
    void addMovement(std::size_t first, std::size_t last, std::size_t windowEnd,
                     std::span<const double> from, std::span<const double> to);
    /// RMS length of the still steps of `signal` that `accepted` keeps, when their squares
    /// overflow a double.
    [[nodiscard]] double scaledJitter(std::span<const double> signal,
                                      std::span<const std::uint8_t> accepted) const;
    void measureLags(std::span<const double> smoothed, std::span<const std::uint8_t> accepted,
                     tuning::Measurement& result, std::vector<double>& lags) const;

    std::span<const double> timestamps_;
    std::span<const double> values_;
    std::size_t channels_;
    double lagProgress_;
    std::vector<std::uint8_t> usable_;
    std::vector<std::size_t> stillEnds_; ///< samples ending a still step
    std::vector<double> stillSquares_;   ///< squared length of each still step
    std::vector<Movement> movements_;    ///< those with a length only
    std::vector<double> origins_;        ///< start point of each movement, row-major
    std::vector<double> directions_;     ///< unit vector of each movement, row-major
    std::vector<tuning::DetectedMovement> detected_;
    tuning::SignalProfile profile_;
};

} // namespace pelto::detail
