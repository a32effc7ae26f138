#include <pelto/filters/OneEuroFilterManager.hpp>
#include <pelto/pelto.h>

#include "filters/FilterBankKernels.hpp"
#include "support/AllocationCounter.hpp"
#include "support/Golden.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <ostream>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace pelto::detail {
// GoogleTest finds it by argument-dependent lookup.
void PrintTo(InstructionSet set, std::ostream* os) {
    *os << nameOf(set);
}
} // namespace pelto::detail

namespace {

using pelto::DerivativeSource;
using pelto::OneEuroFilterManager;
using pelto::TimestampPrecision;
using pelto::detail::InstructionSet;
using Values = std::vector<double>;
using Flags = std::vector<std::uint8_t>;

constexpr double inf = std::numeric_limits<double>::infinity();

// Exact comparison that also tells -0.0 from 0.0.
std::vector<std::uint64_t> bitsOf(std::span<const double> values) {
    std::vector<std::uint64_t> bits(values.size());
    std::ranges::transform(values, bits.begin(),
                           [](double v) { return std::bit_cast<std::uint64_t>(v); });
    return bits;
}

OneEuroFilterManager makeDefaultBank() {
    return {OneEuroFilterManager::DEFAULT_COUNT, OneEuroFilterManager::DEFAULT_FREQUENCY,
            OneEuroFilterManager::DEFAULT_MIN_CUT_OFF, OneEuroFilterManager::DEFAULT_BETA,
            OneEuroFilterManager::DEFAULT_D_CUT_OFF};
}

TEST(OneEuroFilterManager, SmoothsResetsAndRecovers) {
    OneEuroFilterManager bank = makeDefaultBank();
    EXPECT_EQ(bank.getFilteredValues(), (Values{0.0, 0.0}));
    for (const pelto_golden_step& step : PELTO_GOLDEN_BANK) {
        const auto sample = std::span(step.sample).first(step.count);
        EXPECT_EQ(bank.filterValues(step.timestamp, sample), step.accepted) << step.timestamp;
        EXPECT_EQ(bank.getFilteredValues(), (Values{step.after[0], step.after[1]}))
            << step.timestamp;
    }
}

TEST(OneEuroFilterManager, EmptyBankRefusesEverything) {
    OneEuroFilterManager bank;
    EXPECT_FALSE(bank.filterValues(0.0, Values{1.0, 2.0}));
    EXPECT_FALSE(bank.filterValues(0.0, Values{}));
    EXPECT_TRUE(bank.getFilteredValues().empty());
    EXPECT_TRUE(bank.filteredValues().empty());
    const Values timestamps{0.0, 16.0, -1.0};
    Flags accepted{7, 7, 7};
    EXPECT_EQ(bank.filterSamples(timestamps, {}, {}, accepted), 0U);
    EXPECT_EQ(accepted, (Flags{0, 0, 0}));
}

// Counts no bank can hold throw, also those whose storage size would wrap around.
TEST(OneEuroFilterManager, UnallocatableCountThrows) {
    for (const std::int64_t count :
         {std::numeric_limits<std::int64_t>::max(), std::int64_t{1} << 62, std::int64_t{1} << 58}) {
        EXPECT_THROW(OneEuroFilterManager(count, 30.0, 1.0, 0.0, 1.0), std::length_error) << count;
    }
}

// Copies, moves and swaps continue exactly as the original, also into banks with other parameters
// that have seen the same intervals: nothing of the target's may stay behind.
TEST(OneEuroFilterManager, CopiesMovesAndSwapsContinueExactly) {
    OneEuroFilterManager bank = makeDefaultBank();
    bank.filterValues(0.0, Values{10.0, 5.0});
    bank.filterValues(33.0, Values{20.0, 5.0});
    // Built in place: a move on the way would hand over a fresh bank's state.
    OneEuroFilterManager assigned(2, 60.0, 2.0, 0.5, 3.0);
    OneEuroFilterManager moveAssigned(2, 60.0, 2.0, 0.5, 3.0);
    OneEuroFilterManager swapped(2, 60.0, 2.0, 0.5, 3.0);
    for (const double t : {0.0, 17.0, 33.0, 47.0}) {
        for (OneEuroFilterManager* target : {&assigned, &moveAssigned, &swapped}) {
            target->filterValues(t, Values{t, -t});
        }
    }
    OneEuroFilterManager copy = bank;
    assigned = bank;
    moveAssigned = OneEuroFilterManager(bank);
    OneEuroFilterManager swappedOut = bank;
    swap(swapped, swappedOut);
    const std::array twins{&copy, &assigned, &moveAssigned, &swapped};
    for (const double t : {50.0, 66.0, 80.25}) {
        const Values val{t / 3.0, -t};
        EXPECT_TRUE(bank.filterValues(t, val));
        for (OneEuroFilterManager* twin : twins) {
            EXPECT_TRUE(twin->filterValues(t, val));
            EXPECT_EQ(twin->getFilteredValues(), bank.getFilteredValues()) << t;
        }
    }
    const Values last = bank.getFilteredValues();
    OneEuroFilterManager moved = std::move(bank);
    EXPECT_EQ(moved.getFilteredValues(), last);
    EXPECT_TRUE(bank.getFilteredValues().empty()); // NOLINT(bugprone-use-after-move)
    EXPECT_FALSE(bank.filterValues(90.0, Values{1.0, 2.0}));
}

TEST(OneEuroFilterManager, RestoredStateContinuesExactly) {
    // Three channels: the padding lane of an odd count is rebuilt, not saved.
    OneEuroFilterManager bank(3, 60.0, 0.5, -0.02, 2.0, TimestampPrecision::EXACT,
                              DerivativeSource::FILTERED);
    bank.filterValues(0.0, Values{10.0, 5.0, -1.0});
    bank.filterValues(16.7, Values{20.0, 5.5, -0.0});
    OneEuroFilterManager restored(static_cast<std::int64_t>(bank.channelCount()), bank.frequency(),
                                  bank.minCutOff(), bank.beta(), bank.dCutOff(),
                                  bank.timestampPrecision(), bank.derivativeSource());
    std::vector<std::byte> state = bank.saveState();
    ASSERT_TRUE(restored.restoreState(state));
    EXPECT_EQ(restored.saveState(), state);
    for (const double t : {33.4, 33.4, 50.0, 66.0}) { // a refusal on the way
        const Values val{t / 3.0, -t, t};
        EXPECT_EQ(restored.filterValues(t, val), bank.filterValues(t, val));
        EXPECT_EQ(bitsOf(restored.filteredValues()), bitsOf(bank.filteredValues()));
    }
    // Only into a bank of the same count, parameters and choices, and only a whole state.
    const std::vector<std::byte> before = restored.saveState();
    state = bank.saveState();
    const auto refused = [&](OneEuroFilterManager&& other, std::span<const std::byte> bytes) {
        return !other.restoreState(bytes);
    };
    EXPECT_TRUE(refused(OneEuroFilterManager(4, 60.0, 0.5, -0.02, 2.0), state));
    EXPECT_TRUE(
        refused(OneEuroFilterManager(3, 60.0, 0.5, -0.02, 2.0, TimestampPrecision::EXACT), state));
    EXPECT_TRUE(refused(OneEuroFilterManager(3, 60.0, 0.5, -0.02, 1.5, TimestampPrecision::EXACT,
                                             DerivativeSource::FILTERED),
                        state));
    EXPECT_TRUE(refused(OneEuroFilterManager(), state));
    EXPECT_FALSE(restored.restoreState(std::span(state).first(state.size() - 1)));
    std::vector<std::byte> corrupt = state;
    corrupt[8 + 9 * 8] = std::byte{2}; // the started flag
    EXPECT_FALSE(restored.restoreState(corrupt));
    corrupt = state;
    corrupt[0] = std::byte{'X'};
    EXPECT_FALSE(restored.restoreState(corrupt));
    EXPECT_EQ(restored.saveState(), before);
    EXPECT_TRUE(OneEuroFilterManager().saveState().empty());
}

TEST(OneEuroFilterManager, SmoothingAllocatesNothing) {
    OneEuroFilterManager bank(8, 60.0, 1.0, 0.007, 1.0);
    const Values sample(8, 1.0);
    const Values poisoned{1.0, 2.0, 3.0, std::nan(""), 5.0, 6.0, 7.0, 8.0};
    // Three rows in a block, the second one poisoned: a reset inside the block.
    const Values timestamps{66.0, 83.0, 100.0};
    Values rows(std::size_t{8} * 3, 2.0);
    rows[8 + 5] = inf;
    Values smoothed(rows.size());
    Flags accepted(3);
    const std::size_t before = pelto::testing::allocationCount();
    bool results = bank.filterValues(0.0, sample);
    results = bank.filterValues(16.0, sample) && results;
    results = !bank.filterValues(33.0, poisoned) && results; // reset in place
    results = bank.filterValues(50.0, sample) && results;
    results = bank.filteredValues().size() == 8 && results;
    results = bank.filterSamples(timestamps, rows, smoothed, accepted) == 2 && results;
    results = bank.filterSamples(timestamps, rows, smoothed, {}) == 2 && results;
    results = bank.filterSamples({}, {}, {}, {}) == 0 && results;
    const std::size_t after = pelto::testing::allocationCount();
    EXPECT_TRUE(results);
    EXPECT_EQ(accepted, (Flags{1, 0, 1}));
    EXPECT_EQ(after, before);
}

// A block whose buffers do not fit its rows is refused whole: nothing is smoothed
// and no buffer is written.
struct BadBlock {
    const char* name;
    std::size_t rows;
    std::size_t values;
    std::size_t smoothed;
    std::size_t flags;
    const char* got;
};

void PrintTo(const BadBlock& c, std::ostream* os) {
    *os << c.name;
}

class MismatchedBlock : public testing::TestWithParam<BadBlock> {};

TEST_P(MismatchedBlock, ThrowsNamingTheSizesAndWritesNothing) {
    const BadBlock& c = GetParam();
    OneEuroFilterManager bank(3, 30.0, 1.0, 0.007, 1.0);
    ASSERT_TRUE(bank.filterValues(0.0, Values{1.0, 2.0, 3.0}));
    const OneEuroFilterManager untouched = bank;
    Values timestamps(c.rows);
    for (std::size_t i = 0; i < c.rows; ++i) {
        timestamps[i] = 16.0 * static_cast<double>(i + 1);
    }
    const Values values(c.values, 4.0);
    Values smoothed(c.smoothed, -7.0);
    Flags accepted(c.flags, 9);
    try {
        bank.filterSamples(timestamps, values, smoothed, accepted);
        ADD_FAILURE() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find(c.got), std::string::npos) << e.what();
    }
    EXPECT_EQ(smoothed, Values(c.smoothed, -7.0));
    EXPECT_EQ(accepted, Flags(c.flags, 9));
    EXPECT_EQ(bank.getFilteredValues(), untouched.getFilteredValues());
    OneEuroFilterManager expected = untouched;
    EXPECT_TRUE(bank.filterValues(20.0, Values{5.0, 6.0, 7.0}));
    EXPECT_TRUE(expected.filterValues(20.0, Values{5.0, 6.0, 7.0}));
    EXPECT_EQ(bank.getFilteredValues(), expected.getFilteredValues());
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, MismatchedBlock,
    testing::Values(
        BadBlock{"ValuesShort", 2, 5, 6, 0, "got 5 values, 6 smoothed values and 0 flags"},
        BadBlock{"ValuesLong", 2, 7, 6, 2, "got 7 values"},
        BadBlock{"SmoothedShort", 2, 6, 3, 2, "6 values, 3 smoothed values"},
        BadBlock{"FlagsShort", 2, 6, 6, 1,
                 "0 or 2 flags; got 6 values, 6 smoothed values and 1 flags"},
        BadBlock{"FlagsLong", 1, 3, 3, 2, "and 2 flags"},
        BadBlock{"NoRowsButValues", 0, 3, 0, 0, "0 timestamps and 3 channels need 0 values"},
        BadBlock{"NoRowsButFlags", 0, 0, 0, 1, "and 1 flags"}),
    [](const testing::TestParamInfo<BadBlock>& p) { return std::string(p.param.name); });

