#pragma once

#include <cstdint>

namespace pelto::detail {

// A tracker's fixed engine settings; each tracker owns one. Nothing reads them in this build.
class InternalSetting {
  public:
    [[nodiscard]] constexpr bool debug() const noexcept { return debug_; }
    [[nodiscard]] constexpr bool internalMode() const noexcept { return internalMode_; }
    [[nodiscard]] constexpr std::int64_t size() const noexcept { return size_; }
    [[nodiscard]] constexpr bool useBlink() const noexcept { return useBlink_; }
    [[nodiscard]] constexpr bool ncUse() const noexcept { return ncUse_; }
    [[nodiscard]] constexpr bool tam128() const noexcept { return tam128_; }
    constexpr void setTam128(bool tam128) noexcept { tam128_ = tam128; }
    [[nodiscard]] constexpr std::int64_t imgWidth() const noexcept { return imgWidth_; }
    [[nodiscard]] constexpr std::int64_t imgHeight() const noexcept { return imgHeight_; }

  private:
    bool debug_ = false;
    bool internalMode_ = false;
    std::int64_t size_ = 64;
    bool useBlink_ = true;
    bool ncUse_ = true;
    bool tam128_ = true;
    std::int64_t imgWidth_ = 480;
    std::int64_t imgHeight_ = 640;
};

} // namespace pelto::detail
