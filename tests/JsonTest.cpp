#include <pelto/types/Json.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace pelto {
namespace {

using nlohmann::json;

TEST(JsonTest, EncodesTheBareRawValueAndDecodesItBack) {
    for (const auto criteria : {AccuracyCriteria::CRITERIA_0, AccuracyCriteria::CRITERIA_1,
                                AccuracyCriteria::CRITERIA_2}) {
        const json encoded = criteria;
        EXPECT_EQ(encoded.dump(), std::to_string(rawValue(criteria)));
        EXPECT_EQ(json::parse(encoded.dump()).get<AccuracyCriteria>(), criteria);
        EXPECT_EQ(encoded.get<AccuracyCriteria>(), criteria); // a signed integer, not parsed
    }
    EXPECT_EQ(json::parse("[0,2]").get<std::vector<AccuracyCriteria>>(),
              (std::vector{AccuracyCriteria::CRITERIA_0, AccuracyCriteria::CRITERIA_2}));
}

// Each JSON number kind (signed, unsigned, floating) out of range, and every other kind.
TEST(JsonTest, AnythingButACaseIsDataCorruptionAndLeavesTheTargetUnchanged) {
    std::vector<json> documents{json(std::int64_t{3})};
    for (const char* text :
         {"3", "-1", "2.0", "\"2\"", "null", "1e300", "18446744073709551615", "9223372036854775808",
          "-9223372036854775808", "true", "[2]", "{\"v\":2}"}) {
        documents.push_back(json::parse(text));
    }
    for (const json& document : documents) {
        auto criteria = AccuracyCriteria::CRITERIA_1;
        EXPECT_THROW(from_json(document, criteria), DataCorruptedError) << document.dump();
        EXPECT_EQ(criteria, AccuracyCriteria::CRITERIA_1);
    }
}

} // namespace
} // namespace pelto