// Puts a variant of the per-channel work in force for a scope, then the one before.
class InstructionSetInForce {
  public:
    explicit InstructionSetInForce(InstructionSet set)
        : before_(pelto::detail::rowKernels().instructionSet)
        , ok_(pelto::detail::useInstructionSet(set)) {}
    InstructionSetInForce(const InstructionSetInForce&) = delete;
    InstructionSetInForce& operator=(const InstructionSetInForce&) = delete;
    ~InstructionSetInForce() { pelto::detail::useInstructionSet(before_); }
    [[nodiscard]] bool ok() const { return ok_; }

  private:
    InstructionSet before_;
    bool ok_;
};

// The widest variant the CPU runs, no wider than PELTO_ISA asks, is the one in force (CTest also
// runs this test with PELTO_ISA set), and both interfaces name it.
TEST(OneEuroFilterManager, NamesTheInstructionSetInForce) {
    InstructionSet widest = InstructionSet::Baseline;
    for (const InstructionSet set : pelto::detail::INSTRUCTION_SETS) {
        widest = pelto::detail::canRun(set) ? set : widest;
    }
    if (const char* cap = std::getenv("PELTO_ISA")) { // NOLINT(concurrency-mt-unsafe)
        const auto named = pelto::detail::instructionSetNamed(cap);
        ASSERT_TRUE(named) << cap;
        widest = std::min(widest, *named);
    }
    EXPECT_EQ(OneEuroFilterManager::instructionSet(), pelto::detail::nameOf(widest));
    EXPECT_EQ(std::string_view(pelto_filter_instruction_set()), pelto::detail::nameOf(widest));
    for (const InstructionSet set : pelto::detail::INSTRUCTION_SETS) {
        const InstructionSetInForce chosen(set);
        EXPECT_EQ(chosen.ok(), pelto::detail::canRun(set));
        EXPECT_EQ(pelto::detail::instructionSetNamed(pelto::detail::nameOf(set)), set);
        EXPECT_EQ(std::string_view(pelto_filter_instruction_set()),
                  pelto::detail::nameOf(chosen.ok() ? set : widest));
    }
    EXPECT_EQ(pelto::detail::instructionSetNamed("sse2"), std::nullopt);
    EXPECT_EQ(OneEuroFilterManager::instructionSet(), pelto::detail::nameOf(widest));
}

