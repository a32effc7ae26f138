// Many parameter sets measured in one pass over a recording: the sets run side by side in the
// lanes of the widest vectors, and jitter and lag accumulate as the rows go by.
#include "tuning/Analysis.hpp"

#include "filters/FilterBankKernels.hpp"
#include "filters/LowPassFilter.hpp"
#include "filters/OneEuroFilter.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace pelto::detail {
namespace {

using tuning::NOT_MEASURED;

// The state arrays of a pass: smoothed, raw, alpha, rate.
constexpr std::size_t STATE_ARRAYS = 4;

// Timestamps outside [-2^63, 2^63) (and NaN) cannot be truncated to whole milliseconds.
constexpr double TIMESTAMP_LOWER_BOUND = -0x1p63;
constexpr double TIMESTAMP_UPPER_BOUND = 0x1p63;

// What every set of a pass shares while all of them accept the same rows: the timestamp
// bookkeeping a bank keeps for all its channels, advanced the same way.
class SharedClock {
  public:
    SharedClock(double freq, double dCutOff, bool exact) noexcept
        : freq_(freq)
        , dCutOff_(dCutOff)
        , derivativeTau_(OneEuroFilter::timeConstant(dCutOff))
        , exact_(exact) {
        reset();
    }

    void reset() noexcept {
        const OneEuroFilter fresh(freq_, 1.0, 0.0, dCutOff_);
        timing_ = fresh.timing();
        derivativeAlpha = fresh.derivativeFilter().a();
        last_ = OneEuroFilter::NO_TIMESTAMP;
        started = false;
    }

    // Records a timestamp; false, changing nothing, for one a bank refuses.
    bool advance(double timestamp) noexcept {
        if (exact_) {
            if (!std::isfinite(timestamp)) {
                return false;
            }
            if (timestamp == -1.0) {
                last_ = OneEuroFilter::NO_TIMESTAMP;
            } else {
                if (last_ != OneEuroFilter::NO_TIMESTAMP) {
                    const auto last = std::bit_cast<double>(last_);
                    if (!(timestamp > last)) {
                        return false;
                    }
                    timing_ = OneEuroFilter::timingWith(
                        OneEuroFilter::frequencyFor(timestamp - last), derivativeTau_);
                }
                last_ = std::bit_cast<std::int64_t>(timestamp);
            }
        } else {
            if (!(timestamp >= TIMESTAMP_LOWER_BOUND && timestamp < TIMESTAMP_UPPER_BOUND)) {
                return false;
            }
            const auto t = static_cast<std::int64_t>(timestamp);
            if (t != OneEuroFilter::NO_TIMESTAMP && last_ != OneEuroFilter::NO_TIMESTAMP) {
                timing_ = OneEuroFilter::timingAt(
                    OneEuroFilter::frequencyFor(OneEuroFilter::timestampDifference(t, last_)),
                    dCutOff_);
            }
            last_ = t;
        }
        derivativeAlpha = LowPassFilter::acceptedAlpha(timing_.derivativeAlpha, derivativeAlpha);
        return true;
    }

    [[nodiscard]] SharedStep step() const noexcept {
        return {timing_.freq, timing_.te, derivativeAlpha, 0.0, 0.0};
    }

    double derivativeAlpha = 0.0;
    bool started = false;

  private:
    double freq_;
    double dCutOff_;
    double derivativeTau_;
    bool exact_;
    FilterTiming timing_{};
    std::int64_t last_ = OneEuroFilter::NO_TIMESTAMP; // with exact timestamps, a double's bits
};

} // namespace

