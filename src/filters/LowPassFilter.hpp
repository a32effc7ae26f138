#pragma once

namespace pelto::detail {

// First-order exponential smoothing of one scalar signal. Remembers the last raw
// input so that its owner can compute a rate of change.
class LowPassFilter {
  public:
    LowPassFilter() noexcept = default;
    LowPassFilter(double alpha, double initval) noexcept;

    // Stores alpha if it lies in (0, 1]; otherwise keeps the current one. A NaN
    // passes both comparisons and is stored.
    void setAlpha(double alpha) noexcept {
        a_ = alpha <= 0.0 || alpha > 1.0 ? a_ : alpha;
    }

    double filterValue(double value) noexcept {
        double result = value;
        if (initialized_) {
            // Two separate products, then the sum: s + a * (v - s) differs in the
            // last bits, and so would a fused multiply-add.
            result = a_ * value + (1.0 - a_) * s_;
        } else {
            initialized_ = true;
        }
        y_ = value;
        s_ = result;
        return result;
    }

    double filterValue(double value, double alpha) noexcept {
        setAlpha(alpha);
        return filterValue(value);
    }

    [[nodiscard]] bool hasLastRawValue() const noexcept { return initialized_; }
    [[nodiscard]] double lastRawValue() const noexcept { return y_; }

    [[nodiscard]] double y() const noexcept { return y_; }
    [[nodiscard]] double a() const noexcept { return a_; }
    [[nodiscard]] double s() const noexcept { return s_; }
    [[nodiscard]] bool initialized() const noexcept { return initialized_; }
    void setY(double y) noexcept { y_ = y; }
    void setA(double a) noexcept { a_ = a; }
    void setS(double s) noexcept { s_ = s; }
    void setInitialized(bool initialized) noexcept { initialized_ = initialized; }

  private:
    double y_ = 0.0;
    double a_ = 0.0;
    double s_ = 0.0;
    bool initialized_ = false;
};

} // namespace pelto::detail
