#pragma once

namespace pelto {

/// A rectangle: origin (`x`, `y`) and size (`width`, `height`). Plain value; zero by default.
struct Rect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;

    friend constexpr bool operator==(const Rect&, const Rect&) noexcept = default;
};

} // namespace pelto
