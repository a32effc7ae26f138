#pragma once

#include <pelto/Export.hpp>

#include <any>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace pelto {

/// A bundle's information dictionary: text keys, values of any type.
using InfoDictionary = std::map<std::string, std::any, std::less<>>;

/// A bundle: its identifier and, if it has one, its information dictionary.
struct Bundle {
    std::string identifier;
    std::optional<InfoDictionary> infoDictionary;
};

/// The process-wide registry of bundles by identifier. It starts with the library's own bundle,
/// whose information dictionary holds the library version as text under `SHORT_VERSION_KEY`;
/// `GazeTracker::getFrameworkVersion` reads it from there on every call. Hosts and tests may
/// register, replace and remove bundles. All members are thread-safe.
class PELTO_EXPORT BundleRegistry {
  public:
    /// Identifier of the library's own bundle.
    static constexpr std::string_view LIBRARY_BUNDLE_IDENTIFIER = "org.pelto.Pelto";
    /// Key of the short version text in an information dictionary.
    static constexpr std::string_view SHORT_VERSION_KEY = "CFBundleShortVersionString";

    BundleRegistry() = delete;

    /// The bundle registered under `identifier`, or null. The bundle is an immutable snapshot:
    /// registering or removing bundles later does not change it.
    static std::shared_ptr<const Bundle> bundleWithIdentifier(std::string_view identifier);

    /// Registers `bundle` under its identifier, replacing any bundle registered there.
    static void registerBundle(Bundle bundle);

    /// Removes the bundle registered under `identifier`; false if there was none.
    static bool removeBundle(std::string_view identifier);

    /// Puts the registry back into its starting state: the library's own bundle alone, with its
    /// default information dictionary.
    static void restoreDefaults();
};

} // namespace pelto
