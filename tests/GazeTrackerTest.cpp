// The tracker's slots, inert operations and initialisation reports are checked through the C
// interface (tests/c), which drives this same code; here, what only C++ hosts can store.

#include <pelto/Version.hpp>
#include <pelto/platform/BundleRegistry.hpp>
#include <pelto/platform/Handles.hpp>
#include <pelto/platform/Rect.hpp>
#include <pelto/tracker/GazeTracker.hpp>

#include <gtest/gtest.h>

#include <any>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pelto {
namespace {

// The version text is the library bundle's short version when that is text, else an error.
TEST(GazeTrackerTest, VersionTextFollowsTheLibraryBundle) {
    EXPECT_EQ(GazeTracker::getFrameworkVersion(), PELTO_VERSION_STRING "-simulator");
    const std::string id(BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER);
    const auto entry = [](std::any value) {
        return InfoDictionary{{std::string(BundleRegistry::SHORT_VERSION_KEY), std::move(value)}};
    };
    const std::vector<std::pair<std::optional<InfoDictionary>, std::string>> cases{
        {std::nullopt, "version error"},
        {InfoDictionary{}, "version error"},
        {entry(2.5), "version error"},
        {entry(static_cast<const char*>(nullptr)), "version error"},
        {entry(std::string("2.3.4")), "2.3.4-simulator"},
        {entry("5.6"), "5.6-simulator"},
    };
    for (const auto& [info, expected] : cases) {
        BundleRegistry::registerBundle({id, info});
        EXPECT_EQ(GazeTracker::getFrameworkVersion(), expected);
    }
    BundleRegistry::removeBundle(id);
    EXPECT_EQ(GazeTracker::getFrameworkVersion(), "version error");
    BundleRegistry::restoreDefaults();
}

// A calibration region is zero by default and equal to another only member for member; frame
// handles are equal when they name the same frame.
TEST(GazeTrackerTest, RegionsAndFramesCompareMemberForMember) {
    const int frame = 0;
    EXPECT_TRUE(CameraFrameHandle{&frame} == CameraFrameHandle{&frame});
    EXPECT_TRUE(CameraFrameHandle{&frame} != CameraFrameHandle{});
    const Rect zero{};
    EXPECT_TRUE(zero == (Rect{0.0, 0.0, 0.0, 0.0}));
    for (const Rect& other : {Rect{1.0, 0.0, 0.0, 0.0}, Rect{0.0, 1.0, 0.0, 0.0},
                              Rect{0.0, 0.0, 1.0, 0.0}, Rect{0.0, 0.0, 0.0, 1.0}}) {
        EXPECT_TRUE(zero != other);
    }
}

} // namespace
} // namespace pelto
