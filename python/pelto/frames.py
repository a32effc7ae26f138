"""Smoothing and tuning of gaze tables: one row per sample, one recording per group.

A table (a pandas DataFrame) holds a time column, value columns (x, y, per eye, ...) and,
optionally, columns naming the recording a row belongs to (participant, trial, ...). Each group
gets its own fresh bank, fed in time order; the groups run in parallel on threads (the bank and
the tuner release the GIL), or on a Dask cluster when given a Dask DataFrame or a
``distributed.Client``. pandas (and Dask) are imported only when these functions are called.

Times reach the bank in milliseconds: a numeric time column is converted from ``unit`` ("ms",
"s", "us" or "µs", "ns"); a timedelta column is taken as it is; a datetime column (naive or with
a time zone) is measured from the first sample of its group, exactly in integer nanoseconds
before the conversion. Rows without a time are not fed to the bank: they read NaN and not
accepted. Missing values (NaN, None, pd.NA) reach the bank as NaN, which refuses the row and
restarts, as ``pelto.smooth`` does.
"""

from __future__ import annotations

import functools
import os
import typing
from concurrent.futures import ThreadPoolExecutor

import numpy as np

if typing.TYPE_CHECKING:  # pragma: no cover
    import pandas

# How a numeric time column becomes milliseconds: multiply or divide, whichever is exact for
# whole values of the unit.
_UNITS: dict[str, tuple[str, float]] = {
    "ms": ("*", 1.0),
    "s": ("*", 1000.0),
    "us": ("/", 1000.0),
    "µs": ("/", 1000.0),
    "ns": ("/", 1e6),
}
_NAT = np.iinfo(np.int64).min


class ResultCopy:
    """A plain, picklable copy of a native result (e.g. a TuningResult computed on a Dask
    worker): the same read-only attributes with the same values; nested results are copies too."""

    def __init__(self, kind: str, attributes: dict[str, typing.Any]) -> None:
        self.__dict__.update(attributes)
        self._kind = kind

    def __repr__(self) -> str:
        return f"<copy of {self._kind}>"


def _copy(value: typing.Any) -> typing.Any:
    kind = type(value)
    if kind in (list, tuple):
        return kind(_copy(item) for item in value)
    if not kind.__module__.endswith("._pelto"):
        return value
    names = [name for name in dir(kind)
             if not name.startswith("_") and isinstance(getattr(kind, name), property)]
    return ResultCopy(kind.__name__, {name: _copy(getattr(value, name)) for name in names})


def _pandas() -> typing.Any:
    import pandas

    return pandas


def _is_dask(frame: typing.Any) -> bool:
    return hasattr(frame, "__dask_graph__")


def _column_list(columns: str | typing.Sequence[str]) -> list[str]:
    names = [columns] if isinstance(columns, str) else list(columns)
    if not names:
        raise ValueError("name at least one value column")
    return names


def _times(series: pandas.Series, unit: str) -> tuple[np.ndarray, bool]:
    """(times, relative): milliseconds as float64, or integer nanoseconds (NaT as int64's
    minimum) that are measured from each group's first sample when `relative`."""
    pd = _pandas()
    if pd.api.types.is_datetime64_any_dtype(series.dtype):
        if getattr(series.dt, "tz", None) is not None:
            series = series.dt.tz_convert("UTC").dt.tz_localize(None)
        return series.to_numpy(dtype="datetime64[ns]").view(np.int64), True
    if pd.api.types.is_timedelta64_dtype(series.dtype):
        nanoseconds = series.to_numpy(dtype="timedelta64[ns]").view(np.int64)
        return np.where(nanoseconds == _NAT, np.nan, nanoseconds / 1e6), False
    if unit not in _UNITS:
        raise ValueError(f"unit must be one of {', '.join(_UNITS)}, not {unit!r}")
    values = series.to_numpy(dtype=np.float64, na_value=np.nan)
    operation, factor = _UNITS[unit]
    return (values * factor if operation == "*" else values / factor), False


def _group_times(times: np.ndarray, relative: bool, rows: np.ndarray) -> np.ndarray:
    picked = times[rows]
    if not relative:
        return picked
    present = picked != _NAT
    if not present.any():
        return np.full(len(rows), np.nan)
    start = picked[present].min()
    return np.where(present, (picked - np.where(present, start, 0)) / 1e6, np.nan)


