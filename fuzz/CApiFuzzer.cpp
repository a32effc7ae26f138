// The C interface's input surface, driven by random single-threaded sequences: filter banks fed
// samples (NULL lists included) and read into buffers of any capacity; raw values of every
// enumeration; gaze samples; the version text into buffers of any capacity while bundles are
// registered and removed; delegates created, retained, released, put into tracker slots and
// handed to the initialiser, with the main queue drained.
//
// Checked against the C++ interface and a model: a C bank answers and stores bit for bit what a
// C++ bank fed the same samples does; no buffer is written beyond its capacity and every text is
// NUL-terminated; a delegate lives exactly while the host or a pending report holds it, its
// destroy callback runs once, and a slot reads back its delegate while it lives and NULL after.
// At the end no delegate is alive and the process-wide state is as it was.

#include <pelto/pelto.h>

#include <pelto/Version.hpp>
#include <pelto/filters/OneEuroFilterManager.hpp>
#include <pelto/types/Enumerations.hpp>

#include "FuzzSupport.hpp"
#include "capi/Handles.hpp"
#include "tracker/GazeTrackerAccess.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace {

using pelto::fuzz::ByteReader;
using pelto::fuzz::sameBits;
using pelto::fuzz::SPECIAL_DOUBLES;

constexpr std::size_t MAX_STEPS = 512;
constexpr std::size_t MAX_DELEGATES = 8;
constexpr std::size_t SLOTS = 5;
constexpr unsigned char GUARD = 0x5A;

double number(ByteReader& in) {
    switch (in.byte() % 4U) {
    case 0:
        return SPECIAL_DOUBLES[in.below(std::size(SPECIAL_DOUBLES))];
    case 1:
        return in.rawDouble();
    default:
        return static_cast<double>(static_cast<std::int8_t>(in.byte())) * 8.0;
    }
}

// ---- Filter bank: the C handle against a C++ bank ----

struct Banks {
    pelto_one_euro_filter_manager* c = nullptr;
    std::optional<pelto::OneEuroFilterManager> reference;

    Banks() = default;
    Banks(const Banks&) = delete;
    Banks& operator=(const Banks&) = delete;
    Banks(Banks&&) = delete;
    Banks& operator=(Banks&&) = delete;
    ~Banks() { pelto_one_euro_filter_manager_destroy(c); }

    void create(ByteReader& in) {
        pelto_one_euro_filter_manager_destroy(c);
        reference.reset();
        if (in.byte() % 8U == 0) {
            c = pelto_one_euro_filter_manager_create_empty();
            reference.emplace();
        } else {
            constexpr std::array<std::int64_t, 6> COUNTS{
                -1, 0, 1, 3, std::int64_t{1} << 62, std::numeric_limits<std::int64_t>::max()};
            const std::int64_t count = COUNTS[in.below(COUNTS.size())];
            const double freq = number(in);
            const double minCutOff = number(in);
            const double beta = number(in);
            const double dCutOff = number(in);
            c = pelto_one_euro_filter_manager_create(count, freq, minCutOff, beta, dCutOff);
            try {
                reference.emplace(count, freq, minCutOff, beta, dCutOff);
            } catch (...) {
            }
        }
        PELTO_FUZZ_CHECK((c != nullptr) == reference.has_value());
    }

    void sample(ByteReader& in) {
        const std::size_t channels = reference ? reference->getFilteredValues().size() : 2;
        const std::size_t length = in.byte() % 4U == 0 ? in.below(5) : channels;
        std::vector<double> values(length);
        for (double& value : values) {
            value = number(in);
        }
        const double timestamp = number(in);
        const bool nullList = length > 0 && in.byte() % 8U == 0;
        const bool accepted = pelto_one_euro_filter_manager_filter_values(
            c, timestamp, nullList ? nullptr : values.data(), length);
        if (c == nullptr || nullList) {
            PELTO_FUZZ_CHECK(!accepted);
            return;
        }
        PELTO_FUZZ_CHECK(accepted == reference->filterValues(timestamp, values));
    }

    void read(ByteReader& in) const {
        const std::vector<double> expected =
            reference ? reference->getFilteredValues() : std::vector<double>{};
        const std::size_t capacity = in.below(expected.size() + 3);
        std::vector<double> buffer(expected.size() + 3, -7.0);
        const bool nullBuffer = in.byte() % 8U == 0;
        const std::size_t count = pelto_one_euro_filter_manager_get_filtered_values(
            c, nullBuffer ? nullptr : buffer.data(), capacity);
        PELTO_FUZZ_CHECK(count == expected.size());
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            const bool written = !nullBuffer && i < capacity && i < expected.size();
            PELTO_FUZZ_CHECK(sameBits(buffer[i], written ? expected[i] : -7.0));
        }
    }

    void cloneInto() {
        pelto_one_euro_filter_manager* copy = pelto_one_euro_filter_manager_clone(c);
        PELTO_FUZZ_CHECK((copy != nullptr) == (c != nullptr));
        pelto_one_euro_filter_manager_destroy(c);
        c = copy;
    }
};

