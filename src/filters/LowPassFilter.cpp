#include "filters/LowPassFilter.hpp"

namespace pelto::detail {

LowPassFilter::LowPassFilter(double alpha, double initval) noexcept
    : y_(initval)
    , s_(initval) {
    setAlpha(alpha);
}

} // namespace pelto::detail
