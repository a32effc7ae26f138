#include <pelto/types/Enumerations.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_set>
#include <vector>

namespace pelto {
namespace {

struct Case {
    std::int64_t raw;
    std::string_view text; // empty for an enumeration without texts
};

template <class E> struct Expected;

template <> struct Expected<StatusError> {
    static constexpr std::array cases{Case{0, "ERROR_NONE"}, Case{1, "ERROR_CAMERA_START"},
                                      Case{2, "ERROR_CAMERA_INTERRUPT"}};
};

template <> struct Expected<InitializationError> {
    static constexpr std::array cases{
        Case{0, "ERROR_NONE"},
        Case{1, "ERROR_INIT"},
        Case{2, "ERROR_CAMERA_PERMISSION"},
        Case{3, "ERROR_CAMERA_UNAVAILABLE"},
        Case{4, "ERROR_CAMERA_CONFIGURATION"},
        Case{5, "ERROR_CAMERA_IN_USE"},
        Case{6, "ERROR_MODEL_MISSING"},
        Case{7, "ERROR_MODEL_CORRUPTED"},
        Case{8, "ERROR_MODEL_INCOMPATIBLE"},
        Case{9, "ERROR_OUT_OF_MEMORY"},
        Case{10, "ERROR_UNSUPPORTED_DEVICE"},
        Case{11, "ERROR_NO_GAZE_ENGINE"},
        Case{12, "ERROR_ENGINE_START"},
        Case{13, "ERROR_ALREADY_INITIALIZING"},
        Case{14, "ERROR_INVALID_OPTION"},
        Case{15, "ERROR_RESOURCE_MISSING"},
        Case{16, "ERROR_UNSUPPORTED_OS_VERSION"},
        Case{17, "ERROR_INTERNAL"},
    };
};

template <> struct Expected<TrackingState> {
    static constexpr std::array cases{Case{0, "SUCCESS"}, Case{1, "LOW_CONFIDENCE"},
                                      Case{2, "UNSUPPORTED"}, Case{3, "FACE_MISSING"}};
};

template <> struct Expected<EyeMovementState> {
    static constexpr std::array cases{Case{0, "FIXATION"}, Case{2, "SACCADE"}, Case{3, "UNKONW"}};
};

template <> struct Expected<ScreenState> {
    static constexpr std::array cases{Case{0, "INSIDE_OF_SCREEN"}, Case{1, "OUTSIDE_OF_SCREEEN"},
                                      Case{2, "UNKONW"}};
};

template <> struct Expected<CalibrationMode> {
    static constexpr std::array cases{Case{0, "DEFAULT"}, Case{1, "ONE_POINT"},
                                      Case{5, "FIVE_POINT"}, Case{6, "SIX_POINT"}};
};

template <> struct Expected<AccuracyCriteria> {
    static constexpr std::array cases{Case{0, ""}, Case{1, ""}, Case{2, ""}};
};

template <class E> std::optional<Case> expectedCase(std::int64_t raw) {
    for (const Case& c : Expected<E>::cases) {
        if (c.raw == raw) {
            return c;
        }
    }
    return std::nullopt;
}

// Every raw value from -2 to one past the largest case, the extremes, and the values around the
// 64-bit boundary of a bit mask.
template <class E> std::vector<std::int64_t> probes() {
    std::vector<std::int64_t> values{std::numeric_limits<std::int64_t>::min(),
                                     std::numeric_limits<std::int64_t>::max(), 63, 64, 65};
    for (std::int64_t raw = -2; raw <= Expected<E>::cases.back().raw + 1; ++raw) {
        values.push_back(raw);
    }
    return values;
}

template <class E> class EnumerationTest : public ::testing::Test {};

using AllEnumerations =
    ::testing::Types<StatusError, InitializationError, TrackingState, EyeMovementState, ScreenState,
                     CalibrationMode, AccuracyCriteria>;
TYPED_TEST_SUITE(EnumerationTest, AllEnumerations);

TYPED_TEST(EnumerationTest, FromRawValueAcceptsExactlyTheCases) {
    using E = TypeParam;
    for (const std::int64_t raw : probes<E>()) {
        SCOPED_TRACE(raw);
        const std::optional<E> value = fromRawValue<E>(raw);
        if (expectedCase<E>(raw)) {
            ASSERT_TRUE(value.has_value());
            EXPECT_EQ(rawValue(*value), raw);
            EXPECT_EQ(*value, static_cast<E>(raw));
        } else {
            EXPECT_FALSE(value.has_value());
        }
    }
}

TYPED_TEST(EnumerationTest, DescriptionIsTheCaseTextAndEmptyForOtherValues) {
    using E = TypeParam;
    if constexpr (DescribedEnumeration<E>) {
        for (const std::int64_t raw : probes<E>()) {
            SCOPED_TRACE(raw);
            const std::optional<Case> expected = expectedCase<E>(raw);
            EXPECT_EQ(description(static_cast<E>(raw)),
                      expected ? expected->text : std::string_view{});
        }
    } else {
        static_assert(std::is_same_v<E, AccuracyCriteria>, "only AccuracyCriteria has no texts");
    }
}

TYPED_TEST(EnumerationTest, StreamsTheTextOrElseTheRawValue) {
    using E = TypeParam;
    for (const std::int64_t raw : probes<E>()) {
        SCOPED_TRACE(raw);
        const std::optional<Case> expected = expectedCase<E>(raw);
        std::ostringstream out;
        out << static_cast<E>(raw);
        EXPECT_EQ(out.str(), expected && !expected->text.empty() ? std::string(expected->text)
                                                                 : std::to_string(raw));
    }
}

TYPED_TEST(EnumerationTest, HashIsTheHashOfTheRawValueAndAgreesWithEquality) {
    using E = TypeParam;
    const std::vector<std::int64_t> raws = probes<E>();
    for (const std::int64_t a : raws) {
        SCOPED_TRACE(a);
        EXPECT_EQ(std::hash<E>{}(static_cast<E>(a)), std::hash<std::int64_t>{}(a));
        for (const std::int64_t b : raws) {
            EXPECT_EQ(static_cast<E>(a) == static_cast<E>(b), a == b);
        }
    }
    std::unordered_set<E> set;
    for (const Case& c : Expected<E>::cases) {
        set.insert(*fromRawValue<E>(c.raw));
        set.insert(static_cast<E>(c.raw));
    }
    EXPECT_EQ(set.size(), Expected<E>::cases.size());
}

TEST(InitializationErrorTest, FailureTextsAreDistinctUpperCaseWords) {
    std::set<std::string_view> texts;
    for (std::int64_t raw = 0; raw < 18; ++raw) {
        const std::string_view text = description(*fromRawValue<InitializationError>(raw));
        EXPECT_TRUE(std::ranges::all_of(text, [](char ch) {
            return ch == '_' || (ch >= 'A' && ch <= 'Z');
        })) << text;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 18U);
}

// Same case name, raw value and text, yet distinct types.
static_assert(!std::is_same_v<StatusError, InitializationError>);
static_assert(!std::is_convertible_v<StatusError, InitializationError>);
// Usable in constant expressions.
static_assert(fromRawValue<CalibrationMode>(6) == CalibrationMode::SIX_POINT);
static_assert(description(EyeMovementState::UNKNOWN) == "UNKONW");
static_assert(!fromRawValue<AccuracyCriteria>(3).has_value());

} // namespace
} // namespace pelto