// ---- Enumerations and gaze samples: the C answers against the C++ ones ----

template <pelto::Enumeration E>
void checkEnumeration(std::int64_t raw, bool (*isValid)(std::int64_t),
                      const char* (*description)(std::int64_t)) {
    PELTO_FUZZ_CHECK(isValid(raw) == pelto::fromRawValue<E>(raw).has_value());
    if constexpr (pelto::DescribedEnumeration<E>) {
        const char* text = description(raw);
        PELTO_FUZZ_CHECK(text != nullptr);
        PELTO_FUZZ_CHECK(std::string_view(text) == pelto::description(static_cast<E>(raw)));
    }
}

void checkEnumerations(std::int64_t raw) {
    checkEnumeration<pelto::StatusError>(raw, pelto_status_error_is_valid,
                                         pelto_status_error_description);
    checkEnumeration<pelto::InitializationError>(raw, pelto_initialization_error_is_valid,
                                                 pelto_initialization_error_description);
    checkEnumeration<pelto::TrackingState>(raw, pelto_tracking_state_is_valid,
                                           pelto_tracking_state_description);
    checkEnumeration<pelto::EyeMovementState>(raw, pelto_eye_movement_state_is_valid,
                                              pelto_eye_movement_state_description);
    checkEnumeration<pelto::ScreenState>(raw, pelto_screen_state_is_valid,
                                         pelto_screen_state_description);
    checkEnumeration<pelto::CalibrationMode>(raw, pelto_calibration_mode_is_valid,
                                             pelto_calibration_mode_description);
    checkEnumeration<pelto::AccuracyCriteria>(raw, pelto_accuracy_criteria_is_valid, nullptr);
}

void checkGazeInfo(ByteReader& in) {
    const double timestamp = number(in);
    const double x = number(in);
    const double y = number(in);
    const std::array<std::int64_t, 3> states{in.i64(), in.i64(), in.i64()};
    pelto_gaze_info* info =
        pelto_gaze_info_create(timestamp, x, y, states[0], states[1], states[2]);
    PELTO_FUZZ_CHECK(info != nullptr);
    PELTO_FUZZ_CHECK(pelto_gaze_info_retain(info) == info);
    pelto_gaze_info_release(info);
    PELTO_FUZZ_CHECK(sameBits(pelto_gaze_info_timestamp(info), timestamp));
    PELTO_FUZZ_CHECK(sameBits(pelto_gaze_info_x(info), x) && sameBits(pelto_gaze_info_y(info), y));
    PELTO_FUZZ_CHECK(pelto_gaze_info_tracking_state(info) == states[0]);
    PELTO_FUZZ_CHECK(pelto_gaze_info_eye_movement_state(info) == states[1]);
    PELTO_FUZZ_CHECK(pelto_gaze_info_screen_state(info) == states[2]);
    pelto_gaze_info_release(info);
}

// ---- Version text and bundle registry ----

struct Version {
    std::string expected = PELTO_VERSION_STRING "-simulator";
    bool ownBundle = true;
    bool otherBundle = false;

    static constexpr const char* OTHER = "org.example.Other";

    void registerBundle(ByteReader& in) {
        const bool own = in.byte() % 2U == 0;
        const bool withVersion = in.byte() % 4U != 0;
        std::string text(in.below(12), '\0');
        for (char& c : text) {
            c = static_cast<char>(in.byte());
        }
        text.resize(std::strlen(text.c_str())); // what a C caller's text holds
        PELTO_FUZZ_CHECK(pelto_bundle_registry_register_bundle(
            own ? PELTO_LIBRARY_BUNDLE_IDENTIFIER : OTHER, withVersion ? text.c_str() : nullptr));
        if (own) {
            ownBundle = true;
            expected = withVersion ? text + "-simulator" : "version error";
        } else {
            otherBundle = true;
        }
    }

    void removeBundle(ByteReader& in) {
        if (in.byte() % 2U == 0) {
            PELTO_FUZZ_CHECK(pelto_bundle_registry_remove_bundle(PELTO_LIBRARY_BUNDLE_IDENTIFIER) ==
                             ownBundle);
            ownBundle = false;
            expected = "version error";
        } else {
            PELTO_FUZZ_CHECK(pelto_bundle_registry_remove_bundle(OTHER) == otherBundle);
            otherBundle = false;
        }
    }

