#include "filters/LowPassFilter.hpp"

namespace pelto::detail {

template <class T>
BasicLowPassFilter<T>::BasicLowPassFilter(T alpha, T initval) noexcept
    : y_(initval)
    , s_(initval) {
    setAlpha(alpha);
}

template class BasicLowPassFilter<double>;
template class BasicLowPassFilter<DoublePair>;

} // namespace pelto::detail
