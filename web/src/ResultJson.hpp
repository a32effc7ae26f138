#pragma once

// The JSON form of the tuning component's results, shared by the WebAssembly module and the native
// helper that writes the JavaScript tests' reference outputs. Numbers are written with 17
// significant digits, which read back to the same double; a figure without data (NaN) is null.

#include <pelto/tuning/Tuning.hpp>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace pelto::web {

class JsonWriter {
  public:
    void number(double value) {
        separate();
        if (!std::isfinite(value)) {
            text_ += "null"; // JSON has no NaN or infinity; the readers map null back to NaN
            return;
        }
        // 17 significant digits read back to the same double (Emscripten's C++ library has no
        // floating-point to_chars).
        std::array<char, 32> buffer{};
        const int length = std::snprintf(buffer.data(), buffer.size(), "%.17g", value);
        text_.append(buffer.data(), static_cast<std::size_t>(length));
    }
    void count(std::size_t value) {
        separate();
        text_ += std::to_string(value);
    }
    void string(std::string_view value) {
        separate();
        text_ += '"';
        for (const char c : value) {
            if (c == '"' || c == '\\') {
                text_ += '\\';
            }
            text_ += c;
        }
        text_ += '"';
    }
    void key(std::string_view name) {
        string(name);
        text_ += ':';
        fresh_ = true;
    }
    void open(char bracket) {
        separate();
        text_ += bracket;
        fresh_ = true;
    }
    void close(char bracket) {
        text_ += bracket;
        fresh_ = false;
    }
    void numbers(std::span<const double> values) {
        open('[');
        for (const double value : values) {
            number(value);
        }
        close(']');
    }
    [[nodiscard]] const std::string& text() const { return text_; }

  private:
    void separate() {
        if (!fresh_) {
            text_ += ',';
        }
        fresh_ = false;
    }
    std::string text_;
    bool fresh_ = true;
};

inline void write(JsonWriter& out, const tuning::Measurement& m) {
    out.open('{');
    out.key("freq");
    out.number(m.parameters.freq);
    out.key("minCutOff");
    out.number(m.parameters.minCutOff);
    out.key("beta");
    out.number(m.parameters.beta);
    out.key("dCutOff");
    out.number(m.parameters.dCutOff);
    out.key("samples");
    out.count(m.samples);
    out.key("refused");
    out.count(m.refused);
    out.key("stillSteps");
    out.count(m.stillSteps);
    out.key("movements");
    out.count(m.movements);
    out.key("lagsMeasured");
    out.count(m.lagsMeasured);
    out.key("lagsCensored");
    out.count(m.lagsCensored);
    out.key("rawJitter");
    out.number(m.rawJitter);
    out.key("smoothedJitter");
    out.number(m.smoothedJitter);
    out.key("jitterRatio");
    out.number(m.jitterRatio);
    out.key("meanLagMs");
    out.number(m.meanLagMs);
    out.key("medianLagMs");
    out.number(m.medianLagMs);
    out.key("maxLagMs");
    out.number(m.maxLagMs);
    out.close('}');
}

inline void write(JsonWriter& out, const tuning::SignalProfile& p) {
    out.open('{');
    out.key("samples");
    out.count(p.samples);
    out.key("steps");
    out.count(p.steps);
    out.key("samplePeriodMs");
    out.number(p.samplePeriodMs);
    out.key("medianSpeed");
    out.number(p.medianSpeed);
    out.key("fastSpeed");
    out.number(p.fastSpeed);
    out.key("stillSpeed");
    out.number(p.stillSpeed);
    out.key("movementSpeed");
    out.number(p.movementSpeed);
    out.key("stillSteps");
    out.count(p.stillSteps);
    out.key("movements");
    out.count(p.movements);
    out.close('}');
}

/// The whole result of tune(): every field, the grid included. New fields of TuningResult (or of
/// the profile or a measurement) are added here, and nowhere else on the native side.
inline void write(JsonWriter& out, const tuning::TuningResult& r) {
    out.open('{');
    out.key("status");
    out.count(static_cast<std::size_t>(r.status));
    out.key("message");
    out.string(tuning::statusText(r.status));
    out.key("profile");
    write(out, r.profile);
    out.key("lagBudgetMs");
    out.number(r.maxLagMs);
    out.key("minCutOffs");
    out.numbers(r.minCutOffs);
    out.key("betas");
    out.numbers(r.betas);
    for (const auto& [name, list] : {std::pair{"grid", &r.grid}, std::pair{"front", &r.front}}) {
        out.key(name);
        out.open('[');
        for (const tuning::Measurement& m : *list) {
            write(out, m);
        }
        out.close(']');
    }
    out.key("recommendation");
    if (r.recommendation) {
        write(out, *r.recommendation);
    } else {
        out.open('{'); // an empty object: the readers turn it into null
        out.close('}');
    }
    out.key("defaults");
    write(out, r.defaults);
    out.close('}');
}

template <class Result> std::string toJson(const Result& result) {
    JsonWriter out;
    write(out, result);
    return out.text();
}

} // namespace pelto::web