    void restore() {
        PELTO_FUZZ_CHECK(pelto_bundle_registry_restore_defaults());
        *this = Version{};
    }

    void read(ByteReader& in) const {
        std::array<char, 64> buffer{};
        buffer.fill(static_cast<char>(GUARD));
        const std::size_t capacity = in.below(buffer.size() + 1);
        const bool nullBuffer = in.byte() % 8U == 0;
        const std::size_t length =
            pelto_get_framework_version(nullBuffer ? nullptr : buffer.data(), capacity);
        PELTO_FUZZ_CHECK(length == expected.size());
        const std::size_t written =
            nullBuffer || capacity == 0 ? 0 : std::min(length, capacity - 1);
        PELTO_FUZZ_CHECK(std::string_view(buffer.data(), written) ==
                         std::string_view(expected).substr(0, written));
        for (std::size_t i = written; i < buffer.size(); ++i) {
            const bool terminator = i == written && !nullBuffer && capacity > 0;
            PELTO_FUZZ_CHECK(buffer.at(i) == (terminator ? '\0' : static_cast<char>(GUARD)));
        }
    }
};

// ---- Delegates, tracker slots and the initialisation report ----

struct Probe {
    std::size_t hostReferences = 0; // the model's count
    std::size_t pendingReports = 0;
    std::size_t reports = 0;
    std::size_t destroyed = 0;
    bool everything = false; // implements every slot interface, else only the initialisation
    pelto_delegate* handle = nullptr;

    [[nodiscard]] bool alive() const noexcept { return hostReferences + pendingReports > 0; }
};

void onDestroy(void* user) {
    ++static_cast<Probe*>(user)->destroyed;
}
void onInitialized(void* user, pelto_gaze_tracker* tracker, std::int64_t error) {
    auto* probe = static_cast<Probe*>(user);
    PELTO_FUZZ_CHECK(tracker == nullptr &&
                     error == PELTO_INITIALIZATION_ERROR_ERROR_NO_GAZE_ENGINE);
    PELTO_FUZZ_CHECK(probe->pendingReports > 0);
    ++probe->reports;
}
// Any call of a slot interface is a fault in this build.
void never(void* /*user*/) {
    pelto::fuzz::fail("slot delegate called", __FILE__, __LINE__);
}
void neverStopped(void* user, std::int64_t /*error*/) {
    never(user);
}
void neverGaze(void* user, pelto_gaze_info* /*info*/) {
    never(user);
}
void neverPoint(void* user, double /*x*/, double /*y*/) {
    never(user);
}
void neverProgress(void* user, double /*progress*/) {
    never(user);
}
void neverFinished(void* user, const double* /*data*/, std::size_t /*count*/) {
    never(user);
}
void neverImage(void* user, double /*timestamp*/, const void* /*image*/) {
    never(user);
}

using Getter = pelto_delegate* (*)(const pelto_gaze_tracker*);
using Setter = bool (*)(pelto_gaze_tracker*, pelto_delegate*);
constexpr std::array<Getter, SLOTS> GETTERS{
    pelto_gaze_tracker_status_delegate, pelto_gaze_tracker_gaze_delegate,
    pelto_gaze_tracker_calibration_delegate, pelto_gaze_tracker_image_delegate,
    pelto_gaze_tracker_user_status_delegate};
constexpr std::array<Setter, SLOTS> SETTERS{
    pelto_gaze_tracker_set_status_delegate, pelto_gaze_tracker_set_gaze_delegate,
    pelto_gaze_tracker_set_calibration_delegate, pelto_gaze_tracker_set_image_delegate,
    pelto_gaze_tracker_set_user_status_delegate};

class Delegates {
  public:
    Delegates()
        : tracker_(pelto::capi::wrapTracker(pelto::detail::GazeTrackerAccess::makeTracker())) {}
    Delegates(const Delegates&) = delete;
    Delegates& operator=(const Delegates&) = delete;
    Delegates(Delegates&&) = delete;
    Delegates& operator=(Delegates&&) = delete;

    ~Delegates() {
        for (Probe& probe : created()) {
            for (; probe.hostReferences > 0; --probe.hostReferences) {
                pelto_delegate_release(probe.handle);
            }
        }
        drain();
        for (const Probe& probe : created()) {
            PELTO_FUZZ_CHECK(probe.destroyed == 1);
        }
        pelto_gaze_tracker_release(tracker_);
    }

