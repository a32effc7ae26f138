// The JSON form of a tuning report, shared by the demo, the C interface and the bindings.

#include <pelto/tuning/Tuning.hpp>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace pelto::tuning {
namespace {

class Writer {
  public:
    void open(char bracket) {
        separate();
        out_ += bracket;
        first_ = true;
    }
    void close(char bracket) {
        out_ += bracket;
        first_ = false;
    }
    void key(std::string_view name) {
        separate();
        text(name);
        out_ += ':';
        first_ = true;
    }
    void number(double value) {
        separate();
        if (!std::isfinite(value)) {
            out_ += "null"; // NaN, and infinities JSON cannot hold
            return;
        }
        std::array<char, 32> buffer{};
        const auto [end, error] =
            std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
        out_.append(buffer.data(), error == std::errc{} ? end : buffer.data());
    }
    void count(std::uint64_t value) {
        separate();
        out_ += std::to_string(value);
    }
    void boolean(bool value) {
        separate();
        out_ += value ? "true" : "false";
    }
    void null() {
        separate();
        out_ += "null";
    }
    void string(std::string_view value) {
        separate();
        text(value);
    }
    [[nodiscard]] std::string take() { return std::move(out_); }

  private:
    void separate() {
        if (!first_) {
            out_ += ',';
        }
        first_ = false;
    }
    void text(std::string_view value) {
        out_ += '"';
        for (const char c : value) {
            if (c == '"' || c == '\\') {
                out_ += '\\';
                out_ += c;
            } else if (static_cast<unsigned char>(c) < 0x20) {
                constexpr std::string_view HEX = "0123456789abcdef";
                out_ += "\\u00";
                out_ += HEX[static_cast<unsigned char>(c) >> 4U];
                out_ += HEX[static_cast<unsigned char>(c) & 0xFU];
            } else {
                out_ += c;
            }
        }
        out_ += '"';
    }

    std::string out_;
    bool first_ = true;
};

void figure(Writer& json, std::string_view name, double value) {
    json.key(name);
    json.number(value);
}

void tally(Writer& json, std::string_view name, std::size_t value) {
    json.key(name);
    json.count(value);
}

void choices(Writer& json, const BankChoices& c) {
    json.key("timestampPrecision");
    json.string(description(c.precision));
    json.key("derivative");
    json.string(description(c.derivative));
}

// With `with`, also the choices: all a bank needs to smooth as the sweep did.
void parameters(Writer& json, const FilterParameters& p, const BankChoices* with = nullptr) {
    json.open('{');
    figure(json, "freq", p.freq);
    figure(json, "minCutOff", p.minCutOff);
    figure(json, "beta", p.beta);
    figure(json, "dCutOff", p.dCutOff);
    if (with != nullptr) {
        choices(json, *with);
    }
    json.close('}');
}

void figures(Writer& json, const Measurement& m) {
    json.open('{');
    json.key("parameters");
    parameters(json, m.parameters);
    tally(json, "samples", m.samples);
    tally(json, "refused", m.refused);
    tally(json, "stillSteps", m.stillSteps);
    tally(json, "movements", m.movements);
    tally(json, "lagsMeasured", m.lagsMeasured);
    tally(json, "lagsCensored", m.lagsCensored);
    figure(json, "rawJitter", m.rawJitter);
    figure(json, "smoothedJitter", m.smoothedJitter);
    figure(json, "jitterRatio", m.jitterRatio);
    figure(json, "meanLagMs", m.meanLagMs);
    figure(json, "medianLagMs", m.medianLagMs);
    figure(json, "maxLagMs", m.maxLagMs);
    json.close('}');
}

std::string_view statusName(TuningStatus status) {
    switch (status) {
    case TuningStatus::OK:
        return "OK";
    case TuningStatus::TOO_FEW_SAMPLES:
        return "TOO_FEW_SAMPLES";
    case TuningStatus::ALL_REFUSED:
        return "ALL_REFUSED";
    case TuningStatus::NO_MOTION:
        return "NO_MOTION";
    case TuningStatus::NO_MOVEMENTS:
        return "NO_MOVEMENTS";
    case TuningStatus::NO_STILL_PERIODS:
        return "NO_STILL_PERIODS";
    case TuningStatus::NO_SETTING_WITHIN_BUDGET:
        return "NO_SETTING_WITHIN_BUDGET";
    }
    return "";
}

} // namespace

std::string toJson(const TuningReport& report) {
    const TuningResult& result = report.result;
    const SignalProfile& profile = result.profile;
    Writer json;
    json.open('{');
    json.key("status");
    json.string(statusName(result.status));
    json.key("statusCode");
    json.count(static_cast<std::uint64_t>(result.status));
    json.key("message");
    json.string(statusText(result.status));
    json.key("budget");
    json.open('{');
    figure(json, "maxLagMs", result.maxLagMs);
    json.key("basis");
    json.string(report.budgetGiven ? "given" : "default");
    json.close('}');
    json.key("lagBasis");
    json.string(report.lagBasis == LagBasis::SYNTHESISED ? "synthesised" : "recorded");
    figure(json, "clockPrecisionMs", report.clockPrecisionMs);
    json.key("overBudget");
    json.boolean(report.overBudget);
    json.key("atSearchEdge");
    json.boolean(report.atSearchEdge);
    choices(json, report.choices);

    json.key("profile");
    json.open('{');
    tally(json, "samples", profile.samples);
    tally(json, "steps", profile.steps);
    figure(json, "samplePeriodMs", profile.samplePeriodMs);
    figure(json, "medianSpeed", profile.medianSpeed);
    figure(json, "fastSpeed", profile.fastSpeed);
    figure(json, "stillSpeed", profile.stillSpeed);
    figure(json, "movementSpeed", profile.movementSpeed);
    tally(json, "stillSteps", profile.stillSteps);
    json.key("movements");
    json.open('[');
    for (const DetectedMovement& movement : report.movements) {
        json.open('{');
        figure(json, "startMs", movement.startMs);
        figure(json, "endMs", movement.endMs);
        figure(json, "amplitude", movement.amplitude);
        figure(json, "peakSpeed", movement.peakSpeed);
        json.close('}');
    }
    json.close(']');
    json.close('}');

    json.key("front");
    json.open('[');
    for (const Measurement& point : result.front) {
        figures(json, point);
    }
    json.close(']');
    json.key("recommendation");
    if (result.recommendation) {
        parameters(json, result.recommendation->parameters, &report.choices);
    } else {
        json.null();
    }
    json.key("recommendationFigures");
    if (result.recommendation) {
        figures(json, *result.recommendation);
    } else {
        json.null();
    }
    json.key("defaults");
    figures(json, result.defaults);
    json.close('}');
    return json.take();
}

} // namespace pelto::tuning