// One channel written from the one-euro formulas, independent of the library's
// filters: timestamps are doubles, read as the bank's precision reads them.
class FormulaFilter {
  public:
    FormulaFilter(double freq, double minCutOff, double beta, double dCutOff, bool fromFiltered)
        : freq_(freq)
        , minCutOff_(minCutOff)
        , beta_(beta)
        , dCutOff_(dCutOff)
        , fromFiltered_(fromFiltered)
        , xAlpha_(accepted(alpha(minCutOff), 0.0))
        , dxAlpha_(accepted(alpha(dCutOff), 0.0)) {}

    // `interval` is the milliseconds since the previous timed sample, NaN when there is none.
    double filter(double value, double interval) {
        if (!std::isnan(interval)) {
            freq_ = 1000.0 / interval;
        }
        double dv = 0.0;
        if (started_) {
            dv = freq_ * (value - (fromFiltered_ ? xSmoothed_ : xRaw_));
        }
        dxAlpha_ = accepted(alpha(dCutOff_), dxAlpha_);
        const double edv = started_ ? dxAlpha_ * dv + (1.0 - dxAlpha_) * dxSmoothed_ : dv;
        const double cutoff = std::abs(edv) * beta_ + minCutOff_;
        xAlpha_ = accepted(alpha(cutoff), xAlpha_);
        const double result = started_ ? xAlpha_ * value + (1.0 - xAlpha_) * xSmoothed_ : value;
        dxSmoothed_ = edv;
        xRaw_ = value;
        xSmoothed_ = result;
        started_ = true;
        return result;
    }