// One pass of a batch of sets over one recording. The sets run in lockstep while they accept
// the same rows. A set that would part from the others (a result that is not finite when the
// others' are) leaves the pass: its lanes then copy a set that stays, and the caller measures
// it alone.
class SetPass {
  public:
    SetPass(const RecordingAnalysis& analysis, std::span<const tuning::FilterParameters> sets,
            const tuning::BankChoices& choices, bool jitter, bool lags,
            RecordingAnalysis::SweepBuffers& buffers)
        : analysis_(analysis)
        , channels_(analysis.channels_)
        , lanes_((sets.size() + SET_LANES - 1) / SET_LANES * SET_LANES)
        , jitter_(jitter)
        , lags_(lags)
        , filtered_(choices.derivative == DerivativeSource::FILTERED)
        , buffers_(buffers)
        , clock_(clockOf(sets.front(), choices)) {
        const OneEuroFilterManager first = makeBank(1, sets.front(), choices);
        buffers.beta.resize(lanes_);
        buffers.minCutOff.resize(lanes_);
        buffers.freshAlpha.resize(lanes_);
        buffers.left.assign(lanes_, 0);
        for (std::size_t s = 0; s < lanes_; ++s) {
            const OneEuroFilterManager bank =
                makeBank(1, sets[std::min(s, sets.size() - 1)], choices);
            buffers.beta[s] = bank.beta();
            buffers.minCutOff[s] = bank.minCutOff();
            const OneEuroFilter fresh(bank.frequency(), bank.minCutOff(), bank.beta(),
                                      bank.dCutOff());
            buffers.freshAlpha[s] = fresh.signalFilter().a();
            // The clock is shared: a set with another frequency or derivative cutoff runs alone.
            if (std::bit_cast<std::uint64_t>(bank.frequency()) !=
                    std::bit_cast<std::uint64_t>(first.frequency()) ||
                std::bit_cast<std::uint64_t>(bank.dCutOff()) !=
                    std::bit_cast<std::uint64_t>(first.dCutOff())) {
                buffers.left[s] = 1;
            }
        }
        buffers.state.resize(STATE_ARRAYS * channels_ * lanes_);
        double* const state = buffers.state.data();
        const std::size_t size = channels_ * lanes_;
        arrays_ = {state,
                   state + size,
                   state + 2 * size,
                   state + 3 * size,
                   buffers.beta.data(),
                   buffers.minCutOff.data(),
                   lanes_};
        resetLanes();
        for (std::size_t s = 0; s < lanes_; ++s) {
            if (buffers.left[s] != 0) {
                leave(s);
            }
        }
        buffers.smoothedSquares.assign(lanes_, 0.0);
        buffers.squares.resize(lanes_);
        buffers.progress.resize(lanes_);
        buffers.censored.assign(lanes_, 0);
        const std::size_t movements = lags_ ? analysis.movements_.size() : 0;
        buffers.lags.assign(movements * lanes_, NOT_MEASURED);
    }

    void run() {
        const RecordingAnalysis& a = analysis_;
        const std::size_t rows = a.timestamps_.size();
        const RowKernels& kernels = rowKernels();
        std::vector<std::size_t>& order = buffers_.order;
        order.clear();
        if (lags_) {
            order.resize(a.movements_.size());
            for (std::size_t m = 0; m < order.size(); ++m) {
                order[m] = m;
            }
            std::ranges::stable_sort(order, [&a](std::size_t x, std::size_t y) {
                return a.movements_[x].first < a.movements_[y].first;
            });
        }
        std::size_t nextStill = 0;
        std::size_t nextMovement = 0;
        bool acceptedBefore = false;
        for (std::size_t i = 0; i < rows; ++i) {
            bool accepted = clock_.advance(a.timestamps_[i]);
            const bool stillEnd =
                jitter_ && nextStill < a.stillEnds_.size() && a.stillEnds_[nextStill] == i;
            if (accepted) {
                double* squares = nullptr;
                if (stillEnd && acceptedBefore) {
                    squares = buffers_.squares.data();
                    std::fill(buffers_.squares.begin(), buffers_.squares.end(), 0.0);
                }
                const SetsKernel kernel = !clock_.started ? kernels.setsFresh
                                          : filtered_     ? kernels.setsStartedFromFiltered
                                                          : kernels.setsStarted;
                const bool finite = kernel(clock_.step(), a.values_.data() + i * channels_,
                                           channels_, arrays_, squares);
                clock_.started = true;
                if (!finite) [[unlikely]] {
                    accepted = settle();
                }
                if (accepted && squares != nullptr) {
                    for (std::size_t s = 0; s < lanes_; ++s) {
                        buffers_.smoothedSquares[s] += squares[s];
                    }
                    rawSquares_ += a.stillSquares_[nextStill];
                    ++stillSteps_;
                }
            }
            nextStill += stillEnd ? 1 : 0;
            acceptedRows_ += accepted ? 1 : 0;
            if (lags_) {
                followMovements(i, accepted, kernels.progress);
                while (nextMovement < order.size() &&
                       a.movements_[order[nextMovement]].first == i) {
                    startMovement(order[nextMovement++], accepted, kernels.progress);
                }
            }
            acceptedBefore = accepted;
        }
    }

    // Whether set `s` left the pass: the caller measures it alone.
    [[nodiscard]] bool left(std::size_t s) const noexcept { return buffers_.left[s] != 0; }

