#include "ReferenceBank.hpp"

#include <cmath>

namespace pelto::bench {

namespace {

constexpr double TWO_PI = 6.283185307179586;

double alphaAt(double tau, double te) {
    return 1.0 / (tau / te + 1.0);
}

double keep(double alpha, double current) {
    return alpha <= 0.0 || alpha > 1.0 ? current : alpha;
}

} // namespace

ReferenceBank::ReferenceBank(std::size_t channels, double freq, double minCutOff, double beta,
                             double dCutOff)
    : s_(channels, 0.0)
    , y_(channels, 0.0)
    , a_(channels, keep(alphaAt(1.0 / (minCutOff * TWO_PI), 1.0 / freq), 0.0))
    , ds_(channels, 0.0)
    , minCutOff_(minCutOff)
    , beta_(beta)
    , dTau_(1.0 / (dCutOff * TWO_PI))
    , freq_(freq)
    , te_(1.0 / freq)
    , dAlpha_(keep(alphaAt(dTau_, te_), 0.0))
    , dAlphaNow_(alphaAt(dTau_, te_)) {}

void ReferenceBank::advance(double timestamp) noexcept {
    const auto t = static_cast<std::int64_t>(timestamp);
    if (t != -1 && last_ != -1) {
        const std::int64_t interval = t - last_;
        Clock& clock = clocks_[static_cast<std::uint64_t>(interval) % clocks_.size()];
        if (clock.interval != interval) {
            clock.interval = interval;
            clock.freq = 1000.0 / static_cast<double>(interval);
            clock.te = 1.0 / clock.freq;
            clock.dAlpha = alphaAt(dTau_, clock.te);
        }
        freq_ = clock.freq;
        te_ = clock.te;
        dAlphaNow_ = clock.dAlpha;
    }
    last_ = t;
    dAlpha_ = keep(dAlphaNow_, dAlpha_);
}

bool ReferenceBank::channels(const double* val) noexcept {
    const std::size_t n = s_.size();
    double* s = s_.data();
    double* y = y_.data();
    double* a = a_.data();
    double* ds = ds_.data();
    const double da = dAlpha_;
    const double te = te_;
    bool finite = true;
    for (std::size_t i = 0; i < n; ++i) {
        const double v = val[i];
        const double dv = started_ ? freq_ * (v - y[i]) : 0.0;
        const double edv = started_ ? da * dv + (1.0 - da) * ds[i] : dv;
        const double cutoff = std::abs(edv) * beta_ + minCutOff_;
        const double alpha = keep(1.0 / (1.0 / (cutoff * TWO_PI) / te + 1.0), a[i]);
        const double r = started_ ? alpha * v + (1.0 - alpha) * s[i] : v;
        ds[i] = edv;
        a[i] = alpha;
        y[i] = v;
        s[i] = r;
        finite = finite && std::isfinite(r);
    }
    started_ = true;
    return finite;
}

bool ReferenceBank::filterValues(double timestamp, const double* val) noexcept {
    advance(timestamp);
    return channels(val);
}

std::size_t ReferenceBank::filterSamples(const double* timestamps, std::size_t rows,
                                         const double* values, double* smoothed) noexcept {
    const std::size_t n = s_.size();
    std::size_t accepted = 0;
    for (std::size_t row = 0; row < rows; ++row) {
        advance(timestamps[row]);
        accepted += channels(values + row * n) ? 1U : 0U;
        for (std::size_t i = 0; i < n; ++i) {
            smoothed[row * n + i] = s_[i];
        }
    }
    return accepted;
}

} // namespace pelto::bench
