"""The filter bank from Python: exact results, block calls, copies, bad input, the GIL."""

import copy
import pickle

import numpy as np
import pytest

import pelto
from pelto import OneEuroFilterManager

# The bank's worked example: (timestamp, sample, accepted, values after).
WORKED = [
    (0.0, [10.0, 5.0], True, [10.0, 5.0]),
    (33.0, [20.0, 5.0], True, [12.205030965084358, 5.0]),
    (33.0, [21.0, 5.0], False, [0.0, 0.0]),  # repeated timestamp: NaN, reset
    (66.0, [22.0, 6.0], True, [22.0, 6.0]),
    (99.9, [23.0, 7.0], True, [22.176885954680756, 6.176885954680758]),  # truncated to 99
    (120.0, [1.0], False, [22.176885954680756, 6.176885954680758]),  # wrong length
]


def per_sample(bank, timestamps, values):
    """The reference: one filter_values call per row."""
    rows = [(bank.filter_values(t, row), bank.get_filtered_values()) for t, row in zip(timestamps, values)]
    return np.array([r[1] for r in rows]).reshape(np.shape(values)), np.array([r[0] for r in rows], bool)


def recording(rows=600, channels=2, seed=1):
    """Irregular ~60 Hz timestamps and noisy values, with every kind of sample the bank refuses."""
    rng = np.random.default_rng(seed)
    t = np.cumsum(rng.uniform(5.0, 30.0, rows))
    v = 500.0 + rng.normal(0.0, 20.0, (rows, channels))
    t[[50, 51]] = t[49]  # repeated timestamps
    t[[100, 300]] = [np.nan, np.inf]  # untruncatable timestamps: refused, nothing changes
    t[200] = -1.0  # no timestamp
    t[400] = t[399] - 40.0  # going back in time
    v[250, 0], v[450, -1] = np.nan, -np.inf
    return t, v


def test_worked_example_exactly():
    bank = OneEuroFilterManager()
    assert bank.get_filtered_values().tolist() == [0.0, 0.0]
    for timestamp, sample, accepted, after in WORKED:
        assert bank.filter_values(timestamp, sample) is accepted
        assert bank.get_filtered_values().tolist() == after, timestamp


def test_parameters_fall_back_to_defaults_and_read_back():
    fallback = OneEuroFilterManager(count=0, freq=0.0, min_cut_off=-1.0, beta=0.0, d_cut_off=0.0)
    assert repr(fallback) == "OneEuroFilterManager(count=2, freq=30.0, min_cut_off=1.0, beta=0.0, d_cut_off=1.0)"
    assert fallback.parameters == pelto.FilterParameters(beta=0.0) != pelto.FilterParameters()
    assert repr(fallback.parameters) == "FilterParameters(freq=30.0, min_cut_off=1.0, beta=0.0, d_cut_off=1.0)"
    plain = OneEuroFilterManager(2, 30.0, 1.0, 0.0, 1.0)
    t, v = recording()
    assert np.array_equal(fallback.filter_samples(t, v)[0], plain.filter_samples(t, v)[0], equal_nan=True)


@pytest.mark.parametrize("channels", [1, 2, 3, 8], ids=lambda c: f"{c}ch")
def test_block_equals_per_sample(channels):
    t, v = recording(channels=channels)
    expected, flags = per_sample(OneEuroFilterManager(count=channels), t, v)
    assert not flags.all() and flags.sum() > 500  # resets and refusals happened
    smoothed, accepted = OneEuroFilterManager(count=channels).filter_samples(t, v)
    assert smoothed.dtype == np.float64 and smoothed.shape == v.shape
    assert accepted.dtype == np.bool_ and accepted.tolist() == flags.tolist()
    assert np.array_equal(smoothed, expected, equal_nan=True)
    if channels == 1:  # 1-D values are one channel
        assert np.array_equal(OneEuroFilterManager(count=1).filter_samples(t, v[:, 0])[0], expected[:, 0],
                              equal_nan=True)


