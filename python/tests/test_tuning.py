"""Tuning from Python: a recommendation that beats the defaults, arrays that agree, recordings
that cannot be tuned, bad input, the GIL."""

import math

import numpy as np
import pytest

import pelto
from pelto import TuningStatus


def gaze(seconds=40.0, noise=6.0, seed=7):
    """Gaze at 60 Hz with a jittery clock, in pixels: fixations of 0.4-0.9 s on targets in a
    1000-pixel square, with Gaussian noise, joined by three-sample saccades."""
    rng = np.random.default_rng(seed)
    path, here = [], np.array([500.0, 500.0])
    while len(path) < seconds * 60:
        there = rng.uniform(0.0, 1000.0, 2)
        path += [here + (there - here) * step / 3 for step in (1, 2, 3)]
        path += [there] * int(rng.integers(24, 55))
        here = there
    t = np.cumsum(1000.0 / 60.0 + rng.normal(0.0, 0.3, len(path)))
    return t, np.array(path) + rng.normal(0.0, noise, (len(path), 2))


@pytest.fixture(scope="module")
def recording():
    t, v = gaze()
    return t, v, pelto.tune(t, v)


def test_recommendation_smooths_more_than_the_defaults_within_the_budget(recording):
    t, v, result = recording
    assert result.ok and result.status is TuningStatus.OK and result.message.startswith("tuned")
    best, defaults = result.recommendation, result.defaults
    # The default budget, which the defaults exceed.
    assert result.lag_budget_ms == 20.0
    assert best.mean_lag_ms <= result.lag_budget_ms < defaults.mean_lag_ms
    assert best.jitter_ratio < 0.5
    assert "OK" in repr(result) and repr(best.min_cut_off) in repr(result)
    # Given the defaults' own lag as the budget, it smooths at least as much as they do.
    matched = pelto.tune(t, v, max_lag_ms=defaults.mean_lag_ms).recommendation
    assert matched.smoothed_jitter <= defaults.smoothed_jitter
    assert matched.mean_lag_ms <= defaults.mean_lag_ms
    # measure() of the recommended pair gives the recommendation's figures exactly.
    again = pelto.measure(t, v, min_cut_off=best.min_cut_off, beta=best.beta)
    assert repr(again) == repr(best) and again.samples == best.samples == len(t)
    assert again.parameters == best.parameters == pelto.FilterParameters(min_cut_off=best.min_cut_off, beta=best.beta)


def test_arrays_agree_with_each_other(recording):
    _, _, result = recording
    cut_offs, betas = result.min_cut_off_grid, result.beta_grid
    assert cut_offs.shape == (13,) and betas.shape == (13,)
    # minCutOff up to a quarter of the sampling rate.
    assert cut_offs[0] == 0.01 and cut_offs[-1] == 250.0 / result.to_dict()["profile"]["samplePeriodMs"]
    jitter, lag = result.grid_smoothed_jitter, result.grid_mean_lag_ms
    assert jitter.shape == lag.shape == (13, 13)
    front = [result.front_min_cut_off, result.front_beta, result.front_smoothed_jitter, result.front_mean_lag_ms]
    assert len({len(column) for column in front}) == 1 and len(front[0]) >= 2
    assert np.all(np.diff(front[3]) > 0) and np.all(np.diff(front[2]) < 0)
    # Each of the front's pairs on the coarse grid is a cell with the same figures (the others
    # come from the refinements); the recommendation is one of the front's.
    on_grid = np.isin(front[0], cut_offs) & np.isin(front[1], betas)
    rows, columns = np.searchsorted(cut_offs, front[0][on_grid]), np.searchsorted(betas, front[1][on_grid])
    assert jitter[rows, columns].tolist() == front[2][on_grid].tolist()
    assert lag[rows, columns].tolist() == front[3][on_grid].tolist()
    best = result.recommendation
    assert (best.min_cut_off, best.beta) in zip(front[0].tolist(), front[1].tolist())


def constant(rows, value):
    return np.arange(rows) * 16.0, np.full((rows, 2), value)


# (timestamps, values, options, status)
CANNOT_TUNE = {
    "empty": (*constant(0, 3.0), {}, TuningStatus.TOO_FEW_SAMPLES),
    "single sample": (*constant(1, 3.0), {}, TuningStatus.TOO_FEW_SAMPLES),
    "all refused": (*constant(50, np.nan), {}, TuningStatus.ALL_REFUSED),
    "constant signal": (*constant(600, 3.0), {}, TuningStatus.NO_MOTION),
}


