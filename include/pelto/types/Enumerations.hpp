#pragma once

/// \file
/// The enumerations that cross Pelto's boundary, and the operations they share.
///
/// Every enumeration is one signed 64-bit raw value, fixed per case, with gaps where a raw value
/// belongs to no case. A value that arrives as a bare integer (`static_cast<E>(raw)`) is carried
/// as it came: `rawValue`, `==` and `std::hash` work on any such value; `fromRawValue` is the only
/// checked way to turn an integer into a case. All operations are pure, never throw and may run
/// on any thread.

#include <array>
#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional> // also declares std::hash
#include <string_view>
#include <type_traits>

#include <pelto/types/EnumerationTable.h>

/// Expands to one enumerator per case of a table of <pelto/types/EnumerationTable.h>.
#define PELTO_ENUMERATOR_(ENUMERATION, NAME, RAW, TEXT) NAME = (RAW),

namespace pelto {

/// Why tracking stopped, as reported with the stopped-tracking notification.
enum class StatusError : std::int64_t { PELTO_STATUS_ERROR_CASES(PELTO_ENUMERATOR_) };

/// Outcome of creating a tracker; `ERROR_NONE` is success, every other case a failure. This build
/// carries no gaze engine: every initialisation reports `ERROR_NO_GAZE_ENGINE`.
enum class InitializationError : std::int64_t {
    PELTO_INITIALIZATION_ERROR_CASES(PELTO_ENUMERATOR_)
};

/// Whether a gaze sample was tracked, and how well.
enum class TrackingState : std::int64_t { PELTO_TRACKING_STATE_CASES(PELTO_ENUMERATOR_) };

/// Kind of eye movement a gaze sample belongs to. Raw value 1 is no case.
enum class EyeMovementState : std::int64_t { PELTO_EYE_MOVEMENT_STATE_CASES(PELTO_ENUMERATOR_) };

/// Whether the gaze point lies on the screen.
enum class ScreenState : std::int64_t { PELTO_SCREEN_STATE_CASES(PELTO_ENUMERATOR_) };

/// Number of calibration points of a run (the point modes' raw value is their point count).
/// Raw values 2, 3 and 4 are no case.
enum class CalibrationMode : std::int64_t { PELTO_CALIBRATION_MODE_CASES(PELTO_ENUMERATOR_) };

/// Accuracy criterion of a calibration run. Has no text; see <pelto/types/Json.hpp> for coding.
enum class AccuracyCriteria : std::int64_t { PELTO_ACCURACY_CRITERIA_CASES(PELTO_ENUMERATOR_) };

/// How a filter bank reads timestamps (milliseconds). WHOLE_MILLISECONDS: truncated toward zero
/// to whole milliseconds, a repeated or earlier timestamp resets the bank; suits camera clocks
/// that tick in whole milliseconds. EXACT: kept as given, fractions included; a timestamp not
/// later than the previous one is refused and leaves the bank as it was; suits research trackers'
/// clocks (300 Hz to 2 kHz and more).
enum class TimestampPrecision : std::int64_t { PELTO_TIMESTAMP_PRECISION_CASES(PELTO_ENUMERATOR_) };

/// What a filter bank takes each channel's rate of change against. RAW: the previous input, as
/// the one-euro filter was first published (2012). FILTERED: the previous smoothed value, as the
/// filter's authors' current reference does (since 2023).
enum class DerivativeSource : std::int64_t { PELTO_DERIVATIVE_SOURCE_CASES(PELTO_ENUMERATOR_) };

namespace detail {

/// One case of an enumeration's table: its name, raw value and text ("" for none).
struct EnumCase {
    std::string_view name;
    std::int64_t raw = 0;
    std::string_view text;
};

/// Per-enumeration table: `name`, `cases` in raw-value order, and `caseMask` with bit n set
/// exactly when raw value n is a case (all cases lie in 0..63); described enumerations also list
/// `texts`, indexed by raw value, with an empty entry for every raw value below the largest case
/// that is no case. Specialised through PELTO_ENUMERATION_TRAITS_.
template <class E> struct EnumTraits;

/// Not constexpr: reached only for a wrong table, which then does not compile.
inline void tableIsWrong(const char* /*why*/) noexcept {}

template <std::size_t N> consteval std::uint64_t maskOfCases(const std::array<EnumCase, N>& cases) {
    std::uint64_t mask = 0;
    std::int64_t previous = -1;
    for (const EnumCase& row : cases) {
        // A table out of order, with a repeated raw value or one outside 0..63 does not compile.
        if (row.raw <= previous || row.raw > 63) {
            tableIsWrong("an enumeration's raw values must increase and lie in 0..63");
        }
        previous = row.raw;
        mask |= std::uint64_t{1} << static_cast<unsigned>(row.raw);
    }
    return mask;
}

template <std::size_t N, std::size_t M>
consteval std::array<std::string_view, N> textsOfCases(const std::array<EnumCase, M>& cases) {
    std::array<std::string_view, N> texts{};
    texts.fill(""); // a literal, as every case's text: NUL-terminated
    for (const EnumCase& row : cases) {
        if (row.text.empty()) {
            tableIsWrong("a described enumeration has a text for every case");
        }
        texts[static_cast<std::size_t>(row.raw)] = row.text;
    }
    return texts;
}

consteval std::string_view unqualified(std::string_view name) {
    const std::size_t colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

#define PELTO_ENUM_CASE_(ENUMERATION, NAME, RAW, TEXT) EnumCase{#NAME, (RAW), TEXT},

/// The table of `Type` (`CASES` is its PELTO_<ENUMERATION>_CASES).
#define PELTO_ENUMERATION_TRAITS_(Type, CASES)                                                     \
    template <> struct EnumTraits<Type> {                                                          \
        static constexpr std::string_view name = unqualified(#Type);                               \
        static constexpr std::array cases{CASES(PELTO_ENUM_CASE_)};                                \
        static constexpr std::uint64_t caseMask = maskOfCases(cases);                              \
        static constexpr auto texts =                                                              \
            textsOfCases<static_cast<std::size_t>(cases.back().raw) + 1>(cases);                   \
    }

PELTO_ENUMERATION_TRAITS_(StatusError, PELTO_STATUS_ERROR_CASES);
PELTO_ENUMERATION_TRAITS_(InitializationError, PELTO_INITIALIZATION_ERROR_CASES);
PELTO_ENUMERATION_TRAITS_(TrackingState, PELTO_TRACKING_STATE_CASES);
PELTO_ENUMERATION_TRAITS_(EyeMovementState, PELTO_EYE_MOVEMENT_STATE_CASES);
PELTO_ENUMERATION_TRAITS_(ScreenState, PELTO_SCREEN_STATE_CASES);
PELTO_ENUMERATION_TRAITS_(CalibrationMode, PELTO_CALIBRATION_MODE_CASES);
PELTO_ENUMERATION_TRAITS_(TimestampPrecision, PELTO_TIMESTAMP_PRECISION_CASES);
PELTO_ENUMERATION_TRAITS_(DerivativeSource, PELTO_DERIVATIVE_SOURCE_CASES);

template <> struct EnumTraits<AccuracyCriteria> {
    static constexpr std::string_view name = "AccuracyCriteria";
    static constexpr std::array cases{PELTO_ACCURACY_CRITERIA_CASES(PELTO_ENUM_CASE_)};
    static constexpr std::uint64_t caseMask = maskOfCases(cases);
};

static_assert(EnumTraits<CalibrationMode>::caseMask == 99);

} // namespace detail

/// One of Pelto's enumerations.
template <class E>
concept Enumeration = std::is_enum_v<E> && requires {
    { detail::EnumTraits<E>::caseMask } -> std::convertible_to<std::uint64_t>;
};

/// One of Pelto's enumerations that has a text per case (all but `AccuracyCriteria`).
template <class E>
concept DescribedEnumeration = Enumeration<E> && requires {
    { detail::EnumTraits<E>::texts.size() } -> std::convertible_to<std::size_t>;
};

/// The raw value of `value`, also for a value that is no case.
template <Enumeration E> constexpr std::int64_t rawValue(E value) noexcept {
    return static_cast<std::int64_t>(value);
}

/// The case whose raw value is `raw`, or no value when `raw` is no case's raw value (negative
/// numbers included). Never clamps and never substitutes another case.
template <Enumeration E> constexpr std::optional<E> fromRawValue(std::int64_t raw) noexcept {
    constexpr std::uint64_t mask = detail::EnumTraits<E>::caseMask;
    // Taken as unsigned, one comparison rejects negative numbers and numbers above the largest
    // case; the bound also keeps the shift below 64.
    const auto bit = static_cast<std::uint64_t>(raw);
    if (bit < std::uint64_t{std::bit_width(mask)} && ((mask >> bit) & 1U) != 0) {
        return static_cast<E>(raw);
    }
    return std::nullopt;
}

/// The case's constant upper-case text (static storage). The texts are the system's own, spelled
/// exactly as it reports them, odd spellings included ("UNKONW", "OUTSIDE_OF_SCREEEN"). For a
/// value that is no case it returns an empty view.
template <DescribedEnumeration E> constexpr std::string_view description(E value) noexcept {
    constexpr const auto& texts = detail::EnumTraits<E>::texts;
    const auto index = static_cast<std::uint64_t>(rawValue(value));
    return index < texts.size() ? texts[static_cast<std::size_t>(index)] : std::string_view{};
}

/// Writes the case's text; for `AccuracyCriteria`, or a value that is no case, its raw value.
/// Declared with <iosfwd> only, so that this header stays light: the caller includes <ostream>.
template <Enumeration E, class Traits>
std::basic_ostream<char, Traits>& operator<<(std::basic_ostream<char, Traits>& out, E value) {
    if constexpr (DescribedEnumeration<E>) {
        if (const std::string_view text = description(value); !text.empty()) {
            return out << text;
        }
    }
    return out << rawValue(value);
}

} // namespace pelto

/// Hashes a Pelto enumeration as its raw value: `hash<E>{}(e) == hash<int64_t>{}(rawValue(e))`.
template <pelto::Enumeration E> struct std::hash<E> {
    std::size_t operator()(E value) const noexcept {
        return std::hash<std::int64_t>{}(pelto::rawValue(value));
    }
};
