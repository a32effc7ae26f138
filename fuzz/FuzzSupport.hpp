#pragma once

// Shared by the fuzz targets. They build two ways: with libFuzzer (clang, `fuzz` preset) and, with
// tests/FuzzCorpusReplay.cpp as main(), as ordinary tests that replay the committed corpora. So
// nothing here depends on libFuzzer, and a broken invariant aborts in both.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <span>
#include <string_view>
#include <vector>

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

/// Reads the fuzzer's bytes front to back; past the end every read gives zeros.
class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) noexcept
        : bytes_(bytes) {}

    [[nodiscard]] bool empty() const noexcept { return next_ >= bytes_.size(); }

    std::uint8_t byte() noexcept { return empty() ? 0 : bytes_[next_++]; }

    double rawDouble() noexcept {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits = bits << 8U | byte();
        }
        return std::bit_cast<double>(bits);
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t next_ = 0;
};

/// A recording decoded from bytes: rows of a timestamp (milliseconds) and `channels` values,
/// with what real files and hostile ones hold: NaN, the infinities, subnormals, +-1e308, -1 (no
/// timestamp), repeated, decreasing and fractional timestamps, huge gaps and any bit pattern.
struct Recording {
    std::size_t channels = 1;
    std::vector<double> timestamps;
    std::vector<double> values; ///< row-major

    [[nodiscard]] std::size_t rows() const noexcept { return timestamps.size(); }
};

inline double specialValue(ByteReader& in, std::uint8_t code, double usual) noexcept {
    switch (code) {
    case 0:
        return std::numeric_limits<double>::quiet_NaN();
    case 1:
        return std::numeric_limits<double>::infinity();
    case 2:
        return -std::numeric_limits<double>::infinity();
    case 3:
        return std::numeric_limits<double>::denorm_min();
    case 4:
        return 1e308;
    case 5:
        return -1e308;
    case 6:
        return -1.0;
    case 7:
        return in.rawDouble();
    default:
        return usual;
    }
}

/// The first byte gives the channel count (1 to `maxChannels`); then each row takes one byte for
/// its timestamp and one per value (a few codes of which read eight more bytes).
inline Recording decodeRecording(ByteReader& in, std::size_t maxChannels) {
    Recording recording;
    recording.channels = 1 + in.byte() % maxChannels;
    double now = 0.0;
    double level = 0.0;
    while (!in.empty()) {
        const std::uint8_t code = in.byte();
        double step = 0.25 * (code >> 3U); // 0 to 7.75 ms: repeated, fractional, regular
        if (code % 32 == 31) {
            step = 1e9; // a huge gap
        } else if (code % 32 == 30) {
            step = -5.0; // going back
        }
        // Codes 0 to 7 of the low bits are special timestamps; the others advance the clock.
        const double usual = now + step;
        const double timestamp = specialValue(in, code % 16 < 8 ? code % 8 : 8, usual);
        if (timestamp == usual) {
            now = usual;
        }
        recording.timestamps.push_back(timestamp);
        for (std::size_t c = 0; c < recording.channels; ++c) {
            const std::uint8_t v = in.byte();
            level += static_cast<double>(static_cast<std::int8_t>(v)) * 0.5; // jumps and noise
            recording.values.push_back(specialValue(in, v < 8 ? v : 8, level));
        }
    }
    return recording;
}

} // namespace pelto::fuzz
