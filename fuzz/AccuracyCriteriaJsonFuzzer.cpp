// Decoding AccuracyCriteria from arbitrary JSON text. Every value of the parsed document (the
// document itself, and within arrays and objects every element, to a bounded depth) is decoded:
// exactly the JSON integers 0, 1 and 2 decode, to the case with that raw value, and encode back to
// the same integer; anything else throws DataCorruptedError and leaves the target unchanged. No
// other exception and no undefined behaviour, whatever the number's size or kind.

#include <pelto/types/Json.hpp>

#include "FuzzSupport.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

namespace {

using pelto::AccuracyCriteria;
using pelto::fuzz::ByteReader;

constexpr int MAX_DEPTH = 32;

// What the decoder must produce: the case when `json` is an integer 0, 1 or 2, nothing otherwise.
std::optional<AccuracyCriteria> expectedCase(const nlohmann::json& json) {
    if (const auto* value = json.get_ptr<const nlohmann::json::number_integer_t*>()) {
        if (*value >= 0 && *value <= 2) {
            return static_cast<AccuracyCriteria>(*value);
        }
    }
    if (const auto* value = json.get_ptr<const nlohmann::json::number_unsigned_t*>()) {
        if (*value <= 2U) {
            return static_cast<AccuracyCriteria>(*value);
        }
    }
    return std::nullopt;
}

void checkDecoding(const nlohmann::json& json, int depth) {
    const std::optional<AccuracyCriteria> expected = expectedCase(json);

    // Through ADL from_json directly, and through nlohmann's get<>.
    AccuracyCriteria target = AccuracyCriteria::CRITERIA_1;
    bool threw = false;
    try {
        from_json(json, target);
    } catch (const pelto::DataCorruptedError&) {
        threw = true;
    }
    PELTO_FUZZ_CHECK(threw != expected.has_value());
    PELTO_FUZZ_CHECK(target == expected.value_or(AccuracyCriteria::CRITERIA_1));

    std::optional<AccuracyCriteria> viaGet;
    try {
        viaGet = json.get<AccuracyCriteria>();
    } catch (const pelto::DataCorruptedError&) {
    }
    PELTO_FUZZ_CHECK(viaGet == expected);

    if (expected) {
        const nlohmann::json encoded = *expected;
        PELTO_FUZZ_CHECK(encoded.is_number_integer());
        PELTO_FUZZ_CHECK(encoded == json);
        PELTO_FUZZ_CHECK(encoded.get<AccuracyCriteria>() == *expected);
    }

    if (depth >= MAX_DEPTH || !json.is_structured()) {
        return;
    }
    for (const nlohmann::json& element : json) {
        checkDecoding(element, depth + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in({data, size});
    const std::string_view text = in.restAsText();
    const nlohmann::json json = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (json.is_discarded()) {
        return 0;
    }
    checkDecoding(json, 0);
    return 0;
}