    void step(ByteReader& in) {
        switch (in.byte() % 6U) {
        case 0:
            create(in.byte() % 2U == 0);
            break;
        case 1:
            if (Probe* probe = pick(in); probe != nullptr && probe->alive()) {
                PELTO_FUZZ_CHECK(pelto_delegate_retain(probe->handle) == probe->handle);
                ++probe->hostReferences;
            }
            break;
        case 2:
            if (Probe* probe = pick(in); probe != nullptr && probe->hostReferences > 0) {
                pelto_delegate_release(probe->handle);
                --probe->hostReferences;
            }
            break;
        case 3:
            setSlot(in.below(SLOTS), pick(in));
            break;
        case 4:
            if (Probe* probe = pick(in); probe != nullptr && probe->hostReferences > 0) {
                const bool posted = pelto_init_gaze_tracker(probe->handle, nullptr);
                PELTO_FUZZ_CHECK(posted);
                ++probe->pendingReports;
            }
            break;
        default:
            drain();
            break;
        }
        check();
    }

  private:
    void create(bool everything) {
        if (count_ == MAX_DELEGATES) {
            return;
        }
        // Probes never move: each is the user pointer of its delegate.
        Probe& probe = probes_.at(count_++);
        probe.everything = everything;
        pelto_delegate_callbacks callbacks{};
        callbacks.on_initialized = onInitialized;
        if (everything) {
            callbacks.on_started = never;
            callbacks.on_stopped = neverStopped;
            callbacks.on_gaze = neverGaze;
            callbacks.on_calibration_next_point = neverPoint;
            callbacks.on_calibration_progress = neverProgress;
            callbacks.on_calibration_finished = neverFinished;
            callbacks.on_image = neverImage;
        }
        probe.handle = pelto_delegate_create(&callbacks, &probe, onDestroy);
        PELTO_FUZZ_CHECK(probe.handle != nullptr);
        probe.hostReferences = 1;
    }

    Probe* pick(ByteReader& in) {
        const std::size_t index = in.below(count_ + 1);
        return index < count_ ? &probes_.at(index) : nullptr; // one past: NULL
    }

    void setSlot(std::size_t slot, Probe* probe) {
        if (probe != nullptr && !probe->alive()) {
            return; // its handle is gone
        }
        const bool fits = probe == nullptr || probe->everything || slot == SLOTS - 1;
        PELTO_FUZZ_CHECK(SETTERS[slot](tracker_, probe != nullptr ? probe->handle : nullptr) ==
                         fits);
        if (fits) {
            slots_[slot] = probe;
        }
    }

    void drain() {
        pelto_main_queue_drain();
        for (Probe& probe : created()) {
            PELTO_FUZZ_CHECK(probe.reports == probe.pendingReports);
            probe.pendingReports = 0;
            probe.reports = 0;
        }
        PELTO_FUZZ_CHECK(!pelto_main_queue_has_pending_tasks());
    }

    void check() {
        for (const Probe& probe : created()) {
            PELTO_FUZZ_CHECK(probe.destroyed == (probe.alive() ? 0U : 1U));
        }
        for (std::size_t slot = 0; slot < SLOTS; ++slot) {
            const Probe* held = slots_[slot];
            pelto_delegate* read = GETTERS[slot](tracker_);
            PELTO_FUZZ_CHECK(read == (held != nullptr && held->alive() ? held->handle : nullptr));
            pelto_delegate_release(read);
        }
    }

    std::span<Probe> created() noexcept { return std::span(probes_).first(count_); }

    pelto_gaze_tracker* tracker_;
    std::array<Probe, MAX_DELEGATES> probes_{};
    std::size_t count_ = 0;
    std::array<const Probe*, SLOTS> slots_{};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in({data, size});
    Banks banks;
    Version version;
    {
        Delegates delegates;
        for (std::size_t step = 0; step < MAX_STEPS && !in.empty(); ++step) {
            switch (in.byte() % 12U) {
            case 0:
                banks.create(in);
                break;
            case 1:
            case 2:
                banks.sample(in);
                break;
            case 3:
                banks.read(in);
                break;
            case 4:
                banks.cloneInto();
                break;
            case 5:
                checkEnumerations(in.i64());
                break;
            case 6:
                checkGazeInfo(in);
                break;
            case 7:
                version.read(in);
                break;
            case 8:
                if (in.byte() % 4U == 0) {
                    version.restore();
                } else {
                    version.registerBundle(in);
                }
                break;
            case 9:
                version.removeBundle(in);
                break;
            default:
                delegates.step(in);
                break;
            }
        }
    }
    version.restore();
    return 0;
}