def _groups(frame: pandas.DataFrame, by: typing.Any) -> list[tuple[typing.Any, np.ndarray]]:
    """(key, row positions) per group, in the order of the sorted keys; missing keys form groups."""
    if by is None:
        return [(None, np.arange(len(frame)))]
    pd = _pandas()
    names = [by] if not isinstance(by, list) else by
    if not names or len(frame) == 0:
        return []
    codes = np.stack([pd.factorize(frame[name], sort=True, use_na_sentinel=False)[0]
                      for name in names], axis=1)
    _, group_of_row = np.unique(codes, axis=0, return_inverse=True)
    group_of_row = group_of_row.reshape(-1)
    order = np.argsort(group_of_row, kind="stable")
    parts = np.split(order, np.flatnonzero(np.diff(group_of_row[order])) + 1)
    keys = frame[names].iloc[[part[0] for part in parts]].itertuples(index=False, name=None)
    return [(key if isinstance(by, list) else key[0], part) for key, part in zip(keys, parts)]


def _recording(times: np.ndarray, relative: bool, values: np.ndarray,
               rows: np.ndarray) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
    """(rows fed, in time order; their times in ms; their values) of one group."""
    group_times = _group_times(times, relative, rows)
    timed = ~np.isnan(group_times)
    order = np.argsort(group_times[timed], kind="stable")
    fed = rows[timed][order]
    return fed, np.ascontiguousarray(group_times[timed][order]), np.ascontiguousarray(values[fed])


def _recordings(frame: pandas.DataFrame, time: str, columns: list[str], unit: str,
                by: typing.Any) -> list[tuple[typing.Any, np.ndarray, np.ndarray, np.ndarray]]:
    """(key, rows fed in time order, their times in ms, their values) per group."""
    times, relative = _times(frame[time], unit)
    values = frame[columns].to_numpy(dtype=np.float64, na_value=np.nan)
    return [(key, *_recording(times, relative, values, rows)) for key, rows in _groups(frame, by)]


def _smooth_recording(timestamps: np.ndarray, values: np.ndarray,
                      options: dict[str, typing.Any]) -> np.ndarray:
    from . import smooth

    return np.asarray(smooth(timestamps, values, **options))


def _tune_recording(timestamps: np.ndarray, values: np.ndarray, options: dict[str, typing.Any],
                    copy: bool) -> typing.Any:
    from . import tune

    result = tune(timestamps, values, **options)
    return _copy(result) if copy else result


def _run(call: typing.Callable[..., typing.Any], tasks: list[tuple[typing.Any, ...]],
         workers: int | None, client: typing.Any) -> list[typing.Any]:
    if client is not None:
        # Each task ships the function by reference and one group's arrays, nothing else.
        return list(client.gather(client.map(call, *zip(*tasks), pure=False))) if tasks else []
    workers = (os.cpu_count() or 1) if workers is None else workers
    if workers <= 1 or len(tasks) <= 1:
        return [call(*task) for task in tasks]
    with ThreadPoolExecutor(max_workers=workers) as pool:
        return list(pool.map(lambda task: call(*task), tasks))


def _tuning_options(options: dict[str, typing.Any], concurrent: bool) -> dict[str, typing.Any]:
    # Groups tuned at the same time: one sweep thread each, rather than a core's worth per group.
    return {**options, "threads": 1} if concurrent and "threads" not in options else options


def smooth_frame(
    frame: typing.Any,
    time: str,
    columns: str | typing.Sequence[str],
    *,
    unit: str = "ms",
    by: str | list[str] | None = None,
    names: typing.Sequence[str] | None = None,
    accepted: str = "accepted",
    workers: int | None = None,
    client: typing.Any = None,
    **options: typing.Any,
) -> typing.Any:
    """Smooths the value ``columns`` of a table, each group of ``by`` (a column name or a list of
    them; None: the whole table is one recording) with a fresh bank in ``time`` order.

    Returns a copy of the table, same index and row order, with the smoothed columns added as
    ``names`` (default: each column's name + "_smoothed") and a bool column ``accepted``; rows
    the bank refused read NaN and False. ``options`` go to ``pelto.smooth`` (``min_cut_off``,
    ``beta``, ...), and each group's result is bit for bit what ``pelto.smooth`` gives for its
    times (in ms) and values. Groups run on ``workers`` threads (None: one per core), or on
    ``client``'s Dask cluster. A Dask DataFrame gives a Dask DataFrame, grouped on the cluster.
    """
    values_names = _column_list(columns)
    out_names = [f"{name}_smoothed" for name in values_names] if names is None else list(names)
    if len(out_names) != len(values_names):
        raise ValueError(f"{len(values_names)} value columns but {len(out_names)} names")
    if _is_dask(frame):
        one = functools.partial(smooth_frame, time=time, columns=values_names, unit=unit,
                                names=out_names, accepted=accepted, workers=1, **options)
        meta = one(frame._meta)
        if by is None:
            return frame.repartition(npartitions=1).map_partitions(one, meta=meta)
        return frame.groupby(by, group_keys=False).apply(one, meta=meta)

    recordings = _recordings(frame, time, values_names, unit, by)
    results = _run(_smooth_recording, [(stamps, vals, options) for *_, stamps, vals in recordings],
                   workers, client)
    smoothed = np.full((len(frame), len(values_names)), np.nan)
    flags = np.zeros(len(frame), dtype=bool)
    for (_, fed, _, _), result in zip(recordings, results):
        smoothed[fed] = result
        flags[fed] = ~np.isnan(result).any(axis=1)
    table = frame.copy()
    for column, name in enumerate(out_names):
        table[name] = smoothed[:, column]
    table[accepted] = flags
    return table


