#include <pelto/platform/BundleRegistry.hpp>

#include <pelto/Version.hpp>

#include "platform/NoDestructor.hpp"

#include <mutex>
#include <utility>

namespace pelto {
namespace {

using BundleMap = std::map<std::string, std::shared_ptr<const Bundle>, std::less<>>;

BundleMap defaultBundles() {
    InfoDictionary info;
    info.emplace(BundleRegistry::SHORT_VERSION_KEY, std::string(PELTO_VERSION_STRING));
    auto own = std::make_shared<const Bundle>(
        Bundle{std::string(BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER), std::move(info)});
    BundleMap bundles;
    bundles.emplace(own->identifier, std::move(own));
    return bundles;
}

struct RegistryState {
    std::mutex mutex;
    BundleMap bundles = defaultBundles();
};

// Never destroyed: host code may read the version from its own static destructors.
RegistryState& state() {
    static detail::NoDestructor<RegistryState> registry;
    return registry.get();
}

} // namespace

std::shared_ptr<const Bundle> BundleRegistry::bundleWithIdentifier(std::string_view identifier) {
    auto& registry = state();
    const std::lock_guard lock(registry.mutex);
    const auto found = registry.bundles.find(identifier);
    return found == registry.bundles.end() ? nullptr : found->second;
}

void BundleRegistry::registerBundle(Bundle bundle) {
    auto entry = std::make_shared<const Bundle>(std::move(bundle));
    auto& registry = state();
    const std::lock_guard lock(registry.mutex);
    // The replaced bundle is released after the lock: its values may run arbitrary destructors.
    registry.bundles[entry->identifier].swap(entry);
}

bool BundleRegistry::removeBundle(std::string_view identifier) {
    std::shared_ptr<const Bundle> removed;
    auto& registry = state();
    const std::lock_guard lock(registry.mutex);
    const auto found = registry.bundles.find(identifier);
    if (found == registry.bundles.end()) {
        return false;
    }
    removed = std::move(found->second);
    registry.bundles.erase(found);
    return true;
}

void BundleRegistry::restoreDefaults() {
    BundleMap bundles = defaultBundles();
    auto& registry = state();
    const std::lock_guard lock(registry.mutex);
    registry.bundles.swap(bundles);
}

} // namespace pelto
