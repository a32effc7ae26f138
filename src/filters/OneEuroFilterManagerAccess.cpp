#include "filters/OneEuroFilterManagerAccess.hpp"

#include "filters/OneEuroFilter.hpp"

#include <bit>
#include <cstddef>

namespace pelto::detail {
namespace {

// Per filter pair: its four parameters, its last timestamp, then for the derivative filter and
// the signal filter each: y, a and s of both lanes and the initialised flag.
constexpr std::size_t WORDS_PER_LOW_PASS = 7;
constexpr std::size_t WORDS_PER_PAIR = 5 + 2 * WORDS_PER_LOW_PASS;

using PairLowPass = BasicLowPassFilter<DoublePair>;

std::uint64_t bits(double value) noexcept {
    return std::bit_cast<std::uint64_t>(value);
}

double number(std::uint64_t word) noexcept {
    return std::bit_cast<double>(word);
}

void saveLowPass(const PairLowPass& filter, std::vector<std::uint64_t>& out) {
    for (const DoublePair lanes : {filter.y(), filter.a(), filter.s()}) {
        out.push_back(bits(lanes[0]));
        out.push_back(bits(lanes[1]));
    }
    out.push_back(filter.initialized() ? 1U : 0U);
}

void restoreLowPass(PairLowPass& filter, std::span<const std::uint64_t> words) noexcept {
    filter.setY(DoublePair{number(words[0]), number(words[1])});
    filter.setA(DoublePair{number(words[2]), number(words[3])});
    filter.setS(DoublePair{number(words[4]), number(words[5])});
    filter.setInitialized(words[6] != 0);
}

} // namespace

OneEuroFilterManagerAccess::Parameters
OneEuroFilterManagerAccess::parameters(const OneEuroFilterManager& bank) noexcept {
    return {static_cast<std::int64_t>(bank.filteredValues_.size()), bank.freq_, bank.minCutOff_,
            bank.beta_, bank.dCutOff_};
}

std::vector<std::uint64_t> OneEuroFilterManagerAccess::state(const OneEuroFilterManager& bank) {
    std::vector<std::uint64_t> out;
    out.reserve(bank.filters_.size() * WORDS_PER_PAIR + bank.filteredValues_.size());
    for (const OneEuroFilterPair& filter : bank.filters_) {
        for (const double parameter :
             {filter.freq(), filter.mincutoff(), filter.beta(), filter.dcutoff()}) {
            out.push_back(bits(parameter));
        }
        out.push_back(static_cast<std::uint64_t>(filter.lasttime()));
        saveLowPass(filter.derivativeFilter(), out);
        saveLowPass(filter.signalFilter(), out);
    }
    for (const double value : bank.filteredValues_) {
        out.push_back(bits(value));
    }
    return out;
}

bool OneEuroFilterManagerAccess::restore(OneEuroFilterManager& bank,
                                         std::span<const std::uint64_t> words) noexcept {
    const std::size_t pairs = bank.filters_.size();
    if (words.size() != pairs * WORDS_PER_PAIR + bank.filteredValues_.size()) {
        return false;
    }
    for (std::size_t p = 0; p < pairs; ++p) {
        const auto pair = words.subspan(p * WORDS_PER_PAIR, WORDS_PER_PAIR);
        if (pair[5 + WORDS_PER_LOW_PASS - 1] > 1 || pair[WORDS_PER_PAIR - 1] > 1) {
            return false;
        }
    }
    for (std::size_t p = 0; p < pairs; ++p) {
        const auto pair = words.subspan(p * WORDS_PER_PAIR, WORDS_PER_PAIR);
        OneEuroFilterPair& filter = bank.filters_[p];
        filter.setFreq(number(pair[0]));
        filter.setMincutoff(number(pair[1]));
        filter.setBeta(number(pair[2]));
        filter.setDcutoff(number(pair[3]));
        filter.setLasttime(static_cast<std::int64_t>(pair[4]));
        restoreLowPass(filter.derivativeFilter(), pair.subspan(5, WORDS_PER_LOW_PASS));
        restoreLowPass(filter.signalFilter(),
                       pair.subspan(5 + WORDS_PER_LOW_PASS, WORDS_PER_LOW_PASS));
    }
    const auto values = words.subspan(pairs * WORDS_PER_PAIR);
    for (std::size_t i = 0; i < values.size(); ++i) {
        bank.filteredValues_[i] = number(values[i]);
    }
    // The shared clock is the lead filter's. The interval memo depends only on the derivative
    // cutoff, which a bank with the same parameters shares, so its entries stay right.
    bank.restartClock();
    return true;
}

} // namespace pelto::detail