    // The pass's figures for set `s` into `result`: jitter and refusals, lags, or both.
    void fill(std::size_t s, tuning::Measurement& result) const {
        if (jitter_) {
            result.refused = analysis_.timestamps_.size() - acceptedRows_;
            result.stillSteps = stillSteps_;
            if (stillSteps_ > 0) {
                const auto steps = static_cast<double>(stillSteps_);
                result.rawJitter = std::sqrt(rawSquares_ / steps);
                result.smoothedJitter = std::sqrt(buffers_.smoothedSquares[s] / steps);
                result.jitterRatio = result.smoothedJitter / result.rawJitter;
            }
        }
        if (lags_) {
            std::vector<double>& lags = buffers_.gathered;
            lags.clear();
            for (std::size_t m = 0; m < analysis_.movements_.size(); ++m) {
                const double lag = buffers_.lags[m * lanes_ + s];
                if (!std::isnan(lag)) {
                    lags.push_back(lag);
                }
            }
            result.lagsCensored = buffers_.censored[s];
            summariseLags(lags, result);
        }
    }

  private:
    // The parameters as a bank of them holds them, with its substitutes for invalid ones.
    static SharedClock clockOf(const tuning::FilterParameters& parameters,
                               const tuning::BankChoices& choices) {
        const OneEuroFilterManager bank = makeBank(1, parameters, choices);
        return {bank.frequency(), bank.dCutOff(), choices.precision == TimestampPrecision::EXACT};
    }

    // A movement being followed: each set's progress at the row before, and whether it is still
    // short of the lag's progress.
    struct Followed {
        std::size_t movement;
        std::size_t searching;
        std::vector<double> previous;
        std::vector<std::uint8_t> short_;
    };

    void resetLanes() noexcept {
        const std::size_t size = channels_ * lanes_;
        std::fill_n(arrays_.smoothed, size, 0.0);
        std::fill_n(arrays_.raw, size, 0.0);
        std::fill_n(arrays_.rate, size, 0.0);
        for (std::size_t c = 0; c < channels_; ++c) {
            std::copy_n(buffers_.freshAlpha.begin(), lanes_, arrays_.alpha + c * lanes_);
        }
    }

    [[nodiscard]] bool finite(std::size_t s) const noexcept {
        for (std::size_t c = 0; c < channels_; ++c) {
            if (!std::isfinite(arrays_.smoothed[c * lanes_ + s])) {
                return false;
            }
        }
        return true;
    }

    // After a row with a result that is not finite: as a bank, every set with one starts over
    // and refuses the row. When that is every set still in the pass, they stay in lockstep;
    // otherwise those sets leave. Answers whether the sets still in the pass accepted the row.
    bool settle() {
        std::vector<std::uint8_t>& bad = buffers_.bad;
        bad.assign(lanes_, 0);
        std::size_t stay = lanes_;
        for (std::size_t s = 0; s < lanes_; ++s) {
            if (buffers_.left[s] == 0) {
                bad[s] = finite(s) ? 0 : 1;
                stay = bad[s] == 0 ? s : stay;
            }
        }
        if (stay == lanes_) {
            resetLanes();
            clock_.reset();
            return false;
        }
        for (std::size_t s = 0; s < lanes_; ++s) {
            if (bad[s] != 0) {
                leave(s, stay);
            }
        }
        return true;
    }

    // Set `s` leaves the pass; its lanes copy those of a set that stays, so that they never
    // part from the others again.
    void leave(std::size_t s) {
        for (std::size_t other = 0; other < lanes_; ++other) {
            if (buffers_.left[other] == 0) {
                leave(s, other);
                return;
            }
        }
        buffers_.left[s] = 1; // every set left: the lanes' results no longer matter
    }

    void leave(std::size_t s, std::size_t stay) {
        buffers_.left[s] = 1;
        buffers_.beta[s] = buffers_.beta[stay];
        buffers_.minCutOff[s] = buffers_.minCutOff[stay];
        buffers_.freshAlpha[s] = buffers_.freshAlpha[stay];
        for (double* array : {arrays_.smoothed, arrays_.raw, arrays_.alpha, arrays_.rate}) {
            for (std::size_t c = 0; c < channels_; ++c) {
                array[c * lanes_ + s] = array[c * lanes_ + stay];
            }
        }
    }

    void measureProgress(std::size_t movement, ProgressKernel progress) {
        const RecordingAnalysis& a = analysis_;
        progress(arrays_, channels_, a.origins_.data() + movement * channels_,
                 a.directions_.data() + movement * channels_, a.movements_[movement].length,
                 buffers_.progress.data());
    }

    void record(std::size_t movement, std::size_t s, double reached) {
        if (!std::isnan(reached)) {
            buffers_.lags[movement * lanes_ + s] =
                std::max(0.0, reached - analysis_.movements_[movement].rawTime);
        }
    }

