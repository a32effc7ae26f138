#include "filters/FilterBankKernels.hpp"

#include <atomic>
#include <cstdlib>

namespace pelto::detail {
namespace {

template <bool Started, bool FromFiltered>
bool smoothBaseline(const SharedStep& step, const double* values, std::size_t channels,
                    const ChannelArrays& state, double* out) noexcept {
    return smoothChannels<Started, FromFiltered, LANES_OF<DoublePair>>(step, values, channels,
                                                                       state, out);
}

template <bool Started, bool FromFiltered>
bool smoothSetsBaseline(const SharedStep& step, const double* values, std::size_t channels,
                        const SetArrays& sets, double* squares) noexcept {
    return smoothSets<Started, FromFiltered, LANES_OF<DoublePair>>(step, values, channels, sets,
                                                                   squares);
}

void progressBaseline(const SetArrays& sets, std::size_t channels, const double* from,
                      const double* direction, double length, double* progress) noexcept {
    progressOfSets<LANES_OF<DoublePair>>(sets, channels, from, direction, length, progress);
}

const RowKernels& kernelsFor(InstructionSet set) noexcept {
#if defined(PELTO_WIDE_FILTER_KERNELS)
    switch (set) {
    case InstructionSet::Avx2:
        return AVX2_ROW_KERNELS;
    case InstructionSet::Avx512:
        return AVX512_ROW_KERNELS;
    case InstructionSet::Baseline:
        break;
    }
#else
    static_cast<void>(set);
#endif
    return BASELINE_ROW_KERNELS;
}

// The widest variant the CPU supports, no wider than PELTO_ISA names.
InstructionSet chooseAtStart() noexcept {
    InstructionSet widest = InstructionSet::Baseline;
    for (const InstructionSet set : INSTRUCTION_SETS) {
        if (canRun(set)) {
            widest = set;
        }
    }
    // Read once, before any bank has smoothed: nothing sets the variable concurrently.
    const char* const requested = std::getenv("PELTO_ISA"); // NOLINT(concurrency-mt-unsafe)
    if (requested != nullptr) {
        const std::optional<InstructionSet> cap = instructionSetNamed(requested);
        if (cap && *cap < widest) {
            widest = *cap;
        }
    }
    return widest;
}

// Null until the first sample or an explicit choice.
std::atomic<const RowKernels*> inForce{nullptr};

} // namespace

constinit const RowKernels BASELINE_ROW_KERNELS{&smoothBaseline<false, false>,
                                                &smoothBaseline<true, false>,
                                                &smoothBaseline<true, true>,
                                                &smoothSetsBaseline<false, false>,
                                                &smoothSetsBaseline<true, false>,
                                                &smoothSetsBaseline<true, true>,
                                                &progressBaseline,
                                                InstructionSet::Baseline};

std::string_view nameOf(InstructionSet set) noexcept {
    switch (set) {
    case InstructionSet::Avx2:
        return "avx2";
    case InstructionSet::Avx512:
        return "avx512";
    case InstructionSet::Baseline:
        break;
    }
    return "baseline";
}

std::optional<InstructionSet> instructionSetNamed(std::string_view name) noexcept {
    for (const InstructionSet set : INSTRUCTION_SETS) {
        if (name == nameOf(set)) {
            return set;
        }
    }
    return std::nullopt;
}

bool canRun(InstructionSet set) noexcept {
#if defined(PELTO_WIDE_FILTER_KERNELS)
    __builtin_cpu_init();
    switch (set) {
    case InstructionSet::Avx2:
        return __builtin_cpu_supports("avx2") != 0;
    case InstructionSet::Avx512:
        return __builtin_cpu_supports("avx512f") != 0;
    case InstructionSet::Baseline:
        break;
    }
#endif
    return set == InstructionSet::Baseline;
}

const RowKernels& rowKernels() noexcept {
    const RowKernels* kernels = inForce.load(std::memory_order_acquire);
    if (kernels == nullptr) [[unlikely]] {
        static const RowKernels* const chosen = &kernelsFor(chooseAtStart());
        // An explicit choice made meanwhile stays.
        const RowKernels* expected = nullptr;
        inForce.compare_exchange_strong(expected, chosen, std::memory_order_acq_rel);
        kernels = inForce.load(std::memory_order_acquire);
    }
    return *kernels;
}

bool useInstructionSet(InstructionSet set) noexcept {
    if (!canRun(set)) {
        return false;
    }
    inForce.store(&kernelsFor(set), std::memory_order_release);
    return true;
}

} // namespace pelto::detail
