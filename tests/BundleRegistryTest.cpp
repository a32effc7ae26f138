#include <pelto/Version.hpp>
#include <pelto/platform/BundleRegistry.hpp>

#include <gtest/gtest.h>

#include <string>

namespace pelto {
namespace {

class BundleRegistryTest : public ::testing::Test {
  protected:
    void TearDown() override { BundleRegistry::restoreDefaults(); }
};

std::string shortVersionOf(const Bundle& bundle) {
    return std::any_cast<std::string>(
        bundle.infoDictionary->at(std::string(BundleRegistry::SHORT_VERSION_KEY)));
}

TEST_F(BundleRegistryTest, LibraryBundleCarriesTheConfiguredVersion) {
    const auto own =
        BundleRegistry::bundleWithIdentifier(BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->identifier, BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER);
    ASSERT_TRUE(own->infoDictionary.has_value());
    EXPECT_EQ(shortVersionOf(*own), PELTO_VERSION_STRING);
    EXPECT_EQ(BundleRegistry::bundleWithIdentifier("org.example.Missing"), nullptr);
}

TEST_F(BundleRegistryTest, RegisterReplacesAndEarlierSnapshotsStayAsTheyWere) {
    const std::string id(BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER);
    const auto before = BundleRegistry::bundleWithIdentifier(id);
    BundleRegistry::registerBundle(
        {id, InfoDictionary{{std::string(BundleRegistry::SHORT_VERSION_KEY), std::string("9.9")}}});
    EXPECT_EQ(shortVersionOf(*BundleRegistry::bundleWithIdentifier(id)), "9.9");
    EXPECT_EQ(shortVersionOf(*before), PELTO_VERSION_STRING);

    BundleRegistry::registerBundle({id, std::nullopt});
    const auto bare = BundleRegistry::bundleWithIdentifier(id);
    ASSERT_NE(bare, nullptr);
    EXPECT_FALSE(bare->infoDictionary.has_value());
}

TEST_F(BundleRegistryTest, RemoveReportsWhetherABundleWasThereAndRestoreUndoesIt) {
    const auto id = BundleRegistry::LIBRARY_BUNDLE_IDENTIFIER;
    BundleRegistry::registerBundle({"org.example.Host", InfoDictionary{}});
    EXPECT_TRUE(BundleRegistry::removeBundle(id));
    EXPECT_FALSE(BundleRegistry::removeBundle(id));
    EXPECT_EQ(BundleRegistry::bundleWithIdentifier(id), nullptr);

    BundleRegistry::restoreDefaults();
    EXPECT_EQ(BundleRegistry::bundleWithIdentifier("org.example.Host"), nullptr);
    const auto own = BundleRegistry::bundleWithIdentifier(id);
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(shortVersionOf(*own), PELTO_VERSION_STRING);
}

} // namespace
} // namespace pelto
