#pragma once

// Shared by the fuzz targets. They build two ways: with libFuzzer (clang, `fuzz` preset) and, with
// tests/FuzzCorpusReplay.cpp as main(), as ordinary tests that replay the committed corpora. So
// nothing here depends on libFuzzer, and a broken invariant aborts in both.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

/// Aborts with the failed condition when `condition` is false: libFuzzer saves the input as a
/// crash, and a corpus replay test fails.
#define PELTO_FUZZ_CHECK(condition)                                                                \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            ::pelto::fuzz::fail(#condition, __FILE__, __LINE__);                                   \
        }                                                                                          \
    } while (false)

namespace pelto::fuzz {

[[noreturn]] inline void fail(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

/// The fuzzer's bytes as text; char may alias any object.
inline std::string_view asText(std::span<const std::uint8_t> bytes) noexcept {
    const auto* chars = reinterpret_cast<const char*>(bytes.data()); // NOLINT(*-reinterpret-cast)
    return {chars, bytes.size()};
}

/// Equality of the bits, so that NaN equals an identical NaN and 0.0 differs from -0.0.
inline bool sameBits(double a, double b) noexcept {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

} // namespace pelto::fuzz
