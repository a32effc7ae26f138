// The filter bank's per-channel work in vectors of 8 lanes. This file alone is
// compiled for the AVX-512 instruction set (src/filters/CMakeLists.txt): its
// functions keep internal linkage and only its table is reached from outside,
// so none of its code runs unless the CPU supports the instruction set.
#include "filters/FilterBankKernels.hpp"

#if !defined(__x86_64__)
#error "the wide filter kernels are for x86-64"
#endif

namespace pelto::detail {
namespace {

template <bool Started, bool FromFiltered>
bool smoothAvx512(const SharedStep& step, const double* values, std::size_t channels,
                  const ChannelArrays& state, double* out) noexcept {
    return smoothChannels<Started, FromFiltered, 8>(step, values, channels, state, out);
}

template <bool Started, bool FromFiltered>
bool smoothSetsAvx512(const SharedStep& step, const double* values, std::size_t channels,
                      const SetArrays& sets, double* squares) noexcept {
    return smoothSets<Started, FromFiltered, 8>(step, values, channels, sets, squares);
}

void progressAvx512(const SetArrays& sets, std::size_t channels, const double* from,
                    const double* direction, double length, double* progress) noexcept {
    progressOfSets<8>(sets, channels, from, direction, length, progress);
}

} // namespace

constinit const RowKernels AVX512_ROW_KERNELS{&smoothAvx512<false, false>,
                                              &smoothAvx512<true, false>,
                                              &smoothAvx512<true, true>,
                                              &smoothSetsAvx512<false, false>,
                                              &smoothSetsAvx512<true, false>,
                                              &smoothSetsAvx512<true, true>,
                                              &progressAvx512,
                                              InstructionSet::Avx512};

} // namespace pelto::detail