@pytest.mark.parametrize("timestamps, values, options, status", CANNOT_TUNE.values(), ids=CANNOT_TUNE.keys())
def test_recordings_that_cannot_be_tuned_say_so(timestamps, values, options, status):
    result = pelto.tune(timestamps, values, **options)
    assert result.status is status and not result.ok and result.recommendation is None
    assert result.message.startswith("cannot tune: ") and result.message in repr(result)
    assert result.defaults.samples == len(timestamps)
    assert result.grid_mean_lag_ms.shape == (0, 0) and len(result.front_beta) == 0
    assert math.isnan(result.lag_budget_ms) and result.to_dict()["recommendation"] is None


def test_over_budget_and_still_recordings_still_get_an_answer():
    over = pelto.tune(*gaze(10.0), max_lag_ms=-1000.0)
    assert over.status is TuningStatus.NO_SETTING_WITHIN_BUDGET and over.ok and over.over_budget
    assert over.message.startswith("over budget: ")
    assert over.recommendation.mean_lag_ms == over.front_mean_lag_ms[0]  # the least lag
    # Noise without a movement: the lag is measured on synthesised ones.
    still = pelto.tune(np.arange(600) * 16.0, np.random.default_rng(3).normal(0.0, 5.0, (600, 2)))
    assert still.ok and still.lag_basis == "synthesised" and still.movements == []
    assert still.recommendation.lags_measured >= 5


def test_dict_form_matches_the_result(recording):
    _, _, result = recording
    best, form = result.recommendation, result.to_dict()
    assert form["status"] == "OK" and form["message"] == result.message and not form["overBudget"]
    assert form["budget"] == {"maxLagMs": 20.0, "basis": "default"}
    assert form["lagBasis"] == result.lag_basis == "recorded"
    assert form["recommendation"] == {"freq": best.freq, "minCutOff": best.min_cut_off, "beta": best.beta, "dCutOff": best.d_cut_off,
                                      "timestampPrecision": "EXACT", "derivative": "RAW"}
    assert form["recommendationFigures"]["meanLagMs"] == best.mean_lag_ms
    assert form["recommendationFigures"]["smoothedJitter"] == best.smoothed_jitter
    assert [m["startMs"] for m in form["profile"]["movements"]] == [m["start_ms"] for m in result.movements]
    assert [f["meanLagMs"] for f in form["front"]] == result.front_mean_lag_ms.tolist()

BAD = {
    "lengths differ": (np.arange(3.0), np.zeros((4, 2)), {}, ValueError),
    "3-D values": (np.arange(3.0), np.zeros((3, 2, 1)), {}, ValueError),
    "no channel": (np.arange(3.0), np.zeros((3, 0)), {}, ValueError),
    "complex": (np.arange(2.0), np.ones((2, 2), complex), {}, TypeError),
    "NaN budget": (*constant(10, 1.0), {"max_lag_ms": np.nan}, ValueError),
    "empty grid": (*constant(10, 1.0), {"beta_steps": 0}, ValueError),
    "lag progress 0": (*constant(10, 1.0), {"lag_progress": 0.0}, ValueError),
    "negative threads": (*constant(10, 1.0), {"threads": -1}, TypeError),
}


@pytest.mark.parametrize("timestamps, values, options, error", BAD.values(), ids=BAD.keys())
def test_bad_input_raises(timestamps, values, options, error):
    with pytest.raises(error):
        pelto.tune(timestamps, values, **options)


def test_tune_releases_the_gil(ticks_during):
    t, v = gaze(120.0)
    assert ticks_during(lambda: pelto.tune(t, v, threads=1, min_cut_off_steps=40, beta_steps=40)) >= 2


def test_the_banks_choices_reach_the_sweep(recording):
    t, v, _ = recording
    whole = pelto.TimestampPrecision.WHOLE_MILLISECONDS
    fractional = t + 0.37  # the same clock, read exactly or truncated
    exact = pelto.measure(fractional, v, precision=pelto.TimestampPrecision.EXACT)
    assert pelto.measure(fractional, v).smoothed_jitter == exact.smoothed_jitter  # exact by default
    assert pelto.measure(fractional, v, precision=whole).smoothed_jitter != exact.smoothed_jitter
    form = pelto.tune(t, v, derivative=pelto.DerivativeSource.FILTERED, min_cut_off_steps=3, beta_steps=3).to_dict()
    assert (form["timestampPrecision"], form["derivative"]) == ("EXACT", "FILTERED")
