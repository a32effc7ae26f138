// The filter bank in both timestamp precisions and with both derivatives, on any recording: the
// block call cut into chunks of any size (some without flags) gives, bit for bit, the smoothed
// rows and flags that per-sample calls give; a refused sample leaves the values as they were or
// all zeros (a reset); an exact bank refuses nothing that is finite, later than the previous
// timed sample and made of finite values; a copy taken halfway, and a bank restored from the
// saved state, continue exactly.

#include <pelto/filters/OneEuroFilterManager.hpp>

#include "FuzzSupport.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace {

using pelto::DerivativeSource;
using pelto::OneEuroFilterManager;
using pelto::TimestampPrecision;
using pelto::fuzz::sameBits;

bool sameRows(std::span<const double> a, std::span<const double> b) {
    return std::ranges::equal(a, b, sameBits);
}

void check(const pelto::fuzz::Recording& r, pelto::fuzz::ByteReader& in,
           const std::array<double, 4>& parameters, TimestampPrecision precision,
           DerivativeSource derivative) {
    const auto count = static_cast<std::int64_t>(r.channels);
    OneEuroFilterManager bank(count, parameters[0], parameters[1], parameters[2], parameters[3],
                              precision, derivative);
    const OneEuroFilterManager fresh = bank;
    OneEuroFilterManager copy;
    OneEuroFilterManager restored = fresh;
    std::vector<double> perSample(r.values.size());
    std::vector<std::uint8_t> flags(r.rows());
    for (std::size_t row = 0; row < r.rows(); ++row) {
        if (row == r.rows() / 2) {
            copy = bank;
            PELTO_FUZZ_CHECK(restored.restoreState(bank.saveState()));
        }
        const std::span<const double> sample(r.values.data() + row * r.channels, r.channels);
        const std::vector<double> before = bank.getFilteredValues();
        const bool ok = bank.filterValues(r.timestamps[row], sample);
        flags[row] = ok ? 1 : 0;
        const std::span<const double> after = bank.filteredValues();
        std::ranges::copy(after, perSample.begin() + static_cast<std::ptrdiff_t>(row * r.channels));
        if (!ok) {
            PELTO_FUZZ_CHECK(sameRows(after, before) ||
                             std::ranges::all_of(after, [](double v) { return v == 0.0; }));
        }
    }
    std::vector<double> smoothed(r.values.size(), -7.0);
    std::vector<std::uint8_t> blockFlags(r.rows(), 9);
    OneEuroFilterManager chunked = fresh;
    for (std::size_t row = 0; row < r.rows();) {
        // Chunks of 0 to 16 rows while the bytes last, then the rest.
        const std::size_t n =
            in.empty() ? r.rows() - row : std::min<std::size_t>(in.byte() % 17, r.rows() - row);
        const bool withFlags = in.byte() % 4 != 0;
        const std::size_t first = row * r.channels;
        const std::size_t accepted = chunked.filterSamples(
            std::span(r.timestamps).subspan(row, n),
            std::span(r.values).subspan(first, n * r.channels),
            std::span(smoothed).subspan(first, n * r.channels),
            withFlags ? std::span(blockFlags).subspan(row, n) : std::span<std::uint8_t>());
        const auto expected = std::count(flags.begin() + static_cast<std::ptrdiff_t>(row),
                                         flags.begin() + static_cast<std::ptrdiff_t>(row + n), 1);
        PELTO_FUZZ_CHECK(accepted == static_cast<std::size_t>(expected));
        if (!withFlags) {
            std::copy_n(flags.begin() + static_cast<std::ptrdiff_t>(row), n,
                        blockFlags.begin() + static_cast<std::ptrdiff_t>(row));
        }
        row += n;
    }
    PELTO_FUZZ_CHECK(sameRows(smoothed, perSample) && blockFlags == flags);

    // The copy and the restored bank continue from the middle exactly as the bank did.
    for (OneEuroFilterManager* twin : {&copy, &restored}) {
        for (std::size_t row = r.rows() / 2; row < r.rows(); ++row) {
            const std::span<const double> sample(r.values.data() + row * r.channels, r.channels);
            PELTO_FUZZ_CHECK(twin->filterValues(r.timestamps[row], sample) == (flags[row] != 0));
            PELTO_FUZZ_CHECK(sameRows(twin->filteredValues(),
                                      std::span(perSample).subspan(row * r.channels, r.channels)));
        }
    }

    // An exact bank refuses a finite timestamp later than the previous one (or either
    // untimed) only by resetting: a result that was not finite.
    if (precision == TimestampPrecision::EXACT) {
        double last = -1.0;
        for (std::size_t row = 0; row < r.rows(); ++row) {
            const double t = r.timestamps[row];
            const bool timeable = std::isfinite(t) && (t == -1.0 || last == -1.0 || t > last);
            if (flags[row] != 0) {
                last = t;
            } else if (timeable) {
                const auto out = std::span(perSample).subspan(row * r.channels, r.channels);
                PELTO_FUZZ_CHECK(std::ranges::all_of(out, [](double v) { return v == 0.0; }));
                last = -1.0;
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pelto::fuzz::ByteReader in({data, size});
    const std::uint8_t choice = in.byte();
    const std::array<double, 4> parameters{5.0 * (1 + in.byte() % 64), 0.01 * (1 + in.byte()),
                                           0.001 * static_cast<std::int8_t>(in.byte()),
                                           0.05 * (1 + in.byte() % 40)};
    const pelto::fuzz::Recording recording = pelto::fuzz::decodeRecording(in, 9);
    const auto derivative = (choice & 1U) != 0 ? DerivativeSource::FILTERED : DerivativeSource::RAW;
    pelto::fuzz::ByteReader chunks({data, size});
    check(recording, chunks, parameters, TimestampPrecision::WHOLE_MILLISECONDS, derivative);
    check(recording, chunks, parameters, TimestampPrecision::EXACT, derivative);
    return 0;
}
