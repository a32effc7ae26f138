// The filter bank's per-channel work in vectors of 4 lanes. This file alone is
// compiled for the AVX2 instruction set (src/filters/CMakeLists.txt): its
// functions keep internal linkage and only its table is reached from outside,
// so none of its code runs unless the CPU supports the instruction set.
#include "filters/FilterBankKernels.hpp"

#if !defined(__x86_64__)
#error "the wide filter kernels are for x86-64"
#endif

namespace pelto::detail {
namespace {

template <bool Started, bool FromFiltered>
bool smoothAvx2(const SharedStep& step, const double* values, std::size_t channels,
                const ChannelArrays& state, double* out) noexcept {
    return smoothChannels<Started, FromFiltered, 4>(step, values, channels, state, out);
}

template <bool Started, bool FromFiltered>
bool smoothSetsAvx2(const SharedStep& step, const double* values, std::size_t channels,
                    const SetArrays& sets, double* squares) noexcept {
    return smoothSets<Started, FromFiltered, 4>(step, values, channels, sets, squares);
}

void progressAvx2(const SetArrays& sets, std::size_t channels, const double* from,
                  const double* direction, double length, double* progress) noexcept {
    progressOfSets<4>(sets, channels, from, direction, length, progress);
}

} // namespace

constinit const RowKernels AVX2_ROW_KERNELS{&smoothAvx2<false, false>,
                                            &smoothAvx2<true, false>,
                                            &smoothAvx2<true, true>,
                                            &smoothSetsAvx2<false, false>,
                                            &smoothSetsAvx2<true, false>,
                                            &smoothSetsAvx2<true, true>,
                                            &progressAvx2,
                                            InstructionSet::Avx2};

} // namespace pelto::detail
