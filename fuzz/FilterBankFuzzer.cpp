// The filter bank's input surface: channel count, parameters, and streams of samples whose
// timestamps and values come partly from a table of special values.
//
// Invariants, checked after every sample:
// - an accepted sample leaves every stored value finite;
// - a refused sample (wrong length, timestamp not in [-2^63, 2^63)) leaves the bank unchanged;
// - any other false answer leaves the bank exactly as freshly built;
// - an N-channel bank answers and stores what N one-channel banks fed the same stream do;
// - a copy, however taken, continues exactly as the original;
// - the same samples smoothed through filterSamples, in blocks split where the input says (empty
//   ones included), give every row's answer and values bit for bit, and a block whose buffers do
//   not fit is refused whole, with nothing written.
//
// Each input runs with the instruction set its length picks, when the CPU supports it (else with
// the one in force): the one-channel banks run pairs whatever the choice, so every variant is
// checked against the pair code.

#include <pelto/filters/OneEuroFilterManager.hpp>

#include "FuzzSupport.hpp"
#include "filters/FilterBankKernels.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

using pelto::OneEuroFilterManager;
using pelto::fuzz::ByteReader;
using pelto::fuzz::sameBits;
using pelto::fuzz::SPECIAL_DOUBLES;

constexpr std::size_t MAX_STEPS = 256;

// Small counts, the ones that fall back to the default, and counts no bank can hold.
constexpr std::array<std::int64_t, 13> COUNTS{std::numeric_limits<std::int64_t>::min(),
                                              -1,
                                              0,
                                              1,
                                              2,
                                              3,
                                              4,
                                              5,
                                              7,
                                              8,
                                              std::int64_t{1} << 62,
                                              std::numeric_limits<std::int64_t>::max() / 2,
                                              std::numeric_limits<std::int64_t>::max()};

struct Parameters {
    std::int64_t count = OneEuroFilterManager::DEFAULT_COUNT;
    std::array<double, 4> values{}; // frequency, min cut-off, beta, derivative cut-off

    [[nodiscard]] OneEuroFilterManager build(std::int64_t channels) const {
        return {channels, values[0], values[1], values[2], values[3]};
    }
};

double special(ByteReader& in) {
    return SPECIAL_DOUBLES.at(in.below(SPECIAL_DOUBLES.size()));
}

// A value in [-512, 512) in steps of 1/64: what a real signal looks like.
double moderate(ByteReader& in) {
    const auto high = static_cast<std::uint16_t>(in.byte() << 8U);
    const auto bits = static_cast<std::uint16_t>(high | in.byte());
    return static_cast<double>(static_cast<std::int16_t>(bits)) / 64.0;
}

double finiteOr0(double value) {
    return std::isfinite(value) ? value : 0.0;
}

double parameter(ByteReader& in) {
    const unsigned kind = in.byte() % 4U;
    return kind == 0 ? special(in) : kind == 1 ? in.rawDouble() : moderate(in);
}

double timestamp(ByteReader& in, double previous) {
    switch (in.byte() % 10U) {
    case 0:
        return special(in);
    case 1:
        return previous;
    case 2:
        return previous + 1.0;
    case 3:
        return previous - 1.0;
    case 4:
        return in.rawDouble();
    case 5:
        return -1.0;
    default: // forward by 1 to 256 ms and a fraction: the common case
        return finiteOr0(previous) + static_cast<double>(in.byte() + 1) +
               static_cast<double>(in.byte()) / 256.0;
    }
}

double sampleValue(ByteReader& in, double previous) {
    const unsigned kind = in.byte() % 6U;
    return kind == 0   ? special(in)
           : kind == 1 ? in.rawDouble()
           : kind == 2 ? previous
                       : finiteOr0(previous) + moderate(in);
}

// Whether two banks hold the same values and answer the same to the same probe samples: what
// "the same state" means for a bank seen from outside.
bool behavesAs(const OneEuroFilterManager& a, const OneEuroFilterManager& b) {
    const std::vector<double> values = a.getFilteredValues();
    if (!sameBits(values, b.getFilteredValues())) {
        return false;
    }
    OneEuroFilterManager probeA = a;
    OneEuroFilterManager probeB = b;
    std::vector<double> probe(values.size());
    constexpr std::array<double, 4> PROBE_TIMES{5000.0, 5033.0, -1.0, 5066.5};
    for (std::size_t k = 0; k < PROBE_TIMES.size(); ++k) {
        for (std::size_t i = 0; i < probe.size(); ++i) {
            probe[i] = static_cast<double>(k * 7 + i) * 0.75 - 3.0;
        }
        if (probeA.filterValues(PROBE_TIMES[k], probe) !=
                probeB.filterValues(PROBE_TIMES[k], probe) ||
            !sameBits(probeA.getFilteredValues(), probeB.getFilteredValues())) {
            return false;
        }
    }
    return true;
}

