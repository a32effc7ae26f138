// The tracker facade for Python: GazeTracker's entry points and operations, the initialisation
// report delivered to any Python object with on_initialized(tracker, error), and the main queue.

#include "Bindings.hpp"

#include <pelto/platform/MainQueue.hpp>
#include <pelto/platform/Rect.hpp>
#include <pelto/tracker/Delegates.hpp>
#include <pelto/tracker/GazeTracker.hpp>
#include <pelto/types/Enumerations.hpp>
#include <pelto/types/UserStatusOption.hpp>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

namespace py = pybind11;

namespace pelto::python {
namespace {

class PythonInitializationDelegate;

// The Python delegates that pending reports hold. Reports live in the main queue, a C++ static
// that outlives the interpreter; at exit the registry lets go of their Python objects while the
// interpreter still runs, and from then on no report touches Python.
struct PendingDelegates {
    std::mutex mutex;
    std::set<PythonInitializationDelegate*> live;
    std::atomic<bool> interpreterGone{false};
};

PendingDelegates& pending() {
    // Never destroyed: reports may be destroyed during static destruction.
    static auto* const registry = new PendingDelegates;
    return *registry;
}

// Carries one initialisation report to a Python object. Holds the object strongly until the
// report has run (or the interpreter ends).
class PythonInitializationDelegate final : public InitializationDelegate {
  public:
    // Needs the GIL.
    explicit PythonInitializationDelegate(py::object target)
        : target_(std::move(target)) {
        const std::lock_guard lock(pending().mutex);
        pending().live.insert(this);
    }

    PythonInitializationDelegate(const PythonInitializationDelegate&) = delete;
    PythonInitializationDelegate& operator=(const PythonInitializationDelegate&) = delete;
    PythonInitializationDelegate(PythonInitializationDelegate&&) = delete;
    PythonInitializationDelegate& operator=(PythonInitializationDelegate&&) = delete;

    // Any thread, with or without the GIL.
    ~PythonInitializationDelegate() override {
        try {
            release();
        } catch (...) {
            // Only locking could fail here: the Python object is then leaked, not the process
            // ended.
        }
    }

    // Runs on the main queue; a Python exception leaves as py::error_already_set, and with it
    // the queue's drain.
    void onInitialized(std::shared_ptr<GazeTracker> tracker, InitializationError error) override {
        if (pending().interpreterGone.load()) {
            return;
        }
        const py::gil_scoped_acquire gil;
        py::object target;
        {
            const std::lock_guard lock(pending().mutex);
            target = target_;
        }
        if (target) {
            target.attr("on_initialized")(tracker ? py::cast(std::move(tracker)) : py::none(),
                                          toPython(error, "InitializationError"));
        }
    }

    // At interpreter exit, with the GIL: takes every pending report's Python object.
    static std::vector<py::object> takeAll() {
        std::vector<py::object> taken;
        const std::lock_guard lock(pending().mutex);
        pending().interpreterGone.store(true);
        for (PythonInitializationDelegate* delegate : pending().live) {
            taken.push_back(std::move(delegate->target_));
        }
        return taken;
    }

  private:
    void release() {
        py::object target;
        {
            const std::lock_guard lock(pending().mutex);
            pending().live.erase(this);
            target = std::move(target_);
        }
        if (target && !pending().interpreterGone.load()) {
            const py::gil_scoped_acquire gil;
            target = py::object();
        } else {
            static_cast<void>(target.release()); // the interpreter is gone: nothing to release
        }
    }

