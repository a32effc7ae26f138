#pragma once

/// \file
/// Everything a C++ host needs from Pelto in one include. The optional JSON
/// integration (<pelto/types/Json.hpp>, needs nlohmann/json) and the C interface
/// (<pelto/pelto.h>) are included separately.

#include <pelto/Version.hpp>
#include <pelto/filters/OneEuroFilterManager.hpp>
#include <pelto/platform/BundleRegistry.hpp>
#include <pelto/platform/Handles.hpp>
#include <pelto/platform/MainQueue.hpp>
#include <pelto/platform/Rect.hpp>
#include <pelto/tracker/Delegates.hpp>
#include <pelto/tracker/GazeTracker.hpp>
#include <pelto/tuning/Tuning.hpp>
#include <pelto/types/Enumerations.hpp>
#include <pelto/types/GazeInfo.hpp>
#include <pelto/types/UserStatusOption.hpp>
