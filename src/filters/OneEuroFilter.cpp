#include "filters/OneEuroFilter.hpp"

namespace pelto::detail {

OneEuroFilter::OneEuroFilter(double freq, double mincutoff, double beta, double dcutoff) noexcept {
    setFrequency(freq);
    setMinCutoff(mincutoff);
    setBeta(beta);
    setDerivativeCutoff(dcutoff);
    // Both alphas come from the arguments, not from the validated fields.
    x_ = LowPassFilter(alpha(mincutoff), 0.0);
    lasttime_ = NO_TIMESTAMP;
    dx_ = LowPassFilter(alpha(dcutoff), 0.0);
}

} // namespace pelto::detail
