#include "filters/OneEuroFilterManagerAccess.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <iterator>

namespace pelto::detail {
namespace {

// The state shared by every channel: the last timestamp, the started flag, the derivative
// alpha in force and the clock (frequency, period, derivative alpha). The channels' arrays
// follow. The clock slots are not saved: they only cache what the derivative cutoff gives.
constexpr std::size_t SHARED_WORDS = 6;

std::uint64_t bits(double value) noexcept {
    return std::bit_cast<std::uint64_t>(value);
}

double number(std::uint64_t word) noexcept {
    return std::bit_cast<double>(word);
}

} // namespace

OneEuroFilterManagerAccess::Parameters
OneEuroFilterManagerAccess::parameters(const OneEuroFilterManager& bank) noexcept {
    return {static_cast<std::int64_t>(bank.channels_),
            bank.freq_,
            bank.minCutOff_,
            bank.beta_,
            bank.dCutOff_,
            bank.timestampPrecision(),
            bank.derivativeSource()};
}

std::vector<std::uint64_t> OneEuroFilterManagerAccess::state(const OneEuroFilterManager& bank) {
    std::vector<std::uint64_t> out{static_cast<std::uint64_t>(bank.lastTime_),
                                   bank.started_ ? 1U : 0U,
                                   bits(bank.derivativeAlpha_),
                                   bits(bank.clock_.freq),
                                   bits(bank.clock_.period),
                                   bits(bank.clock_.derivativeAlpha)};
    out.reserve(SHARED_WORDS + bank.lanes_.size());
    std::ranges::transform(bank.lanes_, std::back_inserter(out), bits);
    return out;
}

bool OneEuroFilterManagerAccess::restore(OneEuroFilterManager& bank,
                                         std::span<const std::uint64_t> words) noexcept {
    if (words.size() != SHARED_WORDS + bank.lanes_.size() || words[1] > 1) {
        return false;
    }
    bank.lastTime_ = static_cast<std::int64_t>(words[0]);
    bank.started_ = words[1] != 0;
    bank.derivativeAlpha_ = number(words[2]);
    bank.clock_ = {number(words[3]), number(words[4]), number(words[5])};
    std::ranges::transform(words.subspan(SHARED_WORDS), bank.lanes_.begin(), number);
    return true;
}

} // namespace pelto::detail