def tune_frame(
    frame: typing.Any,
    time: str,
    columns: str | typing.Sequence[str],
    *,
    unit: str = "ms",
    by: str | list[str] | None = None,
    workers: int | None = None,
    client: typing.Any = None,
    **options: typing.Any,
) -> dict[typing.Any, typing.Any]:
    """Tunes each group of ``by`` of a table (None: the whole table) as ``pelto.tune`` tunes a
    recording, its rows in ``time`` order; times and missing values as for ``smooth_frame``.

    Returns {group key: result}, keys sorted: a value of the ``by`` column, or a tuple of values
    when ``by`` is a list; None without ``by``. ``options`` go to ``pelto.tune``; when several
    groups are tuned at the same time, each sweep takes one thread unless ``threads`` says
    otherwise. Groups run on ``workers`` threads (None: one per core), or on a Dask cluster when
    given ``client`` or a Dask DataFrame (computed there); results from a cluster are
    ``ResultCopy`` objects with the attributes of a TuningResult. ``tuning_summary`` makes a
    table of them.
    """
    values_names = _column_list(columns)
    if _is_dask(frame):
        if by is None:
            return tune_frame(frame[[time, *values_names]].compute(), time, values_names,
                              unit=unit, workers=workers, client=client, **options)
        one = functools.partial(_tune_table, time=time, columns=values_names, unit=unit,
                                options=_tuning_options(options, True))
        lazy = frame.groupby(by).apply(one, meta=(None, "object"))
        computed = client.compute(lazy).result() if client is not None else lazy.compute()
        computed = computed.sort_index()
        return {(key if not isinstance(by, list) or isinstance(key, tuple) else (key,)): value
                for key, value in computed.items()}

    recordings = _recordings(frame, time, values_names, unit, by)
    tuned = _tuning_options(options, len(recordings) > 1 and (workers != 1 or client is not None))
    tasks = [(stamps, vals, tuned, client is not None) for *_, stamps, vals in recordings]
    return dict(zip([key for key, *_ in recordings], _run(_tune_recording, tasks, workers, client)))


def _tune_table(table: pandas.DataFrame, time: str, columns: list[str], unit: str,
                options: dict[str, typing.Any]) -> typing.Any:
    """One group of a Dask DataFrame, on a worker."""
    ((*_, stamps, vals),) = _recordings(table, time, columns, unit, None)
    return _tune_recording(stamps, vals, options, True)


def tuning_summary(results: typing.Mapping[typing.Any, typing.Any],
                   by: str | list[str] | None = None) -> pandas.DataFrame:
    """One row per group of ``tune_frame``'s results: the group's key columns (named after
    ``by``; "group" without it), ``status`` (the TuningStatus's name), ``ok``, the
    recommendation's ``min_cut_off`` and ``beta``, ``raw_jitter``, the recommendation's
    ``smoothed_jitter``, ``mean_lag_ms`` and ``max_lag_ms`` (NaN without a recommendation), the
    ``lag_budget_ms`` and the ``message``."""
    pd = _pandas()
    key_names = ["group"] if by is None else ([by] if not isinstance(by, list) else by)
    rows = []
    for key, result in results.items():
        keys = list(key) if isinstance(by, list) else [key]
        best = result.recommendation
        figures = [np.nan] * 5 if best is None else [
            best.min_cut_off, best.beta, best.smoothed_jitter, best.mean_lag_ms, best.max_lag_ms]
        rows.append([*keys, result.status.name, bool(result.ok), figures[0], figures[1],
                     result.defaults.raw_jitter, *figures[2:], result.lag_budget_ms,
                     result.message])
    return pd.DataFrame(rows, columns=[
        *key_names, "status", "ok", "min_cut_off", "beta", "raw_jitter", "smoothed_jitter",
        "mean_lag_ms", "max_lag_ms", "lag_budget_ms", "message"])