// A copy of `bank` taken one of the ways a value type can be copied.
OneEuroFilterManager copyOf(const OneEuroFilterManager& bank, std::uint8_t how) {
    OneEuroFilterManager copy(3, 60.0, 2.0, 0.5, 3.0);
    OneEuroFilterManager temporary(bank);
    switch (how % 4U) {
    case 0:
        return temporary;
    case 1:
        copy = bank;
        break;
    case 2:
        copy = std::move(temporary);
        PELTO_FUZZ_CHECK(temporary.getFilteredValues().empty()); // NOLINT(*-use-after-move,*Move)
        break;
    default:
        swap(copy, temporary);
        break;
    }
    return copy;
}

// Refused outright: wrong length, or a timestamp outside [-2^63, 2^63) that cannot become int64.
bool refusedInput(double time, std::size_t length, std::size_t channels) {
    return length != channels || channels == 0 || !(time >= -0x1p63 && time < 0x1p63);
}

// Samples of the right length not yet smoothed in a block, with what the per-sample calls gave.
struct PendingRows {
    std::vector<double> timestamps;
    std::vector<double> values;
    std::vector<double> smoothed;
    std::vector<std::uint8_t> accepted;
    std::size_t acceptedRows = 0;
};

class Session {
  public:
    Session(const Parameters& parameters, OneEuroFilterManager bank, bool empty)
        : parameters_(parameters)
        , bank_(std::move(bank))
        , blocks_(bank_)
        , channels_(bank_.filteredValues().size())
        , singles_(empty ? 0 : channels_, parameters_.build(1))
        , previousValues_(channels_, 0.0) {}

    void run(ByteReader& in) {
        for (std::size_t step = 0; step < MAX_STEPS && !in.empty(); ++step) {
            switch (in.byte() % 16U) {
            case 0:
                twin_ = copyOf(bank_, in.byte());
                break;
            case 1:
                moveThrough();
                break;
            case 2: {
                const unsigned wrong = in.byte() % 3U;
                sample(in, wrong == 0   ? 0
                           : wrong == 1 ? channels_ + 1
                                        : (channels_ > 0 ? channels_ - 1 : 2));
                break;
            }
            case 3:
                smoothPendingBlock(in);
                break;
            default:
                sample(in, channels_);
                break;
            }
        }
        smoothPendingBlock(in);
    }

  private:
    // A bank moved out of is empty and refuses everything; one moved into continues as the
    // original.
    void moveThrough() {
        OneEuroFilterManager moved(std::move(bank_));
        // NOLINTBEGIN(*-use-after-move,*Move): the moved-from state is what is checked
        PELTO_FUZZ_CHECK(bank_.getFilteredValues().empty());
        const std::array<double, 1> one{1.0};
        PELTO_FUZZ_CHECK(!bank_.filterValues(0.0, {}) && !bank_.filterValues(0.0, one));
        bank_ = std::move(moved);
        // NOLINTEND(*-use-after-move,*Move)
    }