    // Every set still short at the end of its movement's window: the lag is censored there.
    void censor(Followed& followed) {
        const std::size_t end = analysis_.movements_[followed.movement].windowEnd;
        for (std::size_t s = 0; s < lanes_; ++s) {
            if (followed.short_[s] != 0) {
                record(followed.movement, s, analysis_.timestamps_[end]);
                ++buffers_.censored[s];
            }
        }
        followed.searching = 0;
    }

    void startMovement(std::size_t movement, bool accepted, ProgressKernel progress) {
        if (!accepted) {
            return; // a refused first sample: no lag for any set
        }
        const RecordingAnalysis& a = analysis_;
        const double t = a.timestamps_[a.movements_[movement].first];
        measureProgress(movement, progress);
        Followed followed{movement, 0, std::vector<double>(lanes_),
                          std::vector<std::uint8_t>(lanes_, 0)};
        for (std::size_t s = 0; s < lanes_; ++s) {
            const double p = buffers_.progress[s];
            if (p >= a.lagProgress_) {
                record(movement, s, t);
            } else {
                followed.previous[s] = p;
                followed.short_[s] = 1;
                ++followed.searching;
            }
        }
        if (followed.searching == 0) {
            return;
        }
        if (a.movements_[movement].windowEnd <= a.movements_[movement].first) {
            censor(followed);
            return;
        }
        followed_.push_back(std::move(followed));
    }

    // Row `i` of the movements being followed.
    void followMovements(std::size_t i, bool accepted, ProgressKernel progress) {
        const RecordingAnalysis& a = analysis_;
        for (Followed& followed : followed_) {
            if (a.usable_[i] == 0 || !accepted) {
                followed.searching = 0; // interrupted: no lag for the sets still short
                continue;
            }
            measureProgress(followed.movement, progress);
            const double t0 = a.timestamps_[i - 1];
            const double t1 = a.timestamps_[i];
            for (std::size_t s = 0; s < lanes_; ++s) {
                if (followed.short_[s] == 0) {
                    continue;
                }
                const double current = buffers_.progress[s];
                const double previous = followed.previous[s];
                if (current >= a.lagProgress_) {
                    const double share = (a.lagProgress_ - previous) / (current - previous);
                    record(followed.movement, s, t0 + share * (t1 - t0));
                    followed.short_[s] = 0;
                    --followed.searching;
                } else {
                    followed.previous[s] = current;
                }
            }
            if (followed.searching > 0 && i == a.movements_[followed.movement].windowEnd) {
                censor(followed);
            }
        }
        std::erase_if(followed_, [](const Followed& f) { return f.searching == 0; });
    }

    const RecordingAnalysis& analysis_;
    std::size_t channels_;
    std::size_t lanes_;
    bool jitter_;
    bool lags_;
    bool filtered_;
    RecordingAnalysis::SweepBuffers& buffers_;
    SharedClock clock_;
    SetArrays arrays_{};
    std::vector<Followed> followed_;
    std::size_t acceptedRows_ = 0;
    std::size_t stillSteps_ = 0;
    double rawSquares_ = 0.0;
};

void RecordingAnalysis::measureAll(std::span<const tuning::FilterParameters> sets,
                                   const tuning::BankChoices& choices, Workspace& workspace,
                                   std::span<tuning::Measurement> into,
                                   const RecordingAnalysis* lagSource) const {
    const RecordingAnalysis& source = lagSource != nullptr ? *lagSource : *this;
    for (std::size_t s = 0; s < sets.size(); ++s) {
        into[s] = {};
        into[s].parameters = sets[s];
        into[s].samples = timestamps_.size();
        into[s].movements = source.profile_.movements;
    }
    if (sets.empty() || timestamps_.empty()) {
        return;
    }
    const bool lagsHere = &source == this;
    SetPass own(*this, sets, choices, true, lagsHere, workspace.sweep);
    own.run();
    std::vector<std::uint8_t> alone(sets.size(), 0);
    for (std::size_t s = 0; s < sets.size(); ++s) {
        own.fill(s, into[s]);
        // A sum of squares too large for a double: measure() scales the steps instead.
        alone[s] =
            own.left(s) || std::isinf(into[s].rawJitter) || std::isinf(into[s].smoothedJitter) ? 1
                                                                                               : 0;
    }
    if (!lagsHere) {
        SetPass lags(source, sets, choices, false, true, workspace.sweep);
        lags.run();
        for (std::size_t s = 0; s < sets.size(); ++s) {
            lags.fill(s, into[s]);
            alone[s] = alone[s] != 0 || lags.left(s) ? 1 : 0;
        }
    }
    for (std::size_t s = 0; s < sets.size(); ++s) {
        if (alone[s] != 0) {
            into[s] = measure(sets[s], choices, workspace, lagSource);
        }
    }
}

} // namespace pelto::detail
