#include <pelto/tuning/Tuning.hpp>
#include <pelto/types/Enumerations.hpp>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace pelto {
namespace {

// What each raw value from 0 up prints as; "" marks a raw value that is no case. AccuracyCriteria
// has no texts and streams its raw value.
template <class E> constexpr std::array<std::string_view, 0> texts{};
template <>
constexpr auto texts<StatusError> =
    std::to_array<std::string_view>({"ERROR_NONE", "ERROR_CAMERA_START", "ERROR_CAMERA_INTERRUPT"});
template <>
constexpr auto texts<InitializationError> = std::to_array<std::string_view>(
    {"ERROR_NONE", "ERROR_INIT", "ERROR_CAMERA_PERMISSION", "ERROR_CAMERA_UNAVAILABLE",
     "ERROR_CAMERA_CONFIGURATION", "ERROR_CAMERA_IN_USE", "ERROR_MODEL_MISSING",
     "ERROR_MODEL_CORRUPTED", "ERROR_MODEL_INCOMPATIBLE", "ERROR_OUT_OF_MEMORY",
     "ERROR_UNSUPPORTED_DEVICE", "ERROR_NO_GAZE_ENGINE", "ERROR_ENGINE_START",
     "ERROR_ALREADY_INITIALIZING", "ERROR_INVALID_OPTION", "ERROR_RESOURCE_MISSING",
     "ERROR_UNSUPPORTED_OS_VERSION", "ERROR_INTERNAL"});
template <>
constexpr auto texts<TrackingState> =
    std::to_array<std::string_view>({"SUCCESS", "LOW_CONFIDENCE", "UNSUPPORTED", "FACE_MISSING"});
template <>
constexpr auto texts<EyeMovementState> = std::to_array<std::string_view>({"FIXATION", "", "SACCADE",
                                                                          "UNKONW"});
template <>
constexpr auto texts<ScreenState> =
    std::to_array<std::string_view>({"INSIDE_OF_SCREEN", "OUTSIDE_OF_SCREEEN", "UNKONW"});
template <>
constexpr auto texts<CalibrationMode> = std::to_array<std::string_view>({"DEFAULT", "ONE_POINT", "",
                                                                         "", "", "FIVE_POINT",
                                                                         "SIX_POINT"});
template <>
constexpr auto texts<tuning::TuningStatus> = std::to_array<std::string_view>(
    {"OK", "TOO_FEW_SAMPLES", "ALL_REFUSED", "NO_MOTION", "NO_MOVEMENTS", "NO_STILL_PERIODS",
     "NO_SETTING_WITHIN_BUDGET"});
template <>
constexpr auto texts<AccuracyCriteria> = std::to_array<std::string_view>({"0", "1", "2"});

template <class E> class EnumerationTest : public ::testing::Test {};
using AllEnumerations =
    ::testing::Types<StatusError, InitializationError, TrackingState, EyeMovementState, ScreenState,
                     CalibrationMode, AccuracyCriteria, tuning::TuningStatus>;
TYPED_TEST_SUITE(EnumerationTest, AllEnumerations);

// Every raw value from -2 to one past the largest case, the extremes, and the values around the
// 64-bit boundary of a bit mask.
TYPED_TEST(EnumerationTest, RawValuesTextsAndHashes) {
    using E = TypeParam;
    std::vector<std::int64_t> raws{std::numeric_limits<std::int64_t>::min(),
                                   std::numeric_limits<std::int64_t>::max(), 63, 64, 65};
    for (std::int64_t raw = -2; raw <= std::ssize(texts<E>); ++raw) {
        raws.push_back(raw);
    }
    for (const std::int64_t raw : raws) {
        SCOPED_TRACE(raw);
        const bool inTable = raw >= 0 && raw < std::ssize(texts<E>);
        const std::string_view text = inTable ? texts<E>.at(static_cast<std::size_t>(raw)) : "";
        const std::optional<E> value = fromRawValue<E>(raw);
        ASSERT_EQ(value.has_value(), !text.empty());
        if (value) {
            EXPECT_EQ(rawValue(*value), raw);
            EXPECT_EQ(*value, static_cast<E>(raw));
        }
        if constexpr (DescribedEnumeration<E>) {
            EXPECT_EQ(description(static_cast<E>(raw)), text);
        }
        std::ostringstream out;
        out << static_cast<E>(raw);
        EXPECT_EQ(out.str(), text.empty() ? std::to_string(raw) : std::string(text));
        EXPECT_EQ(std::hash<E>{}(static_cast<E>(raw)), std::hash<std::int64_t>{}(raw));
    }
}

static_assert(!DescribedEnumeration<AccuracyCriteria>);
static_assert(!std::is_convertible_v<StatusError, InitializationError>);
static_assert(fromRawValue<CalibrationMode>(6) == CalibrationMode::SIX_POINT);
static_assert(description(EyeMovementState::UNKNOWN) == "UNKONW");

} // namespace
} // namespace pelto