@pytest.mark.parametrize(
    "convert",
    [
        pytest.param(lambda t, v: (t, np.asfortranarray(v)), id="fortran"),
        pytest.param(lambda t, v: (np.repeat(t, 2)[::2], np.repeat(v, 3, axis=0)[::3]), id="strided"),
        pytest.param(lambda t, v: (t.astype(np.float32), v.astype(np.float32)), id="float32"),
        pytest.param(lambda t, v: (t.astype(np.int64), v.astype(np.int32)), id="int"),
        pytest.param(lambda t, v: (t.tolist(), v.tolist()), id="lists"),
    ],
)
def test_any_layout_gives_what_float64_gives(convert):
    t, v = recording()
    t[[100, 300]] = 90.0  # integer and float32 inputs hold no NaN
    v[[250, 450]] = 1.0
    t2, v2 = convert(t, v)
    reference = OneEuroFilterManager().filter_samples(np.asarray(t2, np.float64), np.asarray(v2, np.float64))
    result = OneEuroFilterManager().filter_samples(t2, v2)
    assert np.array_equal(result[0], reference[0]) and np.array_equal(result[1], reference[1])


@pytest.mark.parametrize("channels", [1, 2], ids=["1-D", "2-D"])
def test_smooth_is_a_fresh_bank_with_nan_where_refused(channels):
    t, v = recording(channels=channels)
    values = v[:, 0] if channels == 1 else v
    params = dict(freq=60.0, min_cut_off=0.5, beta=0.02, d_cut_off=2.0)
    exact = dict(params, precision=pelto.TimestampPrecision.EXACT)
    smoothed, accepted = OneEuroFilterManager(count=channels, **exact).filter_samples(t, values)
    smoothed[~accepted] = np.nan
    assert np.array_equal(pelto.smooth(t, values, **params), smoothed, equal_nan=True)  # exact by default
    whole = dict(params, precision=pelto.TimestampPrecision.WHOLE_MILLISECONDS)
    smoothed, accepted = OneEuroFilterManager(count=channels, **whole).filter_samples(t, values)
    smoothed[~accepted] = np.nan
    assert np.array_equal(pelto.smooth(t, values, **whole), smoothed, equal_nan=True)


def test_construction_choices_read_back_and_refuse_other_numbers():
    bank = OneEuroFilterManager(
        3, 0.0, 2.0, 0.5, 0.0, precision=pelto.TimestampPrecision.EXACT, derivative=pelto.DerivativeSource.FILTERED
    )
    assert (bank.count, bank.freq, bank.min_cut_off, bank.beta, bank.d_cut_off) == (3, 30.0, 2.0, 0.5, 1.0)
    assert bank.precision is pelto.TimestampPrecision.EXACT and bank.derivative is pelto.DerivativeSource.FILTERED
    assert repr(bank).endswith(", precision=TimestampPrecision.EXACT, derivative=DerivativeSource.FILTERED)")
    for bad in (dict(precision=2), dict(derivative=-1)):
        with pytest.raises(ValueError, match="no case"):
            OneEuroFilterManager(**bad)


@pytest.mark.parametrize("precision", list(pelto.TimestampPrecision), ids=str)
@pytest.mark.parametrize("derivative", list(pelto.DerivativeSource), ids=str)
def test_copies_and_pickles_continue_exactly(precision, derivative):
    bank = OneEuroFilterManager(count=3, freq=60.0, beta=-0.05, precision=precision, derivative=derivative)
    t, v = recording(channels=3)
    bank.filter_samples(t[:300], v[:300])
    twins = [copy.copy(bank), copy.deepcopy(bank), pickle.loads(pickle.dumps(bank))]
    expected = bank.filter_samples(t[300:], v[300:])
    for twin in twins:
        assert repr(twin) == repr(bank)
        result = twin.filter_samples(t[300:], v[300:])
        assert np.array_equal(result[0], expected[0]) and np.array_equal(result[1], expected[1])


@pytest.mark.parametrize(
    "state",
    [
        (3, 2, 30.0, 1.0, 0.007, 1.0, ()),
        (1, 2, 30.0, 1.0, 0.007, 1.0, (0,) * 5),
        (2, 2, 30.0, 1.0, 0.007, 1.0, 0, 0, b"PELTOBNK"),
        (2, 2, 30.0, 1.0, 0.007, 1.0, 7, 0, b""),
        (2, 2, 31.0, 1.0, 0.007, 1.0, 0, 0, OneEuroFilterManager().__getstate__()[8]),
        (1,),
        "junk",
    ],
    ids=["format", "size", "bytes", "choice", "parameters", "short", "type"],
)
def test_foreign_pickle_state_is_refused(state):
    bank = OneEuroFilterManager.__new__(OneEuroFilterManager)  # as pickle.loads does
    with pytest.raises((ValueError, TypeError)):
        bank.__setstate__(state)


