// The C interface driven by random single-threaded sequences: filter banks fed and read, raw values
// of every enumeration, gaze samples, the version text while the library's bundle is replaced, and
// delegates created, retained, released, put into tracker slots and handed to the initialiser.
// Invariants: a C bank answers and stores bit for bit what a C++ bank fed alike does; no buffer is
// written beyond its capacity and every text is NUL-terminated; a delegate lives exactly while the
// host or a pending report holds it, its destroy callback runs once, and a slot reads back its
// delegate while it lives and NULL after. At the end no delegate is alive.

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
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

using pelto::fuzz::ByteReader;
using pelto::fuzz::sameBits;

constexpr double GUARD = -7.0; // what a buffer holds where nothing may be written

double number(ByteReader& in) {
    switch (in.byte() % 4U) {
    case 0:
        return pelto::fuzz::SPECIAL_DOUBLES.at(in.below(pelto::fuzz::SPECIAL_DOUBLES.size()));
    case 1:
        return in.rawDouble();
    default:
        return static_cast<double>(static_cast<std::int8_t>(in.byte())) * 8.0;
    }
}

// A C bank and the C++ bank built and fed alike; both absent when the channels cannot be had.
struct Banks {
    std::unique_ptr<pelto_one_euro_filter_manager, void (*)(pelto_one_euro_filter_manager*)> c{
        nullptr, pelto_one_euro_filter_manager_destroy};
    std::optional<pelto::OneEuroFilterManager> cpp;

    void step(ByteReader& in) {
        const unsigned operation = in.byte() % 4U;
        if (operation == 0) {
            create(in);
        } else if (operation == 1) {
            const bool had = c != nullptr;
            c.reset(pelto_one_euro_filter_manager_clone(c.get()));
            PELTO_FUZZ_CHECK((c != nullptr) == had);
        } else {
            sample(in);
        }
        read(in);
    }

    void create(ByteReader& in) {
        cpp.reset();
        if (in.byte() % 8U == 0) {
            c.reset(pelto_one_euro_filter_manager_create_empty());
            cpp.emplace();
            return;
        }
        constexpr std::array<std::int64_t, 6> COUNTS{
            -1, 0, 1, 3, std::int64_t{1} << 62, std::numeric_limits<std::int64_t>::max()};
        const std::int64_t count = COUNTS.at(in.below(COUNTS.size()));
        const std::array<double, 4> p{number(in), number(in), number(in), number(in)};
        c.reset(pelto_one_euro_filter_manager_create(count, p[0], p[1], p[2], p[3]));
        try {
            cpp.emplace(count, p[0], p[1], p[2], p[3]);
        } catch (...) {
        }
        PELTO_FUZZ_CHECK((c != nullptr) == cpp.has_value());
    }

    void sample(ByteReader& in) {
        const std::size_t channels = cpp ? cpp->getFilteredValues().size() : 2;
        std::vector<double> values(in.byte() % 4U == 0 ? in.below(5) : channels);
        std::ranges::generate(values, [&in] { return number(in); });
        const double timestamp = number(in);
        const bool nullList = !values.empty() && in.byte() % 8U == 0;
        const bool accepted = pelto_one_euro_filter_manager_filter_values(
            c.get(), timestamp, nullList ? nullptr : values.data(), values.size());
        // A refused NULL list changes nothing: the C++ bank is not fed either.
        PELTO_FUZZ_CHECK(accepted == (cpp && !nullList && cpp->filterValues(timestamp, values)));
    }

    void read(ByteReader& in) const {
        const std::vector<double> expected = cpp ? cpp->getFilteredValues() : std::vector<double>{};
        std::vector<double> buffer(expected.size() + 2, GUARD);
        const std::size_t capacity = in.below(buffer.size());
        const bool nullBuffer = in.byte() % 8U == 0;
        PELTO_FUZZ_CHECK(pelto_one_euro_filter_manager_get_filtered_values(
                             c.get(), nullBuffer ? nullptr : buffer.data(), capacity) ==
                         expected.size());
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            const bool written = !nullBuffer && i < capacity && i < expected.size();
            PELTO_FUZZ_CHECK(sameBits(buffer[i], written ? expected[i] : GUARD));
        }
    }
};

template <pelto::Enumeration E>
void checkEnumeration(std::int64_t raw, bool (*isValid)(std::int64_t),
                      const char* (*description)(std::int64_t)) {
    PELTO_FUZZ_CHECK(isValid(raw) == pelto::fromRawValue<E>(raw).has_value());
    if constexpr (pelto::DescribedEnumeration<E>) {
        const char* text = description(raw);
        PELTO_FUZZ_CHECK(text != nullptr && text == pelto::description(static_cast<E>(raw)));
    }
}

