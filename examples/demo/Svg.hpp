#pragma once

// The demo's SVG toolkit: numbers and text as SVG and XML want them (valid UTF-8, escaped), scales,
// ticks, paths that break at missing values, and a document builder. Shared by the plots.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <iomanip>
#include <limits>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pelto::demo {

inline constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();

// Room every plot leaves right of and below its drawing.
inline constexpr double RIGHT_MARGIN = 30.0;
inline constexpr double BOTTOM_MARGIN = 20.0;

/// The style sheet every plot starts with.
inline constexpr std::string_view STYLE = R"(<style>
  text { font-family: sans-serif; font-size: 12px; fill: #24292f; }
  .title { font-size: 18px; font-weight: bold; }
  .subtitle { font-size: 13px; fill: #57606a; }
  .label { font-size: 13px; font-weight: bold; }
  .tick { font-size: 11px; fill: #57606a; }
  .frame { fill: #fbfbfc; stroke: #afb8c1; stroke-width: 1; }
  .grid { stroke: #e6e8eb; stroke-width: 1; }
  .raw { fill: none; stroke: #8c959f; stroke-width: 1; }
  .smoothed { fill: none; stroke: #0969da; stroke-width: 1.8; stroke-linejoin: round; }
  .refused { fill: #cf222e; fill-opacity: 0.18; }
  .refusedKey { fill: #cf222e; fill-opacity: 0.35; }
  .movement { fill: #bf8700; fill-opacity: 0.15; }
</style>
)";

inline std::string number(double value, int decimals) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {
        return "0";
    }
    std::string text(buffer.data(), result.ptr);
    return text == "-0" ? "0" : text;
}

// Pixel coordinates: one decimal is plenty.
inline std::string pixel(double value) {
    return number(value, 1);
}

// The length of the well-formed UTF-8 sequence at the start of `text`, 0 when there is none.
// Refuses overlong forms, surrogates, code points beyond U+10FFFF and the two non-characters
// U+FFFE and U+FFFF, which XML does not allow either.
inline std::size_t utf8Length(std::string_view text) noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80; // bounds of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    if (text.substr(0, length) == "\xEF\xBF\xBE" || text.substr(0, length) == "\xEF\xBF\xBF") {
        return 0;
    }
    return length;
}

// Text as XML character data: valid UTF-8 (each byte that starts no well-formed sequence becomes
// U+FFFD), markup characters escaped, control bytes, which XML 1.0 does not allow, replaced.
// At most MAX_TEXT_BYTES of the text are shown, cut between two characters.
inline std::string escapeXml(std::string_view text) {
    constexpr std::size_t MAX_TEXT_BYTES = 300;
    constexpr std::string_view REPLACEMENT = "\xEF\xBF\xBD";
    std::string escaped;
    std::size_t shown = 0;
    for (std::size_t at = 0; at < text.size();) {
        if (shown >= MAX_TEXT_BYTES) {
            escaped += "\u2026";
            break;
        }
        const std::size_t length = utf8Length(text.substr(at));
        ++shown;
        if (length == 0) {
            escaped += REPLACEMENT;
            ++at;
            continue;
        }
        if (length > 1) {
            escaped += text.substr(at, length);
            shown += length - 1;
            at += length;
            continue;
        }
        const char c = text[at++];
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
        }
    }
    return escaped;
}

// A channel name as a label: at most 60 bytes, cut between two UTF-8 characters.
inline std::string shortName(std::string_view name) {
    constexpr std::size_t MAX_NAME_BYTES = 60;
    if (name.size() <= MAX_NAME_BYTES) {
        return std::string(name);
    }
    std::size_t cut = MAX_NAME_BYTES;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0U) == 0x80U) {
        --cut;
    }
    return std::string(name.substr(0, cut)) + "\u2026";
}

struct Range {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();

    void add(double value) {
        if (std::isfinite(value)) {
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }

    // A range with room to draw in, whatever the data was.
    [[nodiscard]] Range padded(double share) const {
        if (low > high) {
            return {0.0, 1.0};
        }
        const double span = high - low;
        const double pad = span > 0.0 ? span * share : std::max(1.0, std::abs(low) * 0.05);
        return {low - pad, high + pad};
    }
};

// Maps data values linearly to pixels.
struct Scale {
    double low = 0.0;
    double high = 1.0;
    double pixelLow = 0.0;
    double pixelHigh = 1.0;

    [[nodiscard]] double operator()(double value) const {
        return pixelLow + (value - low) / (high - low) * (pixelHigh - pixelLow);
    }
};

struct Ticks {
    double step = 1.0;
    int decimals = 0;
};

// A 1-2-5 step giving about `target` ticks over `span`; a NaN step when there is no such step.
inline Ticks niceTicks(double span, double target) {
    const double rough = span / target;
    if (!std::isfinite(rough) || !(rough > 0.0)) {
        return {std::numeric_limits<double>::quiet_NaN(), 0};
    }
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    const double fraction = rough / magnitude;
    const double nice = fraction < 1.5 ? 1.0 : fraction < 3.5 ? 2.0 : fraction < 7.5 ? 5.0 : 10.0;
    const double step = nice * magnitude;
    constexpr double MAX_DECIMALS = 12.0;
    return {step, static_cast<int>(std::clamp(-std::floor(std::log10(step)), 0.0, MAX_DECIMALS))};
}

class SvgBuilder {
  public:
    void add(std::string_view text) { out_ += text; }

    void text(double x, double y, std::string_view content, std::string_view cls,
              std::string_view anchor = "start") {
        out_ += "<text x=\"" + pixel(x) + "\" y=\"" + pixel(y) + "\" class=\"" + std::string(cls) +
                "\" text-anchor=\"" + std::string(anchor) + "\">" + escapeXml(content) +
                "</text>\n";
    }

    void rect(double x, double y, double width, double height, std::string_view cls) {
        out_ += "<rect x=\"" + pixel(x) + "\" y=\"" + pixel(y) + "\" width=\"" + pixel(width) +
                "\" height=\"" + pixel(height) + "\" class=\"" + std::string(cls) + "\"/>\n";
    }

    void line(double x1, double y1, double x2, double y2, std::string_view cls) {
        out_ += "<line x1=\"" + pixel(x1) + "\" y1=\"" + pixel(y1) + "\" x2=\"" + pixel(x2) +
                "\" y2=\"" + pixel(y2) + "\" class=\"" + std::string(cls) + "\"/>\n";
    }

    void path(const std::string& data, std::string_view cls) {
        if (!data.empty()) {
            out_ += "<path class=\"" + std::string(cls) + "\" d=\"" + data + "\"/>\n";
        }
    }

    [[nodiscard]] std::string finish() { return std::move(out_) + "</svg>\n"; }

  private:
    std::string out_;
};

// Path data through the points; a point with a non-finite coordinate breaks the line, and a
// point on the same pixel as the one before is left out.
class PathData {
  public:
    void point(double x, double y) {
        if (!std::isfinite(x) || !std::isfinite(y)) {
            broken_ = true;
            return;
        }
        std::string at = pixel(x) + " " + pixel(y);
        if (!broken_ && at == last_) {
            return;
        }
        data_ += broken_ ? (data_.empty() ? "M" : " M") : " L";
        data_ += at;
        last_ = std::move(at);
        broken_ = false;
    }

    [[nodiscard]] const std::string& data() const noexcept { return data_; }

  private:
    std::string data_;
    std::string last_;
    bool broken_ = true;
};

inline void drawValueTicks(SvgBuilder& svg, const Scale& scale, double left, double right,
                           bool vertical) {
    const double low = std::min(scale.low, scale.high);
    const double high = std::max(scale.low, scale.high);
    const Ticks ticks = niceTicks(high - low, 5.0);
    if (!std::isfinite(ticks.step) || !(ticks.step > 0.0)) {
        return;
    }
    const double first = std::ceil(low / ticks.step) * ticks.step;
    constexpr int MAX_TICKS = 20;
    for (int k = 0; k < MAX_TICKS; ++k) {
        const double value = first + k * ticks.step;
        if (value > high) {
            break;
        }
        const double at = scale(value);
        if (vertical) {
            svg.line(left, at, right, at, "grid");
            svg.text(left - 6.0, at + 4.0, number(value, ticks.decimals), "tick", "end");
        } else {
            svg.line(at, left, at, right, "grid");
            svg.text(at, right + 15.0, number(value, ticks.decimals), "tick", "middle");
        }
    }
}

} // namespace pelto::demo
