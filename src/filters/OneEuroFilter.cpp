#include "filters/OneEuroFilter.hpp"

namespace pelto::detail {

template <class T>
BasicOneEuroFilter<T>::BasicOneEuroFilter(double freq, double mincutoff, double beta,
                                          double dcutoff) noexcept {
    setFrequency(freq);
    setMinCutoff(mincutoff);
    setBeta(beta);
    setDerivativeCutoff(dcutoff);
    // Both alphas come from the arguments, not from the validated fields, at the
    // frequency the setters stored: the inner filters are built after them.
    // NOLINTNEXTLINE(cppcoreguidelines-prefer-member-initializer)
    x_ = BasicLowPassFilter<T>(broadcast<T>(alpha(mincutoff)), T{});
    // NOLINTNEXTLINE(cppcoreguidelines-prefer-member-initializer)
    dx_ = BasicLowPassFilter<T>(broadcast<T>(alpha(dcutoff)), T{});
}

template class BasicOneEuroFilter<double>;
template class BasicOneEuroFilter<DoublePair>;

} // namespace pelto::detail
