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

namespace pelto {

/// Why tracking stopped, as reported with the stopped-tracking notification.
enum class StatusError : std::int64_t {
    ERROR_NONE = 0,
    ERROR_CAMERA_START = 1,
    ERROR_CAMERA_INTERRUPT = 2,
};

/// Outcome of creating a tracker; `ERROR_NONE` is success, every other case a failure.
enum class InitializationError : std::int64_t {
    ERROR_NONE = 0,
    ERROR_INIT = 1,
    ERROR_CAMERA_PERMISSION = 2,
    ERROR_CAMERA_UNAVAILABLE = 3,
    ERROR_CAMERA_CONFIGURATION = 4,
    ERROR_CAMERA_IN_USE = 5,
    ERROR_MODEL_MISSING = 6,
    ERROR_MODEL_CORRUPTED = 7,
    ERROR_MODEL_INCOMPATIBLE = 8,
    ERROR_OUT_OF_MEMORY = 9,
    ERROR_UNSUPPORTED_DEVICE = 10,
    /// This build carries no gaze engine: every initialisation reports this code.
    ERROR_NO_GAZE_ENGINE = 11,
    ERROR_ENGINE_START = 12,
    ERROR_ALREADY_INITIALIZING = 13,
    ERROR_INVALID_OPTION = 14,
    ERROR_RESOURCE_MISSING = 15,
    ERROR_UNSUPPORTED_OS_VERSION = 16,
    ERROR_INTERNAL = 17,
};

/// Whether a gaze sample was tracked, and how well.
enum class TrackingState : std::int64_t {
    SUCCESS = 0,
    LOW_CONFIDENCE = 1,
    UNSUPPORTED = 2,
    FACE_MISSING = 3,
};

/// Kind of eye movement a gaze sample belongs to. Raw value 1 is no case.
enum class EyeMovementState : std::int64_t {
    FIXATION = 0,
    SACCADE = 2,
    UNKNOWN = 3,
};

/// Whether the gaze point lies on the screen.
enum class ScreenState : std::int64_t {
    INSIDE_OF_SCREEN = 0,
    OUTSIDE_OF_SCREEN = 1,
    UNKNOWN = 2,
};

/// Number of calibration points of a run (the point modes' raw value is their point count).
/// Raw values 2, 3 and 4 are no case.
enum class CalibrationMode : std::int64_t {
    DEFAULT = 0,
    ONE_POINT = 1,
    FIVE_POINT = 5,
    SIX_POINT = 6,
};

/// Accuracy criterion of a calibration run. Has no text; see <pelto/types/Json.hpp> for coding.
enum class AccuracyCriteria : std::int64_t {
    CRITERIA_0 = 0,
    CRITERIA_1 = 1,
    CRITERIA_2 = 2,
};

/// How a filter bank reads timestamps (milliseconds).
enum class TimestampPrecision : std::int64_t {
    /// Truncated toward zero to whole milliseconds; a repeated or earlier timestamp resets the
    /// bank.
    /// Suits camera clocks that tick in whole milliseconds.
    WHOLE_MILLISECONDS = 0,
    /// Kept as given, fractions included; a timestamp not later than the previous one is refused
    /// and leaves the bank as it was. Suits research trackers' clocks (300 Hz to 2 kHz and more).
    EXACT = 1,
};

/// What a filter bank takes each channel's rate of change against.
enum class DerivativeSource : std::int64_t {
    /// The previous input, as the one-euro filter was first published (2012).
    RAW = 0,
    /// The previous smoothed value, as the filter's authors' current reference does (since 2023).
    FILTERED = 1,
};

namespace detail {

/// Per-enumeration table: `caseMask` has bit n set exactly when raw value n is a case (all cases
/// lie in 0..63); described enumerations also list `texts`, indexed by raw value, with an empty
/// entry for every raw value below the largest case that is no case.
template <class E> struct EnumTraits;

template <std::size_t N>
constexpr std::uint64_t maskOfTexts(const std::array<std::string_view, N>& texts) noexcept {
    static_assert(N <= 64);
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < N; ++i) {
        if (!texts[i].empty()) {
            mask |= std::uint64_t{1} << i;
        }
    }
    return mask;
}

template <> struct EnumTraits<StatusError> {
    static constexpr std::array<std::string_view, 3> texts{"ERROR_NONE", "ERROR_CAMERA_START",
                                                           "ERROR_CAMERA_INTERRUPT"};
    static constexpr std::uint64_t caseMask = maskOfTexts(texts);
};

template <> struct EnumTraits<InitializationError> {
    static constexpr std::array<std::string_view, 18> texts{
        "ERROR_NONE",
        "ERROR_INIT",
        "ERROR_CAMERA_PERMISSION",
        "ERROR_CAMERA_UNAVAILABLE",
        "ERROR_CAMERA_CONFIGURATION",
        "ERROR_CAMERA_IN_USE",
        "ERROR_MODEL_MISSING",
        "ERROR_MODEL_CORRUPTED",
        "ERROR_MODEL_INCOMPATIBLE",
        "ERROR_OUT_OF_MEMORY",
        "ERROR_UNSUPPORTED_DEVICE",
        "ERROR_NO_GAZE_ENGINE",
        "ERROR_ENGINE_START",
        "ERROR_ALREADY_INITIALIZING",
        "ERROR_INVALID_OPTION",
        "ERROR_RESOURCE_MISSING",
        "ERROR_UNSUPPORTED_OS_VERSION",
        "ERROR_INTERNAL",
    };
    static constexpr std::uint64_t caseMask = maskOfTexts(texts);
};

template <> struct EnumTraits<TrackingState> {
    static constexpr std::array<std::string_view, 4> texts{"SUCCESS", "LOW_CONFIDENCE",
                                                           "UNSUPPORTED", "FACE_MISSING"};
    static constexpr std::uint64_t caseMask = maskOfTexts(texts);
};

template <> struct EnumTraits<EyeMovementState> {
    static constexpr std::array<std::string_view, 4> texts{"FIXATION", "", "SACCADE", "UNKONW"};
    static constexpr std::uint64_t caseMask = maskOfTexts(texts);
};

template <> struct EnumTraits<ScreenState> {
    static constexpr std::array<std::string_view, 3> texts{"INSIDE_OF_SCREEN", "OUTSIDE_OF_SCREEEN",
                                                           "UNKONW"};
    static constexpr std::uint64_t caseMask = maskOfTexts(texts);
};

template <> struct EnumTraits<CalibrationMode> {
    static constexpr std::array<std::string_view, 7> texts{"DEFAULT", "ONE_POINT",  "",         "",
                                                           "",        "FIVE_POINT", "SIX_POINT"};
    static constexpr std::uint64_t caseMask = maskOfTexts(texts);
};

template <> struct EnumTraits<TimestampPrecision> {
    static constexpr std::array<std::string_view, 2> texts{"WHOLE_MILLISECONDS", "EXACT"};
    static constexpr std::uint64_t caseMask = maskOfTexts(texts);
};

template <> struct EnumTraits<DerivativeSource> {
    static constexpr std::array<std::string_view, 2> texts{"RAW", "FILTERED"};
    static constexpr std::uint64_t caseMask = maskOfTexts(texts);
};

template <> struct EnumTraits<AccuracyCriteria> {
    static constexpr std::uint64_t caseMask = 0b111;
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
