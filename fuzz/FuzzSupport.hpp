#pragma once

// Shared by the fuzz targets. They build two ways: with libFuzzer (clang, `fuzz` preset) and, with
// tests/FuzzCorpusReplay.cpp as main(), as ordinary tests that replay the committed corpora. So
// nothing here depends on libFuzzer, and a broken invariant aborts in both.

#include <array>
#include <bit>
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
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

/// Reads typed values from the fuzzer's bytes, front to back. Once the bytes run out every read
/// yields zero, so a target never has to check the length itself.
class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) noexcept
        : bytes_(bytes) {}

    [[nodiscard]] bool empty() const noexcept { return bytes_.empty(); }
    [[nodiscard]] std::size_t remaining() const noexcept { return bytes_.size(); }

    std::uint8_t byte() noexcept {
        if (bytes_.empty()) {
            return 0;
        }
        const std::uint8_t value = bytes_.front();
        bytes_ = bytes_.subspan(1);
        return value;
    }

    /// A number in [0, bound), bound >= 1, from one byte (bounds up to 256) or two.
    std::size_t below(std::size_t bound) noexcept {
        if (bound <= 256U) {
            return byte() % bound;
        }
        const auto high = static_cast<std::size_t>(byte()) << 8U;
        return (high | byte()) % bound;
    }

    std::uint64_t u64() noexcept {
        std::uint64_t value = 0;
        for (int i = 0; i < 8; ++i) {
            value = (value << 8U) | byte();
        }
        return value;
    }

    std::int64_t i64() noexcept { return std::bit_cast<std::int64_t>(u64()); }
    double rawDouble() noexcept { return std::bit_cast<double>(u64()); }

    /// The rest of the bytes as text.
    std::string_view restAsText() noexcept {
        // The bytes are the text; char may alias any object.
        const std::string_view text(
            reinterpret_cast<const char*>(bytes_.data()), // NOLINT(*-reinterpret-cast)
            bytes_.size());
        bytes_ = {};
        return text;
    }

  private:
    std::span<const std::uint8_t> bytes_;
};

/// Doubles that random bytes almost never produce but that decide branches: NaN, the infinities,
/// the signed zeros, the int64 boundaries as doubles (2^63 itself is out of range), the extremes
/// of the type, and values that truncate towards the "no timestamp" marker -1.
inline constexpr std::array<double, 22> SPECIAL_DOUBLES{
    std::numeric_limits<double>::quiet_NaN(),
    -std::numeric_limits<double>::quiet_NaN(),
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    0.0,
    -0.0,
    0x1p63,
    -0x1p63,
    0x1p63 - 1024.0,
    -(0x1p63 - 1024.0),
    DBL_MAX,
    -DBL_MAX,
    std::numeric_limits<double>::denorm_min(),
    -std::numeric_limits<double>::denorm_min(),
    DBL_MIN,
    1.0,
    -1.0,
    -1.5,
    -0.5,
    0.5,
    1e-300,
    1e300,
};

/// Equality of the bits, so that NaN equals an identical NaN and 0.0 differs from -0.0.
inline bool sameBits(double a, double b) noexcept {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

template <class A, class B> bool sameBits(const A& a, const B& b) noexcept {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!sameBits(a[i], b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace pelto::fuzz
