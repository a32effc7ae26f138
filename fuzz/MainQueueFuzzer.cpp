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
#include <utility>
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

struct TaskFailure : std::runtime_error {
    TaskFailure()
        : std::runtime_error("task failed on purpose") {}
};

struct Model {
    std::uint64_t posted = 0; // ids handed out, in posting order
    std::uint64_t ran = 0;    // the id that must run next
    std::size_t live = 0;     // delegates alive
    std::size_t nestedDrains = 0;
    bool hookInstalled = false;
    std::uint64_t hookCalls = 0;
    std::uint64_t expectedHookCalls = 0;

    std::uint64_t willPost() {
        expectedHookCalls += hookInstalled ? 1U : 0U;
        return posted++;
    }

    void run(std::uint64_t id) {
        PELTO_FUZZ_CHECK(id == ran);
        ++ran;
    }
};

// A tracker of this build must call none of these: only an initialisation report arrives, and it
// must be one this delegate is waiting for, in order.
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
        PELTO_FUZZ_CHECK(pending_.empty()); // else a due report was lost
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
    void onGaze(const pelto::GazeInfo& /*info*/) override { calledBySlot(); }
    void onCalibrationNextPoint(double /*x*/, double /*y*/) override { calledBySlot(); }
    void onCalibrationProgress(double /*progress*/) override { calledBySlot(); }
    void onCalibrationFinished(std::span<const double> /*data*/) override { calledBySlot(); }
    void onImage(double /*time*/, pelto::CameraFrameHandle /*image*/) override { calledBySlot(); }
    void onAttension(std::int64_t /*b*/, std::int64_t /*e*/, double /*s*/) override {
        calledBySlot();
    }
    void onBlink(std::int64_t /*t*/, bool /*l*/, bool /*r*/, bool /*b*/, double /*o*/) override {
        calledBySlot();
    }
    void onDrowsiness(std::int64_t /*t*/, bool /*drowsy*/) override { calledBySlot(); }

  private:
    [[noreturn]] static void calledBySlot() {
        pelto::fuzz::fail("a tracker called a slot delegate", __FILE__, __LINE__);
    }

    Model* model_;
    std::deque<std::uint64_t> pending_;
};

using Delegate = std::shared_ptr<Everything>;

// Returns whether a task threw out of the drain, and how many tasks it ran otherwise.
std::pair<bool, std::size_t> drainChecked(Model& model) {
    try {
        return {false, MainQueue::drain()};
    } catch (const TaskFailure&) {
        if (model.hookInstalled && MainQueue::hasPendingTasks()) {
            ++model.expectedHookCalls; // the queue asks to be pumped again
        }
        return {true, 0};
    }
}

enum class Task : std::uint8_t { PLAIN, POSTER, THROWER, DRAINER };

void post(Model& model, Task task, std::size_t children = 0) {
    const std::uint64_t id = model.willPost();
    MainQueue::post([&model, id, task, children] {
        model.run(id);
        for (std::size_t i = 0; i < children; ++i) {
            post(model, Task::PLAIN);
        }
        if (task == Task::THROWER) {
            throw TaskFailure();
        }
        if (task == Task::DRAINER) {
            ++model.nestedDrains;
            drainChecked(model);
        }
    });
}

const Everything* identity(const std::shared_ptr<pelto::GazeTrackerDelegate>& delegate) {
    return dynamic_cast<const Everything*>(delegate.get());
}

using SlotRead = const Everything* (*)(const GazeTracker&);
using SlotWrite = void (*)(GazeTracker&, const Delegate&);
constexpr std::array<SlotRead, SLOTS> READ_SLOT{
    [](const GazeTracker& t) { return identity(t.statusDelegate()); },
    [](const GazeTracker& t) { return identity(t.gazeDelegate()); },
    [](const GazeTracker& t) { return identity(t.calibrationDelegate()); },
    [](const GazeTracker& t) { return identity(t.imageDelegate()); },
    [](const GazeTracker& t) { return identity(t.userStatusDelegate()); },
};
constexpr std::array<SlotWrite, SLOTS> WRITE_SLOT{
    [](GazeTracker& t, const Delegate& d) { t.setStatusDelegate(d); },
    [](GazeTracker& t, const Delegate& d) { t.setGazeDelegate(d); },
    [](GazeTracker& t, const Delegate& d) { t.setCalibrationDelegate(d); },
    [](GazeTracker& t, const Delegate& d) { t.setImageDelegate(d); },
    [](GazeTracker& t, const Delegate& d) { t.setUserStatusDelegate(d); },
};