#define PELTO_CHECK_ENUMERATION(Type, name)                                                        \
    checkEnumeration<pelto::Type>(raw, pelto_##name##_is_valid, pelto_##name##_description)

void checkValues(ByteReader& in) {
    const std::int64_t raw = in.i64();
    PELTO_CHECK_ENUMERATION(StatusError, status_error);
    PELTO_CHECK_ENUMERATION(InitializationError, initialization_error);
    PELTO_CHECK_ENUMERATION(TrackingState, tracking_state);
    PELTO_CHECK_ENUMERATION(EyeMovementState, eye_movement_state);
    PELTO_CHECK_ENUMERATION(ScreenState, screen_state);
    PELTO_CHECK_ENUMERATION(CalibrationMode, calibration_mode);
    checkEnumeration<pelto::AccuracyCriteria>(raw, pelto_accuracy_criteria_is_valid, nullptr);

    const std::array<double, 3> numbers{number(in), number(in), number(in)};
    const std::array<std::int64_t, 3> states{raw, in.i64(), in.i64()};
    pelto_gaze_info* info =
        pelto_gaze_info_create(numbers[0], numbers[1], numbers[2], states[0], states[1], states[2]);
    PELTO_FUZZ_CHECK(info != nullptr && sameBits(pelto_gaze_info_timestamp(info), numbers[0]) &&
                     sameBits(pelto_gaze_info_x(info), numbers[1]) &&
                     sameBits(pelto_gaze_info_y(info), numbers[2]));
    PELTO_FUZZ_CHECK(pelto_gaze_info_tracking_state(info) == states[0] &&
                     pelto_gaze_info_eye_movement_state(info) == states[1] &&
                     pelto_gaze_info_screen_state(info) == states[2]);
    pelto_gaze_info_release(info);
}

// The version text against the model of the library's bundle.
struct Version {
    std::string expected = PELTO_VERSION_STRING "-simulator";
    bool registered = true;

    void step(ByteReader& in) {
        const char* own = PELTO_LIBRARY_BUNDLE_IDENTIFIER;
        const unsigned operation = in.byte() % 4U;
        if (operation == 0) {
            std::string text(in.below(12), '\0');
            std::ranges::generate(text, [&in] { return static_cast<char>(in.byte()); });
            text.resize(std::strlen(text.c_str())); // what a C caller's text holds
            const bool withVersion = in.byte() % 4U != 0;
            PELTO_FUZZ_CHECK(
                pelto_bundle_registry_register_bundle(own, withVersion ? text.c_str() : nullptr));
            *this = {withVersion ? text + "-simulator" : "version error", true};
        } else if (operation == 1) {
            PELTO_FUZZ_CHECK(pelto_bundle_registry_remove_bundle(own) == registered);
            *this = {"version error", false};
        } else if (operation == 2) {
            PELTO_FUZZ_CHECK(pelto_bundle_registry_restore_defaults());
            *this = {};
        }
        std::array<char, 40> buffer{};
        buffer.fill('Z');
        const std::size_t capacity = in.below(buffer.size());
        const bool nullBuffer = in.byte() % 8U == 0;
        PELTO_FUZZ_CHECK(pelto_get_framework_version(nullBuffer ? nullptr : buffer.data(),
                                                     capacity) == expected.size());
        const bool room = !nullBuffer && capacity > 0;
        const std::size_t written = room ? std::min(expected.size(), capacity - 1) : 0;
        PELTO_FUZZ_CHECK(std::string_view(buffer.data(), written) ==
                         std::string_view(expected).substr(0, written));
        for (std::size_t i = written; i < buffer.size(); ++i) {
            PELTO_FUZZ_CHECK(buffer.at(i) == (room && i == written ? '\0' : 'Z'));
        }
    }
};

// One host delegate: the model's references to it and what happened to it.
struct Probe {
    std::size_t hostReferences = 0;
    std::size_t pendingReports = 0; // each runs exactly once, at a drain
    std::size_t destroyed = 0;
    bool slots = false; // implements the slot interfaces, else only the initialisation
    pelto_delegate* handle = nullptr;

    [[nodiscard]] bool alive() const noexcept { return hostReferences + pendingReports > 0; }
};

pelto_delegate* makeDelegate(Probe& probe) {
    pelto_delegate_callbacks callbacks{};
    callbacks.struct_size = sizeof callbacks;
    callbacks.on_initialized = [](void* user, pelto_gaze_tracker* tracker, std::int64_t error) {
        PELTO_FUZZ_CHECK(tracker == nullptr &&
                         error == PELTO_INITIALIZATION_ERROR_ERROR_NO_GAZE_ENGINE);
        std::size_t& pending = static_cast<Probe*>(user)->pendingReports;
        PELTO_FUZZ_CHECK(pending > 0);
        --pending;
    };
    if (probe.slots) { // this build calls none of them
        constexpr auto never = [](void*, auto...) {
            pelto::fuzz::fail("slot delegate called", __FILE__, __LINE__);
        };
        callbacks.on_started = never;
        callbacks.on_stopped = never;
        callbacks.on_gaze = never;
        callbacks.on_calibration_next_point = never;
        callbacks.on_calibration_progress = never;
        callbacks.on_calibration_finished = never;
        callbacks.on_image = never;
    }
    return pelto_delegate_create(&callbacks, &probe,
                                 [](void* user) { ++static_cast<Probe*>(user)->destroyed; });
}

class Delegates {
  public:
    Delegates() = default;
    Delegates(const Delegates&) = delete;
    Delegates& operator=(const Delegates&) = delete;

    ~Delegates() {
        for (Probe& probe : created()) {
            for (; probe.hostReferences > 0; --probe.hostReferences) {
                pelto_delegate_release(probe.handle);
            }
        }
        drain();
        check();
        pelto_gaze_tracker_release(tracker_);
    }

    void step(ByteReader& in) {
        const std::size_t operation = in.byte() % 6U;
        const std::size_t index = in.below(count_ + 1);
        Probe* probe = index < count_ ? &probes_.at(index) : nullptr; // one past: NULL
        if (operation == 0 && count_ < probes_.size()) {
            Probe& made = probes_.at(count_++); // never moves: it is the delegate's user pointer
            made.slots = in.byte() % 2U == 0;
            made.handle = makeDelegate(made);
            made.hostReferences = 1;
        } else if (operation == 1 && probe != nullptr && probe->alive()) {
            PELTO_FUZZ_CHECK(pelto_delegate_retain(probe->handle) == probe->handle);
            ++probe->hostReferences;
        } else if (operation == 2 && probe != nullptr && probe->hostReferences > 0) {
            pelto_delegate_release(probe->handle);
            --probe->hostReferences;
        } else if (operation == 3 && (probe == nullptr || probe->alive())) {
            const std::size_t slot = in.below(SETTERS.size());
            const bool fits = probe == nullptr || probe->slots || slot == SETTERS.size() - 1;
            PELTO_FUZZ_CHECK(SETTERS.at(slot)(tracker_, probe ? probe->handle : nullptr) == fits);
            slots_.at(slot) = fits ? probe : slots_.at(slot);
        } else if (operation == 4 && probe != nullptr && probe->hostReferences > 0) {
            PELTO_FUZZ_CHECK(pelto_init_gaze_tracker(probe->handle, nullptr));
            ++probe->pendingReports;
        } else if (operation == 5) {
            drain();
        }
        check();
    }

  private:
    using Getter = pelto_delegate* (*)(const pelto_gaze_tracker*);
    using Setter = bool (*)(pelto_gaze_tracker*, pelto_delegate*);
    static constexpr std::array<Getter, 5> GETTERS{
        pelto_gaze_tracker_status_delegate, pelto_gaze_tracker_gaze_delegate,
        pelto_gaze_tracker_calibration_delegate, pelto_gaze_tracker_image_delegate,
        pelto_gaze_tracker_user_status_delegate};
    static constexpr std::array<Setter, 5> SETTERS{
        pelto_gaze_tracker_set_status_delegate, pelto_gaze_tracker_set_gaze_delegate,
        pelto_gaze_tracker_set_calibration_delegate, pelto_gaze_tracker_set_image_delegate,
        pelto_gaze_tracker_set_user_status_delegate};

    void drain() {
        pelto_main_queue_drain();
        PELTO_FUZZ_CHECK(!pelto_main_queue_has_pending_tasks());
        for (const Probe& probe : created()) {
            PELTO_FUZZ_CHECK(probe.pendingReports == 0);
        }
    }

    void check() {
        for (const Probe& probe : created()) {
            PELTO_FUZZ_CHECK(probe.destroyed == (probe.alive() ? 0U : 1U));
        }
        for (std::size_t slot = 0; slot < GETTERS.size(); ++slot) {
            const Probe* held = slots_.at(slot);
            pelto_delegate* read = GETTERS.at(slot)(tracker_);
            PELTO_FUZZ_CHECK(read == (held != nullptr && held->alive() ? held->handle : nullptr));
            pelto_delegate_release(read);
        }
    }

    std::span<Probe> created() noexcept { return std::span(probes_).first(count_); }

    pelto_gaze_tracker* tracker_ =
        pelto::capi::wrapTracker(pelto::detail::GazeTrackerAccess::makeTracker());
    std::array<Probe, 8> probes_{};
    std::size_t count_ = 0;
    std::array<const Probe*, 5> slots_{};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in({data, size});
    Banks banks;
    Version version;
    {
        Delegates delegates;
        for (std::size_t step = 0; step < 512 && !in.empty(); ++step) {
            const unsigned surface = in.byte() % 8U;
            if (surface < 3) {
                banks.step(in);
            } else if (surface == 3) {
                checkValues(in);
            } else if (surface == 4) {
                version.step(in);
            } else {
                delegates.step(in);
            }
        }
    }
    PELTO_FUZZ_CHECK(pelto_bundle_registry_restore_defaults());
    return 0;
}