  private:
    [[nodiscard]] double alpha(double cutoff) const {
        const double te = 1.0 / freq_;
        const double tau = 1.0 / (cutoff * 6.283185307179586);
        return 1.0 / (tau / te + 1.0);
    }
    static double accepted(double alpha, double current) {
        return alpha <= 0.0 || alpha > 1.0 ? current : alpha;
    }

    double freq_;
    double minCutOff_;
    double beta_;
    double dCutOff_;
    bool fromFiltered_;
    double xAlpha_;
    double dxAlpha_;
    double xRaw_ = 0.0;
    double xSmoothed_ = 0.0;
    double dxSmoothed_ = 0.0;
    bool started_ = false;
};

// The bank against the plainest reading of its contract: one independent
// filter per channel, each fed the whole stream, all rebuilt when any output
// is not finite.
class ReferenceBank {
  public:
    ReferenceBank(std::size_t count, double freq, double minCutOff, double beta, double dCutOff,
                  TimestampPrecision precision, DerivativeSource derivative)
        : exact_(precision == TimestampPrecision::EXACT)
        , fresh_(freq, minCutOff, beta, dCutOff, derivative == DerivativeSource::FILTERED)
        , filters_(count, fresh_)
        , values_(count, 0.0) {}

    bool filterValues(double timestamp, const Values& val) {
        if (val.size() != filters_.size()) {
            return false;
        }
        double interval = std::nan("");
        if (exact_) {
            if (!std::isfinite(timestamp)) {
                return false;
            }
            if (timestamp != -1.0 && last_) {
                if (!(timestamp > *last_)) {
                    return false;
                }
                interval = timestamp - *last_;
            }
            last_ = timestamp == -1.0 ? std::nullopt : std::optional(timestamp);
        } else {
            if (!(timestamp >= -0x1p63 && timestamp < 0x1p63)) {
                return false;
            }
            const auto t = static_cast<std::int64_t>(timestamp);
            if (t != -1 && lastWhole_ != -1) {
                // The exact difference, rounded once: int64 subtraction could overflow.
                const auto ut = static_cast<std::uint64_t>(t);
                const auto ul = static_cast<std::uint64_t>(lastWhole_);
                interval =
                    t >= lastWhole_ ? static_cast<double>(ut - ul) : -static_cast<double>(ul - ut);
            }
            lastWhole_ = t;
        }
        for (std::size_t i = 0; i < filters_.size(); ++i) {
            const double r = filters_[i].filter(val[i], interval);
            if (!std::isfinite(r)) {
                filters_.assign(filters_.size(), fresh_);
                values_.assign(values_.size(), 0.0);
                last_.reset();
                lastWhole_ = -1;
                return false;
            }
            values_[i] = r;
        }
        return true;
    }