void inertOperations(GazeTracker& tracker, ByteReader& in) {
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

class Session {
  public:
    Session() {
        for (auto& tracker : trackers_) {
            tracker = pelto::detail::GazeTrackerAccess::makeTracker();
        }
    }

    void run(ByteReader& in) {
        for (std::size_t step = 0; step < MAX_STEPS && !in.empty(); ++step) {
            this->step(in);
            checkModel();
        }
        finish();
    }

  private:
    void step(ByteReader& in) {
        const unsigned action = in.byte() % 16U;
        if (action < 4) {
            const auto task = static_cast<Task>(action);
            post(model_, task, task == Task::POSTER ? 1 + in.below(3) : 0);
            return;
        }
        switch (action) {
        case 4:
        case 5:
            drain();
            break;
        case 6:
            toggleHook();
            break;
        case 7: {
            const Delegate& delegate = owners_[in.below(OWNERS)];
            auto option =
                in.byte() % 2U == 0 ? std::make_shared<pelto::UserStatusOption>() : nullptr;
            if (delegate) {
                delegate->expectReport(model_.willPost());
            }
            GazeTracker::initGazeTracker(delegate, option); // posts nothing for no delegate
            break;
        }
        case 8:
            if (watches_.size() < MAX_DELEGATES) {
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
            const Delegate& delegate = owners_[in.below(OWNERS)];
            WRITE_SLOT.at(slot)(*trackers_[t], delegate);
            slots_[t][slot] = delegate;
            break;
        }
        case 12: {
            const std::size_t t = in.below(TRACKERS);
            std::array<Delegate, SLOTS> picks;
            for (std::size_t slot = 0; slot < SLOTS; ++slot) {
                picks[slot] = owners_[in.below(OWNERS)];
                slots_[t][slot] = picks[slot];
            }
            trackers_[t]->setDelegates(picks[0], picks[1], picks[2], picks[3], picks[4]);
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
        const auto [threw, ran] = drainChecked(model_);
        if (threw) {
            return;
        }
        PELTO_FUZZ_CHECK(model_.ran >= queuedAtStart);
        if (model_.nestedDrains == nestedBefore) {
            PELTO_FUZZ_CHECK(model_.ran == queuedAtStart);
            PELTO_FUZZ_CHECK(ran == queuedAtStart - firstPending);
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

    void checkModel() {
        PELTO_FUZZ_CHECK(MainQueue::hasPendingTasks() == (model_.ran < model_.posted));
        PELTO_FUZZ_CHECK(model_.hookCalls == model_.expectedHookCalls);
        std::size_t alive = 0;
        for (const auto& watch : watches_) {
            if (const Delegate delegate = watch.lock()) {
                ++alive;
                // Alive without an owner: only a pending report may hold it.
                PELTO_FUZZ_CHECK(std::ranges::find(owners_, delegate) != owners_.end() ||
                                 delegate->awaitsReport());
            }
        }
        PELTO_FUZZ_CHECK(alive == model_.live);
        for (std::size_t t = 0; t < TRACKERS; ++t) {
            for (std::size_t slot = 0; slot < SLOTS; ++slot) {
                PELTO_FUZZ_CHECK(READ_SLOT.at(slot)(*trackers_[t]) == slots_[t][slot].lock().get());
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
        owners_ = {};
        checkModel();
        trackers_ = {};
        PELTO_FUZZ_CHECK(model_.live == 0);
    }

    Model model_;
    std::array<Delegate, OWNERS> owners_;
    std::vector<std::weak_ptr<Everything>> watches_;
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
