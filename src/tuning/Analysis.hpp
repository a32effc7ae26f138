#pragma once

#include <pelto/tuning/Tuning.hpp>

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pelto::detail {

/// One recording, classified once, then measured under any number of parameter sets (from any
/// number of threads at once: measuring reads the analysis only).
class RecordingAnalysis {
  public:
    /// Throws std::invalid_argument as tuning::profile() documents.
    RecordingAnalysis(std::span<const double> timestamps, std::span<const double> values,
                      std::size_t channels, const tuning::MeasuringOptions& options);

    [[nodiscard]] const tuning::SignalProfile& profile() const noexcept { return profile_; }

    /// Buffers for one measurement at a time; one per thread.
    struct Workspace {
        std::vector<double> smoothed;
        std::vector<std::uint8_t> accepted;
        std::vector<double> lags;
    };

    [[nodiscard]] tuning::Measurement measure(const tuning::FilterParameters& parameters,
                                              Workspace& workspace) const;

  private:
    struct Movement {
        std::size_t first = 0;     ///< the sample before the first fast step
        std::size_t last = 0;      ///< the sample ending the last fast step
        std::size_t windowEnd = 0; ///< the smoothed signal's search ends here
        double length = 0.0;       ///< distance from start point to end point
        double rawTime = 0.0;      ///< when the raw signal reaches the progress
    };

    [[nodiscard]] std::span<const double> row(std::span<const double> signal,
                                              std::size_t i) const noexcept {
        return signal.subspan(i * channels_, channels_);
    }
    [[nodiscard]] double progress(std::size_t movement, std::span<const double> point) const;
    void classify(const tuning::MeasuringOptions& options);
    void findMovements();

    std::span<const double> timestamps_;
    std::span<const double> values_;
    std::size_t channels_;
    double lagProgress_;
    std::vector<std::uint8_t> usable_;
    std::vector<double> speeds_;         ///< of the step ending at each sample; NaN: no step
    std::vector<std::uint8_t> fast_;     ///< per sample: the step ending there is fast
    std::vector<std::size_t> stillEnds_; ///< samples ending a still step
    std::vector<double> stillSquares_;   ///< squared length of each still step
    std::vector<Movement> movements_;    ///< those with a length only
    std::vector<double> directions_;     ///< unit vector of each movement, row-major
    tuning::SignalProfile profile_;
};

} // namespace pelto::detail