    [[nodiscard]] const Values& values() const { return values_; }

  private:
    bool exact_;
    std::optional<double> last_;
    std::int64_t lastWhole_ = -1;
    FormulaFilter fresh_;
    std::vector<FormulaFilter> filters_;
    Values values_;
};

struct StreamCase {
    const char* name;
    std::uint64_t seed;
    std::size_t steps;
    std::size_t channels;
    double freq;
    double minCutOff;
    double beta;
    double dCutOff;
};

void PrintTo(const StreamCase& c, std::ostream* os) {
    *os << c.name;
}

// Each case runs with each variant of the per-channel work, chosen explicitly.
// The bank's construction choices: how it reads timestamps and what it takes
// rates of change against.
struct Choices {
    TimestampPrecision precision;
    DerivativeSource derivative;
};

class RandomStream
    : public testing::TestWithParam<std::tuple<InstructionSet, Choices, StreamCase>> {};

TEST_P(RandomStream, BankEqualsIndependentFiltersBitForBit) {
    const InstructionSet set = std::get<0>(GetParam());
    const TimestampPrecision precision = std::get<1>(GetParam()).precision;
    const DerivativeSource derivative = std::get<1>(GetParam()).derivative;
    const StreamCase& c = std::get<2>(GetParam());
    const InstructionSetInForce chosen(set);
    if (!chosen.ok()) {
        GTEST_SKIP() << "this CPU cannot run the " << pelto::detail::nameOf(set) << " variant";
    }
    std::mt19937_64 rng(c.seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> noise(0.0, 40.0);

    auto fresh = [&] {
        return OneEuroFilterManager(static_cast<std::int64_t>(c.channels), c.freq, c.minCutOff,
                                    c.beta, c.dCutOff, precision, derivative);
    };
    OneEuroFilterManager bank = fresh();
    // The reference gets the parameters after the bank's defaulting: zero or less (not NaN).
    auto positiveOr = [](double value, double fallback) { return value <= 0.0 ? fallback : value; };
    ReferenceBank reference(c.channels, positiveOr(c.freq, 30.0), positiveOr(c.minCutOff, 1.0),
                            c.beta, positiveOr(c.dCutOff, 1.0), precision, derivative);

    // As timestamps: refused (NaN, the infinities, 2^63 and beyond), accepted at the edges of
    // int64 (the next interval overflows int64), or truncated to the "no timestamp" -1.
    constexpr std::array specials{std::numeric_limits<double>::quiet_NaN(),
                                  inf,
                                  -inf,
                                  0.0,
                                  -0.0,
                                  1e300,
                                  -1e300,
                                  5e-324,
                                  0x1p63,
                                  -0x1p63,
                                  0x1p63 - 1024.0,
                                  -1.5};
    // Every sample, and what the bank answered to it alone.
    Values timestamps;
    Values rows;
    Values smoothedRows;
    Flags flags;
    double now = 0.0;
    std::size_t accepted = 0;
    for (std::size_t step = 0; step < c.steps; ++step) {
        const double pick = unit(rng);
        double timestamp = now;
        if (pick < 0.01) {
            timestamp = specials[static_cast<std::size_t>(unit(rng) * specials.size())];
        } else if (pick < 0.05) {
            timestamp = -1.0;
        } else if (pick < 0.08) {
            timestamp = now; // repeated
        } else if (pick < 0.11) {
            timestamp = now - 20.0 * unit(rng); // decreasing
        } else {
            now += 5.0 + 30.0 * unit(rng); // fractional milliseconds
            timestamp = now;
        }
        Values val(c.channels);
        for (double& v : val) {
            v = 500.0 + noise(rng);
        }
        if (unit(rng) < 0.01) { // in any lane of any vector width
            val[static_cast<std::size_t>(unit(rng) * static_cast<double>(c.channels))] =
                specials[static_cast<std::size_t>(unit(rng) * specials.size())];
        }
        const bool expected = reference.filterValues(timestamp, val);
        ASSERT_EQ(bank.filterValues(timestamp, val), expected) << "step " << step;
        ASSERT_EQ(bank.getFilteredValues(), reference.values()) << "step " << step;
        ASSERT_EQ(bitsOf(bank.filteredValues()), bitsOf(bank.getFilteredValues()));
        accepted += expected ? 1 : 0;
        timestamps.push_back(timestamp);
        rows.insert(rows.end(), val.begin(), val.end());
        smoothedRows.insert(smoothedRows.end(), bank.filteredValues().begin(),
                            bank.filteredValues().end());
        flags.push_back(expected ? 1 : 0);
    }
    EXPECT_GT(accepted, c.steps / 5); // the stream exercised smoothing, not only resets

    // The same stream in one block, and in blocks split at random points (empty ones
    // included, some without flags), gives the same bits row by row.
    OneEuroFilterManager whole = fresh();
    Values smoothed(rows.size(), -1.0);
    Flags blockFlags(flags.size(), 9);
    EXPECT_EQ(whole.filterSamples(timestamps, rows, smoothed, blockFlags), accepted);
    EXPECT_EQ(bitsOf(smoothed), bitsOf(smoothedRows));
    EXPECT_EQ(blockFlags, flags);

    OneEuroFilterManager chunked = fresh();
    std::ranges::fill(smoothed, -1.0);
    std::ranges::fill(blockFlags, 9);
    std::uniform_int_distribution<std::size_t> chunkRows(0, 40);
    for (std::size_t row = 0; row < timestamps.size();) {
        const std::size_t n = std::min(chunkRows(rng), timestamps.size() - row);
        const std::size_t cells = n * c.channels;
        const std::size_t first = row * c.channels;
        const bool withFlags = unit(rng) < 0.5;
        const std::size_t expectedAccepted = static_cast<std::size_t>(
            std::count(flags.begin() + static_cast<std::ptrdiff_t>(row),
                       flags.begin() + static_cast<std::ptrdiff_t>(row + n), std::uint8_t{1}));
        ASSERT_EQ(chunked.filterSamples(std::span(timestamps).subspan(row, n),
                                        std::span(rows).subspan(first, cells),
                                        std::span(smoothed).subspan(first, cells),
                                        withFlags ? std::span(blockFlags).subspan(row, n)
                                                  : std::span<std::uint8_t>()),
                  expectedAccepted)
            << "row " << row;
        if (!withFlags) {
            std::copy_n(flags.begin() + static_cast<std::ptrdiff_t>(row), n,
                        blockFlags.begin() + static_cast<std::ptrdiff_t>(row));
        }
        row += n;
        if (n > 0) {
            ASSERT_EQ(
                bitsOf(chunked.filteredValues()),
                bitsOf(std::span(smoothedRows).subspan(row * c.channels - c.channels, c.channels)));
        }
    }
    EXPECT_EQ(bitsOf(smoothed), bitsOf(smoothedRows));
    EXPECT_EQ(blockFlags, flags);
}

// Channel counts that leave every vector width a remainder (15 = 8 + 4 + 2 + 1), and many.
INSTANTIATE_TEST_SUITE_P(
    Streams, RandomStream,
    testing::Combine(
        testing::ValuesIn(pelto::detail::INSTRUCTION_SETS),
        testing::Values(Choices{TimestampPrecision::WHOLE_MILLISECONDS, DerivativeSource::RAW},
                        Choices{TimestampPrecision::EXACT, DerivativeSource::RAW},
                        Choices{TimestampPrecision::WHOLE_MILLISECONDS, DerivativeSource::FILTERED},
                        Choices{TimestampPrecision::EXACT, DerivativeSource::FILTERED}),
        testing::Values(StreamCase{"Defaults", 1, 5000, 2, 30.0, 1.0, 0.007, 1.0},
                        StreamCase{"ManyChannels", 2, 5000, 136, 60.0, 0.5, 0.01, 2.0},
                        StreamCase{"OddChannels", 3, 5000, 7, 120.0, 1.0, 0.1, 1.0},
                        StreamCase{"NegativeBeta", 4, 5000, 3, 30.0, 1.0, -0.05, 1.0},
                        StreamCase{"TinyCutoffs", 5, 5000, 4, 30.0, 1e-300, 0.007, 5e-324},
                        StreamCase{"DefaultedParameters", 6, 5000, 5, -3.0, 0.0, 0.0, -1.0},
                        StreamCase{"OneChannel", 7, 5000, 1, 1000.0, 3.0, 1.0, 0.1},
                        StreamCase{"EveryWidthLeftOver", 8, 5000, 15, 60.0, 1.0, 0.05, 1.0},
                        StreamCase{"Landmarks", 9, 600, 1000, 30.0, 0.3, 0.02, 1.0},
                        StreamCase{"NonFiniteParameters", 10, 3000, 6, std::nan(""), inf, 0.007,
                                   1e300})),
    [](const testing::TestParamInfo<RandomStream::ParamType>& p) {
        const Choices choices = std::get<1>(p.param);
        return std::string(pelto::detail::nameOf(std::get<0>(p.param))) + "_" +
               (choices.precision == TimestampPrecision::EXACT ? "Exact" : "WholeMs") +
               (choices.derivative == DerivativeSource::FILTERED ? "Filtered" : "Raw") + "_" +
               std::get<2>(p.param).name;
    });

} // namespace

