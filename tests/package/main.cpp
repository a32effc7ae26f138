// Uses the installed C++ interface: version, the initialisation road through the main queue, the
// enumerations and the filter bank's exact numbers. Exits non-zero on any mismatch.

#include <pelto/Pelto.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

int failures = 0;

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "package consumer: %s\n", what);
        ++failures;
    }
}

class Receiver final : public pelto::InitializationDelegate {
  public:
    void onInitialized(std::shared_ptr<pelto::GazeTracker> tracker,
                       pelto::InitializationError error) override {
        ++reports;
        trackerCame = tracker != nullptr;
        lastError = error;
    }

    int reports = 0;
    bool trackerCame = true;
    pelto::InitializationError lastError = pelto::InitializationError::ERROR_NONE;
};

} // namespace

int main() {
    check(pelto::GazeTracker::getFrameworkVersion() ==
              std::string(PELTO_VERSION_STRING) + "-simulator",
          "framework version");

    // Text stored by the host, read by the library: std::any crosses the library's boundary.
    pelto::BundleRegistry::registerBundle(
        {std::string(pelto::BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER),
         pelto::InfoDictionary{
             {std::string(pelto::BundleRegistry::SHORT_VERSION_KEY), std::string("7.7")}}});
    check(pelto::GazeTracker::getFrameworkVersion() == "7.7-simulator", "host's version text");
    pelto::BundleRegistry::restoreDefaults();

    auto receiver = std::make_shared<Receiver>();
    pelto::GazeTracker::initGazeTracker(receiver, std::make_shared<pelto::UserStatusOption>());
    check(receiver->reports == 0, "report ran inside initGazeTracker");
    check(pelto::MainQueue::drain() == 1, "one report queued");
    check(receiver->reports == 1 && !receiver->trackerCame &&
              receiver->lastError == pelto::InitializationError::ERROR_NO_GAZE_ENGINE,
          "initialisation report");
    check(pelto::description(pelto::ScreenState::OUTSIDE_OF_SCREEN) == "OUTSIDE_OF_SCREEEN",
          "enumeration text");

    pelto::OneEuroFilterManager bank(
        pelto::OneEuroFilterManager::DEFAULT_COUNT, pelto::OneEuroFilterManager::DEFAULT_FREQUENCY,
        pelto::OneEuroFilterManager::DEFAULT_MIN_CUT_OFF, pelto::OneEuroFilterManager::DEFAULT_BETA,
        pelto::OneEuroFilterManager::DEFAULT_D_CUT_OFF);
    check(bank.filterValues(0.0, std::vector<double>{10.0, 5.0}), "first sample");
    check(bank.filterValues(33.0, std::vector<double>{20.0, 5.0}), "second sample");
    check(bank.getFilteredValues() == std::vector<double>{12.205030965084358, 5.0},
          "smoothed values");

    if (failures == 0) {
        std::printf("package consumer: OK (%s)\n", PELTO_VERSION_STRING);
    }
    return failures == 0 ? 0 : 1;
}