    py::object target_;
};

void initGazeTracker(const py::object& delegate, std::shared_ptr<UserStatusOption> option) {
    if (delegate.is_none() || !py::hasattr(delegate, "on_initialized")) {
        throw py::type_error("the delegate must be an object with a method "
                             "on_initialized(tracker, error)");
    }
    GazeTracker::initGazeTracker(std::make_shared<PythonInitializationDelegate>(delegate),
                                 std::move(option));
}

} // namespace

void bindTracker(py::module_& module) {
    py::class_<GazeTracker, std::shared_ptr<GazeTracker>>(
        module, "GazeTracker",
        "The object through which a host drives gaze tracking, and the library's entry points. "
        "Trackers come only from init_gaze_tracker; this build carries no gaze engine, so "
        "initialisation always reports no tracker and every operation answers False or 0.0.")
        .def_static("init_gaze_tracker", &initGazeTracker, py::arg("delegate"),
                    py::arg("option") = py::none(),
                    "Starts creating a tracker and returns at once. The outcome reaches "
                    "`delegate.on_initialized(tracker, error)` once, when pelto.main_queue.drain() "
                    "runs it; the pending report keeps `delegate` alive until then. This build "
                    "reports None and InitializationError.ERROR_NO_GAZE_ENGINE.")
        .def_static("deinit_gaze_tracker", &GazeTracker::deinitGazeTracker,
                    py::arg("tracker").none(true),
                    "Takes back a tracker received from init_gaze_tracker; does nothing in this "
                    "build. Accepts None.")
        .def_static("get_framework_version", &GazeTracker::getFrameworkVersion,
                    "The library's version text, such as \"1.0.0-simulator\".")
        .def("start_tracking", &GazeTracker::startTracking, "Would start tracking; does nothing.")
        .def("stop_tracking", &GazeTracker::stopTracking, "Would stop tracking; does nothing.")
        .def("is_tracking", &GazeTracker::isTracking, "Whether tracking runs; always False.")
        .def("set_tracking_fps", &GazeTracker::setTrackingFPS, py::arg("fps"),
             "Would set the tracking rate; False (not set).")
        .def("is_calibrating", &GazeTracker::isCalibrating,
             "Whether a calibration runs; always False.")
        .def(
            "start_calibration",
            [](GazeTracker& self, std::int64_t mode, std::int64_t criteria,
               std::tuple<double, double, double, double> region) {
                const auto [x, y, width, height] = region;
                return self.startCalibration(static_cast<CalibrationMode>(mode),
                                             static_cast<AccuracyCriteria>(criteria),
                                             Rect{x, y, width, height});
            },
            py::arg("mode"), py::arg("criteria"), py::arg("region"),
            "Would start a calibration of `mode` to `criteria` within `region` (x, y, width, "
            "height); False (not started).")
        .def(
            "set_calibration_data",
            [](GazeTracker& self, const std::vector<double>& data) {
                return self.setCalibrationData(data);
            },
            py::arg("calibration_data"), "Would load an earlier calibration; False (not loaded).")
        .def("stop_calibration", &GazeTracker::stopCalibration,
             "Would stop the running calibration; does nothing.")
        .def("start_collect_samples", &GazeTracker::startCollectSamples,
             "Would start collecting calibration samples; False (not started).")
        .def("remove_camera_preview", &GazeTracker::removeCameraPreview,
             "Would remove the camera preview; does nothing.")
        .def("set_attention_interval", &GazeTracker::setAttentionInterval, py::arg("interval"),
             "Would set the attention scoring interval; does nothing.")
        .def("get_attention_score", &GazeTracker::getAttentionScore,
             "The latest attention score; always 0.0.");

    // The package offers these two as pelto.main_queue.drain and .has_pending_tasks.
    module.def("_main_queue_drain", &MainQueue::drain, py::call_guard<py::gil_scoped_release>(),
               "Runs, in posting order, the reports queued when the call began; returns how many "
               "ran. An exception raised by a report leaves drain(); the reports behind it stay "
               "queued for the next drain.");
    module.def("_main_queue_has_pending_tasks", &MainQueue::hasPendingTasks,
               "Whether some report is waiting to run.");

    // Pending reports let go of their Python objects while the interpreter can still take them.
    py::module_::import("atexit").attr("register")(
        py::cpp_function([] { PythonInitializationDelegate::takeAll(); }));
}

} // namespace pelto::python