namespace {

// Research trackers' clocks: fractional periods with microsecond jitter, dropped
// stretches and rows without data. The exact bank refuses nothing but those rows.
struct TrackerClock {
    const char* name;
    double rateHz;
};

void PrintTo(const TrackerClock& c, std::ostream* os) {
    *os << c.name;
}

class ExactClock : public testing::TestWithParam<TrackerClock> {};

TEST_P(ExactClock, SmoothsEveryUsableRowAsTheFormulaDoes) {
    const double period = 1000.0 / GetParam().rateHz;
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> jitter(-0.02, 0.02);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> noise(0.0, 0.5);
    OneEuroFilterManager bank(2, 60.0, 1.0, 0.01, 1.0, TimestampPrecision::EXACT);
    ReferenceBank reference(2, 60.0, 1.0, 0.01, 1.0, TimestampPrecision::EXACT,
                            DerivativeSource::RAW);
    std::size_t nanRows = 0;
    std::size_t refused = 0;
    double tick = 1.0e6 / 3.0; // a clock that started long ago
    for (int i = 0; i < 20000; ++i) {
        tick += unit(rng) < 0.001 ? 50.0 : period; // now and then a dropped stretch
        const bool blink = unit(rng) < 0.005;
        const Values val{blink ? std::nan("") : 400.0 + noise(rng), 300.0 + noise(rng)};
        nanRows += blink ? 1 : 0;
        const double timestamp = tick + jitter(rng);
        const bool ok = bank.filterValues(timestamp, val);
        refused += ok ? 0 : 1;
        ASSERT_EQ(ok, reference.filterValues(timestamp, val)) << "row " << i;
        ASSERT_EQ(bitsOf(bank.filteredValues()), bitsOf(reference.values())) << "row " << i;
    }
    EXPECT_EQ(refused, nanRows);
}

INSTANTIATE_TEST_SUITE_P(Clocks, ExactClock,
                         testing::Values(TrackerClock{"Hz300", 299.8},
                                         TrackerClock{"Hz1000", 1000.0},
                                         TrackerClock{"Hz2000", 2000.0}),
                         [](const testing::TestParamInfo<TrackerClock>& p) {
                             return p.param.name;
                         });

// A repeated or earlier frame is dropped without a trace: what follows is what it
// would have been without it.
TEST(OneEuroFilterManager, ExactBankDropsRepeatedAndEarlierFrames) {
    OneEuroFilterManager clean(2, 300.0, 1.0, 0.05, 1.0, TimestampPrecision::EXACT);
    OneEuroFilterManager noisy = clean;
    for (const auto& [t, x] : {std::pair{0.0, 1.0}, {3.352, 2.0}, {6.704, 4.0}}) {
        ASSERT_TRUE(clean.filterValues(t, Values{x, -x}));
        ASSERT_TRUE(noisy.filterValues(t, Values{x, -x}));
    }
    const Values before = noisy.getFilteredValues();
    EXPECT_FALSE(noisy.filterValues(6.704, Values{9.0, 9.0})); // repeated
    EXPECT_FALSE(noisy.filterValues(5.0, Values{9.0, 9.0}));   // earlier
    EXPECT_EQ(noisy.getFilteredValues(), before);
    ASSERT_TRUE(clean.filterValues(10.056, Values{3.0, -3.0}));
    ASSERT_TRUE(noisy.filterValues(10.056, Values{3.0, -3.0}));
    EXPECT_EQ(noisy.getFilteredValues(), clean.getFilteredValues());
    // Whole milliseconds keep the classic behaviour: a repeated timestamp resets.
    OneEuroFilterManager whole(2, 300.0, 1.0, 0.05, 1.0);
    EXPECT_TRUE(whole.filterValues(3.0, Values{1.0, 1.0}));
    EXPECT_TRUE(whole.filterValues(6.0, Values{2.0, 2.0}));
    EXPECT_FALSE(whole.filterValues(6.9, Values{3.0, 3.0}));
    EXPECT_EQ(whole.getFilteredValues(), (Values{0.0, 0.0}));
}

} // namespace
