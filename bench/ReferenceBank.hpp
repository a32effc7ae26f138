#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pelto::bench {

// A plain exact filter bank to measure the library against, written the
// straightforward way: one array per piece of channel state, the clock keyed on
// the integer interval in a direct-mapped table, three divisions per channel. It
// gives the library's bits; the benchmark checks so before it measures. Compiled
// in a translation unit of its own, as the library is.
class ReferenceBank {
  public:
    ReferenceBank(std::size_t channels, double freq, double minCutOff, double beta, double dCutOff);

    // One sample; the values and timestamps of a well-formed stream only (no
    // length check, no reset).
    bool filterValues(double timestamp, const double* val) noexcept;

    // `rows` samples, row-major; smoothed receives each row's output.
    std::size_t filterSamples(const double* timestamps, std::size_t rows, const double* values,
                              double* smoothed) noexcept;

    [[nodiscard]] const std::vector<double>& values() const noexcept { return s_; }

  private:
    struct Clock {
        std::int64_t interval = -1;
        double freq = 0.0;
        double te = 0.0;
        double dAlpha = 0.0;
    };

    void advance(double timestamp) noexcept;
    bool channels(const double* val) noexcept;

    std::vector<double> s_;
    std::vector<double> y_;
    std::vector<double> a_;
    std::vector<double> ds_;
    double minCutOff_;
    double beta_;
    double dTau_;
    double freq_;
    double te_;
    double dAlpha_;    // in force
    double dAlphaNow_; // at the current frequency
    std::int64_t last_ = -1;
    bool started_ = false;
    std::array<Clock, 64> clocks_{};
};

} // namespace pelto::bench
