// The enumerations' raw-value surface: every int64 may arrive as a raw value, through the checked
// constructor or carried as it came. For each enumeration and each value: the constructor accepts
// exactly the cases and round-trips them, `description` stays in bounds and has a text exactly for
// the cases, printing gives the text or the number, and hashing follows the raw value.

#include <pelto/types/Enumerations.hpp>

#include "FuzzSupport.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using pelto::fuzz::ByteReader;

template <class E> void checkRawValue(std::int64_t raw) {
    const std::optional<E> checked = pelto::fromRawValue<E>(raw);
    const auto carried = static_cast<E>(raw);
    PELTO_FUZZ_CHECK(pelto::rawValue(carried) == raw);
    PELTO_FUZZ_CHECK(std::hash<E>{}(carried) == std::hash<std::int64_t>{}(raw));
    if (checked) {
        PELTO_FUZZ_CHECK(pelto::rawValue(*checked) == raw);
        PELTO_FUZZ_CHECK(*checked == carried);
        // Every case lies in a small non-negative range.
        PELTO_FUZZ_CHECK(raw >= 0 && raw < 64);
    }

    std::ostringstream printed;
    printed << carried;
    if constexpr (pelto::DescribedEnumeration<E>) {
        const std::string_view text = pelto::description(carried);
        PELTO_FUZZ_CHECK(text.empty() != checked.has_value());
        for (const char c : text) {
            PELTO_FUZZ_CHECK((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_');
        }
        PELTO_FUZZ_CHECK(printed.str() == (checked ? std::string(text) : std::to_string(raw)));
    } else {
        PELTO_FUZZ_CHECK(printed.str() == std::to_string(raw));
    }
}

void checkAll(std::int64_t raw) {
    checkRawValue<pelto::StatusError>(raw);
    checkRawValue<pelto::InitializationError>(raw);
    checkRawValue<pelto::TrackingState>(raw);
    checkRawValue<pelto::EyeMovementState>(raw);
    checkRawValue<pelto::ScreenState>(raw);
    checkRawValue<pelto::CalibrationMode>(raw);
    checkRawValue<pelto::AccuracyCriteria>(raw);
}

// Each input value also brings its neighbours and its negation (without overflow), so that the
// edges of the accepted ranges and of int64 come up often.
std::vector<std::int64_t> around(std::int64_t raw) {
    const auto bits = static_cast<std::uint64_t>(raw);
    return {
        raw,
        static_cast<std::int64_t>(bits + 1U),
        static_cast<std::int64_t>(bits - 1U),
        static_cast<std::int64_t>(0U - bits),
        raw % 64,
        static_cast<std::int64_t>(bits >> 1U),
    };
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in({data, size});
    checkAll(std::numeric_limits<std::int64_t>::min());
    checkAll(std::numeric_limits<std::int64_t>::max());
    while (!in.empty()) {
        // Short inputs give small numbers, long ones any int64.
        const std::int64_t raw =
            in.remaining() >= 8 ? in.i64() : static_cast<std::int8_t>(in.byte());
        for (const std::int64_t value : around(raw)) {
            checkAll(value);
        }
    }
    return 0;
}
