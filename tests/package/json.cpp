// Uses the installed JSON integration: AccuracyCriteria round trip and a rejected value.

#include <pelto/types/Json.hpp>

#include <cstdio>

#include <nlohmann/json.hpp>

int main() {
    const nlohmann::json encoded = pelto::AccuracyCriteria::CRITERIA_2;
    bool ok = encoded.dump() == "2" && nlohmann::json::parse("1").get<pelto::AccuracyCriteria>() ==
                                           pelto::AccuracyCriteria::CRITERIA_1;
    try {
        (void)nlohmann::json::parse("2.0").get<pelto::AccuracyCriteria>();
        ok = false;
    } catch (const pelto::DataCorruptedError&) {
    }
    std::puts(ok ? "package consumer (JSON): OK" : "package consumer (JSON): FAILED");
    return ok ? 0 : 1;
}
