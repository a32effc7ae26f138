#include <pelto/Version.hpp>
#include <pelto/platform/BundleRegistry.hpp>

#include <gtest/gtest.h>

#include <string>

namespace pelto {
namespace {

std::string shortVersionOf(const std::shared_ptr<const Bundle>& bundle) {
    return std::any_cast<std::string>(
        bundle->infoDictionary.value().at(std::string(BundleRegistry::SHORT_VERSION_KEY)));
}

TEST(BundleRegistryTest, ReplaceRemoveAndRestoreLeaveEarlierSnapshotsAsTheyWere) {
    const std::string id(BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER);
    const auto own = BundleRegistry::bundleWithIdentifier(id);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->identifier, id);
    EXPECT_EQ(shortVersionOf(own), PELTO_VERSION_STRING);

    BundleRegistry::registerBundle(
        {id, InfoDictionary{{std::string(BundleRegistry::SHORT_VERSION_KEY), std::string("9.9")}}});
    BundleRegistry::registerBundle({"org.example.Host", std::nullopt});
    EXPECT_EQ(shortVersionOf(BundleRegistry::bundleWithIdentifier(id)), "9.9");
    EXPECT_FALSE(BundleRegistry::bundleWithIdentifier("org.example.Host")->infoDictionary);
    EXPECT_TRUE(BundleRegistry::removeBundle(id));
    EXPECT_FALSE(BundleRegistry::removeBundle(id));
    EXPECT_EQ(BundleRegistry::bundleWithIdentifier(id), nullptr);
    EXPECT_EQ(shortVersionOf(own), PELTO_VERSION_STRING);

    BundleRegistry::restoreDefaults();
    EXPECT_EQ(BundleRegistry::bundleWithIdentifier("org.example.Host"), nullptr);
    EXPECT_EQ(shortVersionOf(BundleRegistry::bundleWithIdentifier(id)), PELTO_VERSION_STRING);
}

} // namespace
} // namespace pelto
