// The platform in C: the main queue and the bundle registry.

#include <pelto/pelto.h>

#include <pelto/Version.hpp>
#include <pelto/platform/BundleRegistry.hpp>
#include <pelto/platform/MainQueue.hpp>
#include <pelto/tuning/Tuning.hpp>
#include <pelto/types/Enumerations.hpp>

#include "capi/Handles.hpp"
#include "capi/Support.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

extern "C" {

// Main queue

size_t pelto_main_queue_drain(void) noexcept {
    try {
        return pelto::MainQueue::drain();
    } catch (...) {
        return 0;
    }
}

bool pelto_main_queue_set_wake_up_hook(void (*hook)(void* user), void* user) noexcept {
    try {
        if (hook == nullptr) {
            pelto::MainQueue::setWakeUpHook(nullptr);
        } else {
            pelto::MainQueue::setWakeUpHook([hook, user] { hook(user); });
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool pelto_main_queue_has_pending_tasks(void) noexcept {
    try {
        return pelto::MainQueue::hasPendingTasks();
    } catch (...) {
        return false;
    }
}

// Bundle registry

bool pelto_bundle_registry_register_bundle(const char* identifier,
                                           const char* short_version) noexcept {
    if (identifier == nullptr) {
        return false;
    }
    try {
        pelto::Bundle bundle{identifier, std::nullopt};
        if (short_version != nullptr) {
            bundle.infoDictionary.emplace();
            bundle.infoDictionary->emplace(pelto::BundleRegistry::SHORT_VERSION_KEY,
                                           std::string(short_version));
        }
        pelto::BundleRegistry::registerBundle(std::move(bundle));
        return true;
    } catch (...) {
        return false;
    }
}

bool pelto_bundle_registry_remove_bundle(const char* identifier) noexcept {
    if (identifier == nullptr) {
        return false;
    }
    try {
        return pelto::BundleRegistry::removeBundle(identifier);
    } catch (...) {
        return false;
    }
}

bool pelto_bundle_registry_restore_defaults(void) noexcept {
    try {
        pelto::BundleRegistry::restoreDefaults();
        return true;
    } catch (...) {
        return false;
    }
}

} // extern "C"
