#pragma once

/// \file
/// JSON coding of Pelto's value types with nlohmann/json (header-only; link `pelto::json`).
///
/// `AccuracyCriteria` is written as its bare raw value (`CRITERIA_2` is `2`) and read back only
/// from a JSON integer that is a case's raw value. Found by argument-dependent lookup, so
/// `json = criteria` and `json.get<pelto::AccuracyCriteria>()` just work.

#include <pelto/types/Enumerations.hpp>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

#include <nlohmann/json.hpp>

namespace pelto {

/// Thrown when decoding meets data that is no valid encoding of the requested type: the wrong
/// JSON kind, a fraction, a number out of range, or an integer that is no case's raw value.
class DataCorruptedError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// Writes `criteria` as its raw value, a JSON integer.
template <class BasicJsonType> void to_json(BasicJsonType& json, const AccuracyCriteria& criteria) {
    json = static_cast<typename BasicJsonType::number_integer_t>(rawValue(criteria));
}

/// Reads a case of `AccuracyCriteria` from a JSON integer equal to its raw value. Throws
/// `DataCorruptedError` for anything else (floats such as `2.0` included) and then leaves
/// `criteria` unchanged.
template <class BasicJsonType>
void from_json(const BasicJsonType& json, AccuracyCriteria& criteria) {
    // Reads the stored integer itself: converting with get<> would wrap large unsigned numbers
    // and is undefined for floats beyond the integer range.
    const auto decode = [](const auto* stored) -> std::optional<AccuracyCriteria> {
        if (stored == nullptr || !std::in_range<std::int64_t>(*stored)) {
            return std::nullopt;
        }
        return fromRawValue<AccuracyCriteria>(static_cast<std::int64_t>(*stored));
    };
    using Signed = typename BasicJsonType::number_integer_t;
    using Unsigned = typename BasicJsonType::number_unsigned_t;
    // An unsigned number also answers is_number_integer(), and its signed pointer would read the
    // other member of nlohmann's number union: ask for the member that holds the value.
    const std::optional<AccuracyCriteria> decoded =
        json.is_number_unsigned() ? decode(json.template get_ptr<const Unsigned*>())
                                  : decode(json.template get_ptr<const Signed*>());
    if (!decoded) {
        throw DataCorruptedError(std::string("AccuracyCriteria: expected the integer 0, 1 or 2, "
                                             "found a JSON ") +
                                 json.type_name());
    }
    criteria = *decoded;
}

} // namespace pelto
