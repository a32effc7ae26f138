// The main queue and the tracker's delegate slots, driven by random single-threaded sequences:
// post plain tasks, tasks that post, tasks that throw and tasks that drain; drain; install and
// remove the wake-up hook; initialise with or without a delegate; create, copy and drop the owners
// of delegates; set, clear and read slots; replace trackers and call their inert operations.
//
// Checked after every step against a model: tasks run in posting order, each exactly once, never
// inside the post; a drain runs what was queued when it began and, without nested drains, nothing
// posted meanwhile; the hook runs once per post (and once more when a throwing task leaves work);
// a slot reads back its delegate while someone owns it and empty afterwards; a delegate is alive
// exactly while an owner or a pending report holds it; trackers call and keep alive no delegate.
// At the end, after the final drain, no delegate is alive.

#include <pelto/platform/MainQueue.hpp>
#include <pelto/tracker/Delegates.hpp>
#include <pelto/tracker/GazeTracker.hpp>
#include <pelto/types/UserStatusOption.hpp>

#include "FuzzSupport.hpp"
#include "tracker/GazeTrackerAccess.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

namespace {

using pelto::GazeTracker;
using pelto::MainQueue;
using pelto::fuzz::ByteReader;

constexpr std::size_t MAX_STEPS = 512;
constexpr std::size_t MAX_DELEGATES = 64;
constexpr std::size_t OWNERS = 4;
constexpr std::size_t TRACKERS = 2;
constexpr std::size_t SLOTS = 5;

class TaskFailure : public std::runtime_error {
  public:
    TaskFailure()
        : std::runtime_error("task failed on purpose") {}
};

class Everything;

struct Model {
    std::uint64_t posted = 0; // ids handed out, in posting order
    std::uint64_t ran = 0;    // the id that must run next
    std::size_t live = 0;     // delegates alive
    std::size_t nestedDrains = 0;
    bool hookInstalled = false;
    std::uint64_t hookCalls = 0;
    std::uint64_t expectedHookCalls = 0;

    std::uint64_t willPost() {
        if (hookInstalled) {
            ++expectedHookCalls;
        }
        return posted++;
    }

