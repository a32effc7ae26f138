#pragma once

#include "filters/LowPassFilter.hpp"

#include <cmath>
#include <cstdint>

#if defined(__FAST_MATH__)
#error "Pelto's filters promise exact IEEE 754 results: do not build them with -ffast-math."
#endif

namespace pelto::detail {

// What smoothing a sample needs from the sampling frequency: the frequency
// itself, the period and the derivative filter's alpha.
struct FilterTiming {
    double freq;
    double te;
    double derivativeAlpha;
};

// One-euro filter of one scalar signal (T = double), or of several signals
// sampled together (T a lane vector of Lanes.hpp), at irregular integer-millisecond timestamps: a
// low-pass filter whose cutoff rises with the signal's speed.
//
// A sample is processed in three steps that a filter bank can share across
// channels: advanceClock (timestamp bookkeeping, identical for every filter fed
// the same timestamps), cutoff, and smooth. filterValue runs them in order.
template <class T> class BasicOneEuroFilter {
  public:
    static constexpr double TWO_PI = 6.283185307179586;
    static constexpr double MILLISECONDS_PER_SECOND = 1000.0;
    static constexpr std::int64_t NO_TIMESTAMP = -1;

    using Timing = FilterTiming;

    BasicOneEuroFilter(double freq, double mincutoff, double beta, double dcutoff) noexcept;

    T filterValue(T value, std::int64_t timestamp) noexcept {
        advanceClock(timestamp);
        const Timing now = timing();
        return smooth(value, alphaFor(cutoff(value, now.derivativeAlpha), now.te));
    }

    // Re-estimates the frequency from the previous timestamp and records this one.
    // frequencyOf maps the interval in milliseconds to the new frequency; the
    // default is frequencyFor.
    template <class FrequencyOf>
    void advanceClock(std::int64_t timestamp, FrequencyOf&& frequencyOf) noexcept {
        if (timestamp != NO_TIMESTAMP && lasttime_ != NO_TIMESTAMP) {
            freq_ = frequencyOf(timestampDifference(timestamp, lasttime_));
        }
        lasttime_ = timestamp;
    }

    void advanceClock(std::int64_t timestamp) noexcept { advanceClock(timestamp, frequencyFor); }

    [[nodiscard]] static double frequencyFor(double interval) noexcept {
        return MILLISECONDS_PER_SECOND / interval;
    }

    // Takes over the clock of a filter that has just advanced with the same
    // timestamps: the same operations on the same inputs give the same frequency.
    template <class Lead> void followClock(const Lead& lead) noexcept {
        freq_ = lead.freq();
        lasttime_ = lead.lasttime();
    }

    [[nodiscard]] Timing timing() const noexcept { return timingAt(freq_, dcutoff_); }

    [[nodiscard]] static Timing timingAt(double freq, double dcutoff) noexcept {
        const double te = 1.0 / freq;
        return {freq, te, alphaFor(dcutoff, te)};
    }

    // The time constant of a cutoff, the first step of alphaFor.
    [[nodiscard, gnu::always_inline]] static double timeConstant(double cutoff) noexcept {
        return 1.0 / (cutoff * TWO_PI);
    }

    // timingAt with the derivative cutoff's time constant worked out beforehand: the same bits.
    [[nodiscard, gnu::always_inline]] static Timing timingWith(double freq,
                                                               double derivativeTau) noexcept {
        const double te = 1.0 / freq;
        return {freq, te, 1.0 / (derivativeTau / te + 1.0)};
    }

    // Filters the rate of change of value and returns the cutoff for smoothing it.
    T cutoff(T value, double derivativeAlpha) noexcept {
        const T dv = x_.hasLastRawValue() ? freq_ * (value - x_.lastRawValue()) : T{};
        const T edv = dx_.filterValue(dv, broadcast<T>(derivativeAlpha));
        return cutoffFor(edv, beta_, mincutoff_);
    }

    // The cutoff for a filtered rate of change edv, with the parameters of every lane alike
    // (doubles) or lane by lane (vectors like T).
    template <class Parameter>
    [[nodiscard, gnu::always_inline]] static T cutoffFor(T edv, Parameter beta,
                                                         Parameter mincutoff) noexcept {
        return magnitude(edv) * beta + mincutoff;
    }

    T smooth(T value, T alpha) noexcept { return x_.filterValue(value, alpha); }

    // Smoothing factor for a cutoff at the sampling period te (seconds), for one
    // cutoff or a lane pair. No guard: IEEE 754 decides zero and infinite operands.
    template <class Cutoff>
    [[nodiscard, gnu::always_inline]] static Cutoff alphaFor(Cutoff cutoff, double te) noexcept {
        const Cutoff tau = 1.0 / (cutoff * TWO_PI);
        return 1.0 / (tau / te + 1.0);
    }

    [[nodiscard]] double alpha(double cutoff) const noexcept {
        return alphaFor(cutoff, 1.0 / freq_);
    }

    // t - last as a double, rounded once from the exact difference. Equal to the
    // int64 subtraction converted to double whenever that subtraction fits; never
    // overflows.
    [[nodiscard]] static double timestampDifference(std::int64_t t, std::int64_t last) noexcept {
        const auto ut = static_cast<std::uint64_t>(t);
        const auto ul = static_cast<std::uint64_t>(last);
        return t >= last ? static_cast<double>(ut - ul) : -static_cast<double>(ul - ut);
    }

    // Validating setters: an out-of-range value is dropped and the previous one
    // stays. A NaN compares as in range and is stored.
    void setFrequency(double freq) noexcept {
        if (!(freq < 0.0)) {
            freq_ = freq;
        }
    }
    void setMinCutoff(double mincutoff) noexcept {
        if (!(mincutoff <= 0.0)) {
            mincutoff_ = mincutoff;
        }
    }
    void setDerivativeCutoff(double dcutoff) noexcept {
        if (!(dcutoff <= 0.0)) {
            dcutoff_ = dcutoff;
        }
    }

    [[nodiscard]] double freq() const noexcept { return freq_; }
    [[nodiscard]] double mincutoff() const noexcept { return mincutoff_; }
    [[nodiscard]] double beta() const noexcept { return beta_; }
    [[nodiscard]] double dcutoff() const noexcept { return dcutoff_; }
    [[nodiscard]] std::int64_t lasttime() const noexcept { return lasttime_; }
    void setFreq(double freq) noexcept { freq_ = freq; }
    void setMincutoff(double mincutoff) noexcept { mincutoff_ = mincutoff; }
    void setBeta(double beta) noexcept { beta_ = beta; }
    void setDcutoff(double dcutoff) noexcept { dcutoff_ = dcutoff; }
    void setLasttime(std::int64_t lasttime) noexcept { lasttime_ = lasttime; }

    [[nodiscard]] const BasicLowPassFilter<T>& signalFilter() const noexcept { return x_; }
    [[nodiscard]] const BasicLowPassFilter<T>& derivativeFilter() const noexcept { return dx_; }

  private:
    double freq_ = 0.0;
    double mincutoff_ = 0.0;
    double beta_ = 0.0;
    double dcutoff_ = 0.0;
    std::int64_t lasttime_ = NO_TIMESTAMP;
    BasicLowPassFilter<T> dx_;
    BasicLowPassFilter<T> x_;
};

extern template class BasicOneEuroFilter<double>;
extern template class BasicOneEuroFilter<DoublePair>;

using OneEuroFilter = BasicOneEuroFilter<double>;

} // namespace pelto::detail
