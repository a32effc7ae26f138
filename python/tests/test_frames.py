"""Tables: groups in time order, time units, index alignment, missing values and times, tuning
per group with its summary, the same results on a Dask cluster; pixels to degrees."""

import subprocess
import sys

import numpy as np
import pytest

import pelto
from test_tuning import gaze

pd = pytest.importorskip("pandas")

# Times exact in every unit: multiples of 1/128 s.
STEP_MS = 7.8125
UNITS = {
    "ms": lambda ms: ms,
    "s": lambda ms: ms / 1000.0,
    "us": lambda ms: ms * 1000.0,
    "ns": lambda ms: ms * 1e6,
    "datetime": lambda ms: pd.Timestamp("2026-12-06 09:00", tz="Europe/Helsinki")
    + pd.to_timedelta(ms * 1e6, unit="ns"),
    "timedelta": lambda ms: pd.to_timedelta(ms * 1e6, unit="ns"),
}


def table(seed=3):
    """Two participants by two trials, rows shuffled under a string index; trials start at
    different times; one missing x, one missing time."""
    rng = np.random.default_rng(seed)
    parts = []
    for participant, trial, start in [("p1", 1, 0), ("p1", 2, 40), ("p2", 1, 13), ("p2", 2, 7)]:
        t, xy = gaze(seconds=1.0, seed=start)
        parts.append(pd.DataFrame({"participant": participant, "trial": trial,
                                   "ms": (start + np.arange(len(t))) * STEP_MS,
                                   "x": xy[:, 0], "y": xy[:, 1]}))
    frame = pd.concat(parts, ignore_index=True)
    frame.loc[10, "x"] = np.nan
    frame.loc[70, "ms"] = np.nan
    frame = frame.iloc[rng.permutation(len(frame))]
    frame.index = [f"row{i}" for i in rng.permutation(len(frame))]
    return frame


def expected(frame, unit, **options):
    """Each group through pelto.smooth on its own, in time order, as a table column by column."""
    out = pd.DataFrame(np.nan, index=frame.index, columns=["x_smoothed", "y_smoothed"])
    for _, group in frame.dropna(subset=["ms"]).groupby(["participant", "trial"]):
        group = group.sort_values("ms", kind="stable")
        ms = group["ms"].to_numpy()
        if unit == "datetime":
            ms = ms - ms[0]
        out.loc[group.index] = pelto.smooth(ms, group[["x", "y"]].to_numpy(), **options)
    out["accepted"] = out["x_smoothed"].notna()
    return out


@pytest.mark.parametrize("unit", UNITS)
def test_each_group_is_smoothed_in_time_order_in_any_unit(unit):
    frame = table()
    with np.errstate(invalid="ignore"):  # the missing time becomes NaT
        frame["time"] = UNITS[unit](frame["ms"].to_numpy())
    smoothed = pelto.smooth_frame(frame, "time", ["x", "y"], unit="ms" if unit in (
        "datetime", "timedelta") else unit, by=["participant", "trial"], beta=0.01)
    pd.testing.assert_frame_equal(smoothed[frame.columns], frame)
    want = expected(frame, unit, beta=0.01)
    pd.testing.assert_frame_equal(smoothed[want.columns], want, check_exact=True)
    # The missing x is refused and restarts its bank; the row without a time is not fed.
    assert not smoothed.loc[frame.index[frame["x"].isna() | frame["ms"].isna()], "accepted"].any()
    assert smoothed["accepted"].sum() == len(frame) - 2


def test_names_threads_and_one_recording():
    frame = table()
    one = frame[frame["participant"] == "p2"].assign(trial=1)
    named = pelto.smooth_frame(one, "ms", "x", by="trial", names=["fx"], accepted="ok",
                               workers=1)
    alone = pelto.smooth_frame(one, "ms", ["x"])
    assert list(named.columns) == [*one.columns, "fx", "ok"]
    assert list(pelto.tune_frame(one, "ms", "x", by="trial")) == [1]
    np.testing.assert_array_equal(named["fx"], alone["x_smoothed"])
    threaded = pelto.smooth_frame(frame, "ms", ["x", "y"], by=["participant", "trial"], workers=4)
    serial = pelto.smooth_frame(frame, "ms", ["x", "y"], by=["participant", "trial"], workers=1)
    pd.testing.assert_frame_equal(threaded, serial, check_exact=True)
    with pytest.raises(ValueError, match="unit"):
        pelto.smooth_frame(frame, "ms", "x", unit="minutes")


def test_tuning_per_group_and_summary():
    frame = table()
    results = pelto.tune_frame(frame, "ms", ["x", "y"], by=["participant", "trial"])
    assert list(results) == [("p1", 1), ("p1", 2), ("p2", 1), ("p2", 2)]
    group = frame[(frame["participant"] == "p2") & (frame["trial"] == 2)].sort_values("ms")
    alone = pelto.tune(group["ms"].to_numpy(), group[["x", "y"]].to_numpy())
    assert repr(results[("p2", 2)]) == repr(alone)
    summary = pelto.tuning_summary(results, by=["participant", "trial"])
    assert list(summary.columns[:4]) == ["participant", "trial", "status", "ok"]
    row = summary.iloc[3]
    assert (row["status"], row["min_cut_off"], row["beta"], row["mean_lag_ms"]) == (
        alone.status.name, alone.recommendation.min_cut_off, alone.recommendation.beta,
        alone.recommendation.mean_lag_ms)


def test_works_without_pandas():
    code = "import sys; sys.modules['pandas'] = None; import pelto; print(pelto.pixels_to_degrees)"
    subprocess.run([sys.executable, "-c", code], check=True, capture_output=True)


def test_pixels_to_degrees():
    degrees = pelto.pixels_to_degrees([[500.0, 300.0], [1000.0, 0.0], [np.nan, 600.0]],
                                      screen_size=(40.0, 24.0), resolution=(1000, 600),
                                      distance=20.0)
    np.testing.assert_array_equal(degrees[0], [0.0, 0.0])
    assert degrees[1, 0] == 45.0 and degrees[2, 1] == -degrees[1, 1] > 30.0
    assert np.isnan(degrees[2, 0])
    with pytest.raises(ValueError):
        pelto.pixels_to_degrees([1.0], screen_size=40.0, resolution=1000, distance=0.0)


@pytest.fixture(scope="module")
def client():
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None, silence_logs=40) as cluster:
        with distributed.Client(cluster) as connected:
            yield connected


def test_a_dask_cluster_gives_the_same_results(client):
    dd = pytest.importorskip("dask.dataframe")
    frame = table()
    by = ["participant", "trial"]
    local = pelto.smooth_frame(frame, "ms", ["x", "y"], by=by)
    pd.testing.assert_frame_equal(pelto.smooth_frame(frame, "ms", ["x", "y"], by=by,
                                                     client=client), local, check_exact=True)
    lazy = pelto.smooth_frame(dd.from_pandas(frame, npartitions=3), "ms", ["x", "y"], by=by)
    pd.testing.assert_frame_equal(lazy.compute().loc[frame.index], local, check_exact=True)

    summary = pelto.tuning_summary(pelto.tune_frame(frame, "ms", ["x", "y"], by=by), by=by)
    for remote in (pelto.tune_frame(frame, "ms", ["x", "y"], by=by, client=client),
                   pelto.tune_frame(dd.from_pandas(frame, npartitions=3), "ms", ["x", "y"],
                                    by=by, client=client)):
        assert all(isinstance(result, pelto.ResultCopy) for result in remote.values())
        pd.testing.assert_frame_equal(pelto.tuning_summary(remote, by=by), summary,
                                      check_exact=True)