    void sample(ByteReader& in, std::size_t length) {
        const double time = previousTime_ = timestamp(in, previousTime_);
        std::vector<double> values(length);
        for (std::size_t i = 0; i < length; ++i) {
            values[i] = sampleValue(in, i < channels_ ? previousValues_[i] : 0.0);
        }
        if (length == channels_) {
            previousValues_ = values;
        }

        const OneEuroFilterManager before = bank_;
        const bool accepted = bank_.filterValues(time, values);
        const std::vector<double> after = bank_.getFilteredValues();
        PELTO_FUZZ_CHECK(after.size() == channels_ && sameBits(bank_.filteredValues(), after));
        if (length == channels_) {
            pending_.timestamps.push_back(time);
            pending_.values.insert(pending_.values.end(), values.begin(), values.end());
            pending_.smoothed.insert(pending_.smoothed.end(), after.begin(), after.end());
            pending_.accepted.push_back(accepted ? 1 : 0);
            pending_.acceptedRows += accepted ? 1 : 0;
        }
        if (twin_) {
            PELTO_FUZZ_CHECK(twin_->filterValues(time, values) == accepted);
            PELTO_FUZZ_CHECK(sameBits(twin_->getFilteredValues(), after));
        }
        if (refusedInput(time, length, channels_)) {
            PELTO_FUZZ_CHECK(!accepted && behavesAs(bank_, before));
            return;
        }

        bool allSinglesAccepted = true;
        for (std::size_t i = 0; i < singles_.size(); ++i) {
            allSinglesAccepted &= singles_[i].filterValues(time, std::span(values).subspan(i, 1));
        }
        PELTO_FUZZ_CHECK(accepted == allSinglesAccepted);
        if (accepted) {
            for (std::size_t i = 0; i < channels_; ++i) {
                PELTO_FUZZ_CHECK(std::isfinite(after[i]));
                PELTO_FUZZ_CHECK(sameBits(after[i], singles_[i].getFilteredValues().at(0)));
            }
            return;
        }
        // Some channel's result was not finite: the whole bank starts over.
        PELTO_FUZZ_CHECK(behavesAs(bank_, parameters_.build(parameters_.count)));
        std::ranges::fill(singles_, parameters_.build(1));
    }

    // The pending rows through blocks_ in one call, optionally after a call whose buffers do not
    // fit: it must throw and write nothing.
    void smoothPendingBlock(ByteReader& in) {
        const std::size_t rows = pending_.timestamps.size();
        const bool withFlags = in.byte() % 2U == 0;
        std::vector<double> smoothed(rows * channels_, -1.0);
        std::vector<std::uint8_t> flags(withFlags ? rows : 0, 9);
        if (in.byte() % 4U == 0) {
            std::vector<double> wrong(smoothed.size() + 1 + in.below(2), -1.0);
            bool threw = false;
            try {
                blocks_.filterSamples(pending_.timestamps, pending_.values, wrong, flags);
            } catch (const std::invalid_argument&) {
                threw = true;
            }
            PELTO_FUZZ_CHECK(threw);
            PELTO_FUZZ_CHECK(std::ranges::all_of(wrong, [](double v) { return v == -1.0; }));
            PELTO_FUZZ_CHECK(std::ranges::all_of(flags, [](std::uint8_t f) { return f == 9; }));
        }
        PELTO_FUZZ_CHECK(blocks_.filterSamples(pending_.timestamps, pending_.values, smoothed,
                                               flags) == pending_.acceptedRows);
        PELTO_FUZZ_CHECK(sameBits(smoothed, pending_.smoothed));
        PELTO_FUZZ_CHECK(!withFlags || flags == pending_.accepted);
        PELTO_FUZZ_CHECK(sameBits(blocks_.filteredValues(), bank_.filteredValues()));
        pending_ = {};
    }

    Parameters parameters_;
    OneEuroFilterManager bank_;
    OneEuroFilterManager blocks_; // fed the same samples in blocks
    PendingRows pending_;
    std::size_t channels_;
    std::vector<OneEuroFilterManager> singles_;
    std::optional<OneEuroFilterManager> twin_;
    double previousTime_ = 0.0;
    std::vector<double> previousValues_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pelto::detail::useInstructionSet(
        pelto::detail::INSTRUCTION_SETS.at(size % pelto::detail::INSTRUCTION_SETS.size()));
    ByteReader in({data, size});
    const bool empty = in.byte() % 16U == 0;
    Parameters parameters;
    parameters.count = COUNTS[in.below(COUNTS.size())];
    for (double& value : parameters.values) {
        value = parameter(in);
    }

    std::optional<OneEuroFilterManager> bank;
    if (empty) {
        bank.emplace();
    } else {
        // Counts a bank cannot hold must fail the C++ way, before anything is allocated.
        try {
            bank.emplace(parameters.build(parameters.count));
        } catch (const std::length_error&) {
        } catch (const std::bad_alloc&) {
        }
        PELTO_FUZZ_CHECK(bank.has_value() == (parameters.count <= 1024));
        if (!bank) {
            return 0;
        }
    }
    const std::size_t expected = empty                  ? 0
                                 : parameters.count > 0 ? static_cast<std::size_t>(parameters.count)
                                                        : OneEuroFilterManager::DEFAULT_COUNT;
    PELTO_FUZZ_CHECK(bank->getFilteredValues().size() == expected);
    for (const double value : bank->getFilteredValues()) {
        PELTO_FUZZ_CHECK(sameBits(value, 0.0));
    }
    Session(parameters, std::move(*bank), empty).run(in);
    return 0;
}