def test_a_state_pickled_by_the_first_release_still_loads():
    bank = OneEuroFilterManager(count=3, beta=0.1)
    t, v = recording(channels=3)
    bank.filter_samples(t[:100], v[:100])
    # Format 1: six shared words, then four channel arrays of 4 lanes (3 channels and a padding lane
    # that repeats the last), every number as its 64-bit pattern.
    words = np.frombuffer(bank.__getstate__()[8][8:], "<u8")
    shared, arrays = words[8:14], words[14:].reshape(4, 3)
    padded = np.concatenate([arrays, arrays[:, -1:]], axis=1)
    older = OneEuroFilterManager.__new__(OneEuroFilterManager)
    older.__setstate__((1, 3, 30.0, 1.0, 0.1, 1.0, tuple(int(w) for w in np.concatenate([shared, padded.ravel()]))))
    assert older.__getstate__() == bank.__getstate__()


def test_get_filtered_values_is_a_new_array():
    bank = OneEuroFilterManager()
    bank.filter_values(0.0, np.array([1.0, 2.0]))
    first = bank.get_filtered_values()
    first[0] = 99.0
    bank.filter_values(33.0, (3, 4))
    assert first.tolist() == [99.0, 2.0] and bank.get_filtered_values()[0] != 99.0


# (timestamps, values, error, also bad for smooth(), whose bank takes any channel count)
BAD_BLOCKS = {
    "2-D timestamps": (np.zeros((3, 1)), np.zeros((3, 2)), ValueError, True),
    "0-D timestamps": (1.0, np.zeros((1, 2)), ValueError, True),
    "lengths differ": (np.arange(3.0), np.zeros((4, 2)), ValueError, True),
    "3-D values": (np.arange(3.0), np.zeros((3, 2, 1)), ValueError, True),
    "3 channels for 2": (np.arange(3.0), np.zeros((3, 3)), ValueError, False),
    "1-D values for 2": (np.arange(3.0), np.zeros(3), ValueError, False),
    "ragged": (np.arange(2.0), [[1.0, 2.0], [3.0]], ValueError, True),
    "object": (np.arange(2.0), np.array([[1, 2], [3, None]], dtype=object), TypeError, True),
    "complex": (np.arange(2.0), np.ones((2, 2), complex), TypeError, True),
    "bool": (np.arange(2.0), np.ones((2, 2), bool), TypeError, True),
    "text": (["0", "1"], np.zeros((2, 2)), TypeError, True),
    "None": (None, np.zeros((2, 2)), TypeError, True),
}


@pytest.mark.parametrize("timestamps, values, error, for_smooth", BAD_BLOCKS.values(), ids=BAD_BLOCKS.keys())
def test_bad_blocks_raise_and_change_nothing(timestamps, values, error, for_smooth):
    bank = OneEuroFilterManager()
    bank.filter_values(0.0, [1.0, 2.0])
    before = bank.__getstate__()
    with pytest.raises(error):
        bank.filter_samples(timestamps, values)
    assert bank.__getstate__() == before
    if for_smooth:
        with pytest.raises(error):
            pelto.smooth(timestamps, values)


@pytest.mark.parametrize(
    "values, outcome",
    [([1.0], False), ([1.0, 2.0, 3.0], False), ([[1.0, 2.0]], ValueError), ([1j, 2j], TypeError)],
    ids=["short", "long", "2-D", "complex"],
)
def test_bad_samples(values, outcome):
    bank = OneEuroFilterManager()
    bank.filter_values(0.0, [1.0, 2.0])
    before = bank.__getstate__()
    if outcome is False:
        assert bank.filter_values(33.0, values) is False
    else:
        with pytest.raises(outcome):
            bank.filter_values(33.0, values)
    assert bank.__getstate__() == before


def test_smooth_needs_a_channel_and_accepts_an_empty_recording():
    with pytest.raises(ValueError):
        pelto.smooth(np.arange(3.0), np.zeros((3, 0)))
    assert pelto.smooth(np.zeros(0), np.zeros((0, 2))).shape == (0, 2)


def test_block_call_releases_the_gil(ticks_during):
    rows = 2_000_000
    t = np.arange(rows) * 16.0
    v = np.random.default_rng(0).normal(size=(rows, 2))
    assert ticks_during(lambda: OneEuroFilterManager().filter_samples(t, v)) >= 2
