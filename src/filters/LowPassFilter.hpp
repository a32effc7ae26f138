#pragma once

#include "filters/Lanes.hpp"

namespace pelto::detail {

// First-order exponential smoothing of one scalar signal (T = double), or of
// several signals sampled together (T a lane vector of Lanes.hpp). Remembers the last raw input so
// that its owner can compute a rate of change.
template <class T> class BasicLowPassFilter {
  public:
    BasicLowPassFilter() noexcept = default;
    BasicLowPassFilter(T alpha, T initval) noexcept;

    // Stores alpha if it lies in (0, 1]; otherwise keeps the current one. A NaN
    // passes both comparisons and is stored.
    void setAlpha(T alpha) noexcept { a_ = acceptedAlpha(alpha, a_); }

    // The alpha that setAlpha leaves in force: `alpha` if it lies in (0, 1] or is
    // a NaN, otherwise `current`.
    [[nodiscard, gnu::always_inline]] static T acceptedAlpha(T alpha, T current) noexcept {
        return alpha <= 0.0 || alpha > 1.0 ? current : alpha;
    }

    // One smoothing step of an initialised filter: two separate products, then
    // the sum. s + a * (v - s) differs in the last bits, and so would a fused
    // multiply-add.
    [[nodiscard, gnu::always_inline]] static T blend(T alpha, T value, T smoothed) noexcept {
        return alpha * value + (1.0 - alpha) * smoothed;
    }

    T filterValue(T value) noexcept {
        T result = value;
        if (initialized_) {
            result = blend(a_, value, s_);
        } else {
            initialized_ = true;
        }
        y_ = value;
        s_ = result;
        return result;
    }

    T filterValue(T value, T alpha) noexcept {
        setAlpha(alpha);
        return filterValue(value);
    }

    [[nodiscard]] bool hasLastRawValue() const noexcept { return initialized_; }
    [[nodiscard]] T lastRawValue() const noexcept { return y_; }

    [[nodiscard]] T y() const noexcept { return y_; }
    [[nodiscard]] T a() const noexcept { return a_; }
    [[nodiscard]] T s() const noexcept { return s_; }
    [[nodiscard]] bool initialized() const noexcept { return initialized_; }
    void setY(T y) noexcept { y_ = y; }
    void setA(T a) noexcept { a_ = a; }
    void setS(T s) noexcept { s_ = s; }
    void setInitialized(bool initialized) noexcept { initialized_ = initialized; }

  private:
    T y_{};
    T a_{};
    T s_{};
    bool initialized_ = false;
};

using LowPassFilter = BasicLowPassFilter<double>;

extern template class BasicLowPassFilter<double>;
extern template class BasicLowPassFilter<DoublePair>;

} // namespace pelto::detail
