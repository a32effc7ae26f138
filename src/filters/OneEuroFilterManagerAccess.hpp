#pragma once

#include <pelto/filters/OneEuroFilterManager.hpp>

#include <cstdint>
#include <span>
#include <vector>

namespace pelto::detail {

// The library's own route to a bank's parameters and running state, kept out of the host-facing
// headers: it lives beside the sources and is neither exported nor installed. Language bindings
// use it to print a bank and to save and restore one (a restored bank continues exactly).
struct OneEuroFilterManagerAccess {
    // The parameters in force, after the constructor replaced invalid ones by the defaults.
    struct Parameters {
        std::int64_t count;
        double freq;
        double minCutOff;
        double beta;
        double dCutOff;
        TimestampPrecision precision;
        DerivativeSource derivative;
    };

    static Parameters parameters(const OneEuroFilterManager& bank) noexcept;

    // Everything that the next samples depend on, as 64-bit words: each number's bits, so that
    // NaNs and signed zeros survive. Its size depends only on the channel count.
    static std::vector<std::uint64_t> state(const OneEuroFilterManager& bank);

    // Puts back a state taken from a bank with the same parameters. Answers false and changes
    // nothing when `words` cannot be such a state (wrong size, a flag that is neither 0 nor 1).
    static bool restore(OneEuroFilterManager& bank, std::span<const std::uint64_t> words) noexcept;
};

} // namespace pelto::detail