    void run(std::uint64_t id) {
        PELTO_FUZZ_CHECK(id == ran);
        ++ran;
    }
};

// Implements every delegate interface. A tracker of this build must call none of them: only an
// initialisation report arrives, and it must be one this delegate is waiting for, in order.
class Everything final : public pelto::StatusDelegate,
                         public pelto::GazeDelegate,
                         public pelto::CalibrationDelegate,
                         public pelto::ImageDelegate,
                         public pelto::UserStatusDelegate,
                         public pelto::InitializationDelegate {
  public:
    explicit Everything(Model& model)
        : model_(&model) {
        ++model_->live;
    }
    Everything(const Everything&) = delete;
    Everything(Everything&&) = delete;
    Everything& operator=(const Everything&) = delete;
    Everything& operator=(Everything&&) = delete;
    ~Everything() override {
        // Destroyed with a report still due: that report was lost.
        PELTO_FUZZ_CHECK(pending_.empty());
        --model_->live;
    }

    void expectReport(std::uint64_t id) { pending_.push_back(id); }
    [[nodiscard]] bool awaitsReport() const noexcept { return !pending_.empty(); }

    void onInitialized(std::shared_ptr<GazeTracker> tracker,
                       pelto::InitializationError error) override {
        PELTO_FUZZ_CHECK(tracker == nullptr);
        PELTO_FUZZ_CHECK(error == pelto::InitializationError::ERROR_NO_GAZE_ENGINE);
        PELTO_FUZZ_CHECK(!pending_.empty());
        model_->run(pending_.front());
        pending_.pop_front();
    }

    void onStarted() override { calledBySlot(); }
    void onStopped(pelto::StatusError /*error*/) override { calledBySlot(); }
    void onGaze(const pelto::GazeInfo& /*gazeInfo*/) override { calledBySlot(); }
    void onCalibrationNextPoint(double /*x*/, double /*y*/) override { calledBySlot(); }
    void onCalibrationProgress(double /*progress*/) override { calledBySlot(); }
    void onCalibrationFinished(std::span<const double> /*calibrationData*/) override {
        calledBySlot();
    }
    void onImage(double /*timestamp*/, pelto::CameraFrameHandle /*image*/) override {
        calledBySlot();
    }
    void onAttension(std::int64_t /*begin*/, std::int64_t /*end*/, double /*score*/) override {
        calledBySlot();
    }
    void onBlink(std::int64_t /*timestamp*/, bool /*left*/, bool /*right*/, bool /*blink*/,
                 double /*openness*/) override {
        calledBySlot();
    }
    void onDrowsiness(std::int64_t /*timestamp*/, bool /*drowsy*/) override { calledBySlot(); }

  private:
    [[noreturn]] static void calledBySlot() {
        pelto::fuzz::fail("a tracker called a slot delegate", __FILE__, __LINE__);
    }

    Model* model_;
    std::deque<std::uint64_t> pending_;
};

struct DrainOutcome {
    std::size_t ran = 0;
    bool threw = false;
};

DrainOutcome drainChecked(Model& model) {
    try {
        return {MainQueue::drain(), false};
    } catch (const TaskFailure&) {
        if (model.hookInstalled && MainQueue::hasPendingTasks()) {
            ++model.expectedHookCalls; // the queue asks to be pumped again
        }
        return {0, true};
    }
}

void postPlain(Model& model) {
    const std::uint64_t id = model.willPost();
    MainQueue::post([&model, id] { model.run(id); });
}

void postPoster(Model& model, std::size_t children) {
    const std::uint64_t id = model.willPost();
    MainQueue::post([&model, id, children] {
        model.run(id);
        for (std::size_t i = 0; i < children; ++i) {
            postPlain(model);
        }
    });
}

void postThrower(Model& model) {
    const std::uint64_t id = model.willPost();
    MainQueue::post([&model, id] {
        model.run(id);
        throw TaskFailure();
    });
}

void postNestedDrainer(Model& model) {
    const std::uint64_t id = model.willPost();
    MainQueue::post([&model, id] {
        model.run(id);
        ++model.nestedDrains;
        drainChecked(model);
    });
}

const Everything* identity(const std::shared_ptr<pelto::GazeTrackerDelegate>& delegate) {
    return dynamic_cast<const Everything*>(delegate.get());
}

const Everything* readSlot(const GazeTracker& tracker, std::size_t slot) {
    switch (slot) {
    case 0:
        return identity(tracker.statusDelegate());
    case 1:
        return identity(tracker.gazeDelegate());
    case 2:
        return identity(tracker.calibrationDelegate());
    case 3:
        return identity(tracker.imageDelegate());
    default:
        return identity(tracker.userStatusDelegate());
    }
}

void writeSlot(GazeTracker& tracker, std::size_t slot, const std::shared_ptr<Everything>& d) {
    switch (slot) {
    case 0:
        tracker.setStatusDelegate(d);
        break;
    case 1:
        tracker.setGazeDelegate(d);
        break;
    case 2:
        tracker.setCalibrationDelegate(d);
        break;
    case 3:
        tracker.setImageDelegate(d);
        break;
    default:
        tracker.setUserStatusDelegate(d);
        break;
    }
}

class Session {
  public:
    Session() {
        for (auto& tracker : trackers_) {
            tracker = pelto::detail::GazeTrackerAccess::makeTracker();
        }
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    Session(Session&&) = delete;
    Session& operator=(Session&&) = delete;
    ~Session() = default;

    void run(ByteReader& in) {
        for (std::size_t step = 0; step < MAX_STEPS && !in.empty(); ++step) {
            this->step(in);
            checkModel();
        }
        finish();
    }

  private:
    void step(ByteReader& in) {
        switch (in.byte() % 16U) {
        case 0:
            postPlain(model_);
            break;
        case 1:
            postPoster(model_, 1 + in.below(3));
            break;
        case 2:
            postThrower(model_);
            break;
        case 3:
            postNestedDrainer(model_);
            break;
        case 4:
        case 5:
            drain();
            break;
        case 6:
            toggleHook();
            break;
        case 7:
            initialise(owners_[in.below(OWNERS)], in.byte() % 2U == 0);
            break;
        case 8:
            if (created_ < MAX_DELEGATES) {
                ++created_;
                auto delegate = std::make_shared<Everything>(model_);
                watches_.push_back(delegate);
                owners_[in.below(OWNERS)] = std::move(delegate);
            }
            break;
        case 9:
            owners_[in.below(OWNERS)].reset();
            break;
        case 10: {
            const std::size_t from = in.below(OWNERS);
            owners_[in.below(OWNERS)] = owners_[from];
            break;
        }
        case 11: {
            const std::size_t t = in.below(TRACKERS);
            const std::size_t slot = in.below(SLOTS);
            const std::shared_ptr<Everything>& delegate = owners_[in.below(OWNERS)];
            writeSlot(*trackers_[t], slot, delegate);
            slots_[t][slot] = delegate;
            break;
        }
        case 12: {
            const std::size_t t = in.below(TRACKERS);
            std::array<const std::shared_ptr<Everything>*, SLOTS> picks{};
            for (std::size_t slot = 0; slot < SLOTS; ++slot) {
                picks[slot] = &owners_[in.below(OWNERS)];
                slots_[t][slot] = *picks[slot];
            }
            trackers_[t]->setDelegates(*picks[0], *picks[1], *picks[2], *picks[3], *picks[4]);
            break;
        }
        case 13: {
            // Destroying a tracker neither calls nor destroys its delegates.
            const std::size_t t = in.below(TRACKERS);
            const std::size_t live = model_.live;
            trackers_[t] = pelto::detail::GazeTrackerAccess::makeTracker();
            slots_[t] = {};
            PELTO_FUZZ_CHECK(model_.live == live);
            break;
        }
        case 14:
            inertOperations(*trackers_[in.below(TRACKERS)], in);
            break;
        default:
            GazeTracker::deinitGazeTracker(trackers_[in.below(TRACKERS)]);
            GazeTracker::deinitGazeTracker(nullptr);
            break;
        }
    }

    void drain() {
        const std::uint64_t firstPending = model_.ran;
        const std::uint64_t queuedAtStart = model_.posted;
        const std::size_t nestedBefore = model_.nestedDrains;
        const DrainOutcome outcome = drainChecked(model_);
        if (outcome.threw) {
            return;
        }
        PELTO_FUZZ_CHECK(model_.ran >= queuedAtStart);
        if (model_.nestedDrains == nestedBefore) {
            PELTO_FUZZ_CHECK(model_.ran == queuedAtStart);
            PELTO_FUZZ_CHECK(outcome.ran == queuedAtStart - firstPending);
        }
    }

    void toggleHook() {
        if (model_.hookInstalled) {
            MainQueue::setWakeUpHook({});
        } else {
            MainQueue::setWakeUpHook([model = &model_] { ++model->hookCalls; });
        }
        model_.hookInstalled = !model_.hookInstalled;
    }

    void initialise(const std::shared_ptr<Everything>& delegate, bool withOption) {
        auto option = withOption ? std::make_shared<pelto::UserStatusOption>() : nullptr;
        if (delegate) {
            delegate->expectReport(model_.willPost());
        }
        GazeTracker::initGazeTracker(delegate, option); // nothing posted for an empty delegate
    }

    static void inertOperations(GazeTracker& tracker, ByteReader& in) {
        const double number = in.rawDouble();
        tracker.startTracking();
        PELTO_FUZZ_CHECK(!tracker.isTracking());
        PELTO_FUZZ_CHECK(!tracker.setTrackingFPS(in.i64()));
        PELTO_FUZZ_CHECK(!tracker.startCalibration(static_cast<pelto::CalibrationMode>(in.i64()),
                                                   static_cast<pelto::AccuracyCriteria>(in.i64()),
                                                   {number, number, number, number}));
        PELTO_FUZZ_CHECK(!tracker.isCalibrating());
        const std::array<double, 3> data{number, 1.0, -1.0};
        PELTO_FUZZ_CHECK(!tracker.setCalibrationData(data));
        PELTO_FUZZ_CHECK(!tracker.startCollectSamples());
        tracker.stopCalibration();
        tracker.setCameraPreview({});
        tracker.removeCameraPreview();
        tracker.setAttentionInterval(in.i64());
        PELTO_FUZZ_CHECK(tracker.getAttentionScore() == 0.0);
        tracker.stopTracking();
    }

    [[nodiscard]] bool owned(const Everything* delegate) const {
        return std::ranges::any_of(
            owners_, [delegate](const auto& owner) { return owner.get() == delegate; });
    }

    void checkModel() {
        PELTO_FUZZ_CHECK(MainQueue::hasPendingTasks() == (model_.ran < model_.posted));
        PELTO_FUZZ_CHECK(model_.hookCalls == model_.expectedHookCalls);

        std::size_t alive = 0;
        for (const auto& watch : watches_) {
            const std::shared_ptr<Everything> delegate = watch.lock();
            if (delegate) {
                ++alive;
                // Alive without an owner: only a pending report may hold it.
                PELTO_FUZZ_CHECK(owned(delegate.get()) || delegate->awaitsReport());
            }
        }
        PELTO_FUZZ_CHECK(alive == model_.live);

        for (std::size_t t = 0; t < TRACKERS; ++t) {
            for (std::size_t slot = 0; slot < SLOTS; ++slot) {
                const std::shared_ptr<Everything> expected = slots_[t][slot].lock();
                PELTO_FUZZ_CHECK(readSlot(*trackers_[t], slot) == expected.get());
            }
        }
    }

    void finish() {
        if (model_.hookInstalled) {
            toggleHook();
        }
        while (MainQueue::hasPendingTasks()) {
            drainChecked(model_);
        }
        PELTO_FUZZ_CHECK(model_.ran == model_.posted);
        for (auto& owner : owners_) {
            owner.reset();
        }
        checkModel();
        for (auto& tracker : trackers_) {
            tracker.reset();
        }
        PELTO_FUZZ_CHECK(model_.live == 0);
    }

    Model model_;
    std::array<std::shared_ptr<Everything>, OWNERS> owners_;
    std::vector<std::weak_ptr<Everything>> watches_;
    std::size_t created_ = 0;
    std::array<std::shared_ptr<GazeTracker>, TRACKERS> trackers_;
    std::array<std::array<std::weak_ptr<Everything>, SLOTS>, TRACKERS> slots_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in({data, size});
    Session session;
    session.run(in);
    return 0;
}
