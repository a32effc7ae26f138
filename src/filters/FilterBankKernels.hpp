#pragma once

#include "filters/FilterBankKernel.hpp"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

// The filter bank's per-channel work, compiled once per instruction set and
// chosen at run time: the widest variant the running CPU supports, once, at the
// first sample any bank smooths. Every variant gives the same bits: each lane of
// a wider vector does exactly the IEEE operations a scalar does, and no variant
// contracts a multiply and an add.

namespace pelto::detail {

// The instruction sets of the variants, narrowest first.
enum class InstructionSet : unsigned char { Baseline, Avx2, Avx512 };

inline constexpr std::array<InstructionSet, 3> INSTRUCTION_SETS{
    InstructionSet::Baseline, InstructionSet::Avx2, InstructionSet::Avx512};

// One sample of `channels` values through every channel of a bank:
// smoothChannels compiled for one instruction set.
using RowKernel = bool (*)(const SharedStep& step, const double* values, std::size_t channels,
                           const ChannelArrays& state, double* out) noexcept;

// One sample through every parameter set of a sweep: smoothSets compiled for one
// instruction set.
using SetsKernel = bool (*)(const SharedStep& step, const double* values, std::size_t channels,
                            const SetArrays& sets, double* squares) noexcept;

// Each set's progress along a movement: progressOfSets compiled for one instruction set.
using ProgressKernel = void (*)(const SetArrays& sets, std::size_t channels, const double* from,
                                const double* direction, double length, double* progress) noexcept;

struct RowKernels {
    RowKernel fresh;               // filters that have seen no sample since they were built
    RowKernel started;             // every later sample
    RowKernel startedFromFiltered; // the same, rates of change against the smoothed values
    SetsKernel setsFresh;          // the same three for a sweep's parameter sets
    SetsKernel setsStarted;
    SetsKernel setsStartedFromFiltered;
    ProgressKernel progress;
    InstructionSet instructionSet;
};

// The variants, each defined in a translation unit of its own. The wide ones
// exist on x86-64 only, and no code of theirs may run on a CPU without their
// instruction set: only their tables are reached before the CPU is asked.
extern const RowKernels BASELINE_ROW_KERNELS;
#if defined(PELTO_WIDE_FILTER_KERNELS)
extern const RowKernels AVX2_ROW_KERNELS;
extern const RowKernels AVX512_ROW_KERNELS;
#endif

// "baseline", "avx2", "avx512": the names PELTO_ISA takes.
[[nodiscard]] std::string_view nameOf(InstructionSet set) noexcept;
[[nodiscard]] std::optional<InstructionSet> instructionSetNamed(std::string_view name) noexcept;

// Whether the variant for `set` is built in and the running CPU supports it.
[[nodiscard]] bool canRun(InstructionSet set) noexcept;

// The variant in force. At first use, the widest one the CPU supports, no wider
// than the environment variable PELTO_ISA names when it is set.
[[nodiscard]] const RowKernels& rowKernels() noexcept;

// Puts the variant for `set` in force for every bank, from the next sample on:
// for tests and benchmarks, which compare the variants. Answers false and
// changes nothing when the variant cannot run here.
bool useInstructionSet(InstructionSet set) noexcept;

} // namespace pelto::detail
