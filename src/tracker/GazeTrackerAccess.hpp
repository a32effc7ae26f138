#pragma once

#include <pelto/tracker/GazeTracker.hpp>

#include <memory>

namespace pelto::detail {

// The library's own route to constructing trackers, kept out of the host-facing headers: it
// lives beside the sources and is neither exported nor installed. Tests, and later a real
// initialiser or a language binding, create trackers through it.
struct GazeTrackerAccess {
    static GazeTracker::ConstructionKey key() noexcept { return {}; }

    static std::shared_ptr<GazeTracker> makeTracker() {
        return std::make_shared<GazeTracker>(key());
    }
};

} // namespace pelto::detail
