#include <pelto/types/Json.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace pelto {
namespace {

using nlohmann::json;

TEST(JsonTest, EncodesTheBareRawValueAndDecodesItBack) {
    for (const auto criteria : {AccuracyCriteria::CRITERIA_0, AccuracyCriteria::CRITERIA_1,
                                AccuracyCriteria::CRITERIA_2}) {
        SCOPED_TRACE(rawValue(criteria));
        const json encoded = criteria;
        EXPECT_TRUE(encoded.is_number_integer());
        EXPECT_EQ(encoded.dump(), std::to_string(rawValue(criteria)));
        EXPECT_EQ(encoded.get<AccuracyCriteria>(), criteria);
        EXPECT_EQ(json::parse(encoded.dump()).get<AccuracyCriteria>(), criteria);
    }
}

TEST(JsonTest, DecodesSignedAndUnsignedIntegers) {
    EXPECT_EQ(json(std::int64_t{2}).get<AccuracyCriteria>(), AccuracyCriteria::CRITERIA_2);
    EXPECT_EQ(json(std::uint64_t{1}).get<AccuracyCriteria>(), AccuracyCriteria::CRITERIA_1);
    EXPECT_EQ(json::parse("[0,2]").get<std::vector<AccuracyCriteria>>(),
              (std::vector{AccuracyCriteria::CRITERIA_0, AccuracyCriteria::CRITERIA_2}));
}

class JsonRejectionTest : public ::testing::TestWithParam<const char*> {};

TEST_P(JsonRejectionTest, ThrowsDataCorruptedAndLeavesTheTargetUnchanged) {
    const json document = json::parse(GetParam());
    auto criteria = AccuracyCriteria::CRITERIA_1;
    EXPECT_THROW(from_json(document, criteria), DataCorruptedError);
    EXPECT_EQ(criteria, AccuracyCriteria::CRITERIA_1);
    EXPECT_THROW((void)document.get<AccuracyCriteria>(), std::runtime_error);
}

INSTANTIATE_TEST_SUITE_P(NotACase, JsonRejectionTest,
                         ::testing::Values("3", "-1", "2.0", "\"2\"", "null", "1e300",
                                           "18446744073709551615", "9223372036854775808",
                                           "-9223372036854775808", "true", "[2]", "{\"v\":2}"));

TEST(JsonTest, RejectsIntegersBuiltInMemory) {
    for (const json& document : {json(std::int64_t{3}), json(std::int64_t{-1}),
                                 json(std::uint64_t{18446744073709551615U}), json(2.0)}) {
        SCOPED_TRACE(document.dump());
        EXPECT_THROW((void)document.get<AccuracyCriteria>(), DataCorruptedError);
    }
}

} // namespace
} // namespace pelto
