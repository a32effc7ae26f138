#!/usr/bin/env python3
"""Times pelto.smooth on a long two-channel recording against the C++ block call and against a
straightforward pure-Python one-euro loop, and reports the ratios.

    PYTHONPATH=build/dev/python /usr/bin/python3 bench/python_smooth.py
    ... --rows 1000000 --timer build/dev/bench/pelto-block-timer --python-rows 200000

The C++ side is pelto-block-timer (built with the benchmarks), run on the same samples. The
pure-Python loop runs on --python-rows samples (all by default) and its time is scaled to the
whole recording; its results are checked against Pelto's, which they match bit for bit.
"""

import argparse
import math
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

import pelto

TWO_PI = 6.283185307179586


class OneEuro:
    """The one-euro filter as a Python user writes it: integer-millisecond timestamps, the
    frequency re-estimated from each interval, two low-pass filters."""

    def __init__(self, freq=30.0, min_cut_off=1.0, beta=0.007, d_cut_off=1.0):
        self.freq, self.min_cut_off, self.beta, self.d_cut_off = freq, min_cut_off, beta, d_cut_off
        self.last_time = -1
        self.x_prev = self.x_hat = self.dx_hat = 0.0
        self.started = False

    def alpha(self, cut_off):
        te = 1.0 / self.freq
        tau = 1.0 / (cut_off * TWO_PI)
        return 1.0 / (tau / te + 1.0)

    def __call__(self, value, timestamp):
        if self.last_time != -1 and timestamp != -1:
            self.freq = 1000.0 / float(timestamp - self.last_time)
        self.last_time = timestamp
        if not self.started:
            self.started = True
            self.x_prev = self.x_hat = value
            return value
        dv = self.freq * (value - self.x_prev)
        a = self.alpha(self.d_cut_off)
        self.dx_hat = a * dv + (1.0 - a) * self.dx_hat
        cut_off = abs(self.dx_hat) * self.beta + self.min_cut_off
        a = self.alpha(cut_off)
        self.x_hat = a * value + (1.0 - a) * self.x_hat
        self.x_prev = value
        return self.x_hat


def pure_python(timestamps, values):
    filters = [OneEuro() for _ in range(values.shape[1])]
    out = []
    for t, row in zip(timestamps.tolist(), values.tolist()):
        ms = int(t)
        out.append([f(v, ms) for f, v in zip(filters, row)])
    return np.array(out)


def best_of(repeats, run):
    best = math.inf
    for _ in range(repeats):
        start = time.perf_counter()
        result = run()
        best = min(best, time.perf_counter() - start)
    return best, result


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rows", type=int, default=1_000_000)
    parser.add_argument("--repeats", type=int, default=5)
    parser.add_argument("--python-rows", type=int, default=None, help="rows for the pure-Python loop")
    parser.add_argument("--timer", type=Path, default=Path("build/dev/bench/pelto-block-timer"))
    args = parser.parse_args()

    rng = np.random.default_rng(1)  # a gaze-like trace: ~60 Hz, irregular, a wandering point
    timestamps = np.cumsum(rng.uniform(10.0, 23.0, args.rows))
    values = np.cumsum(rng.normal(0.0, 3.0, (args.rows, 2)), axis=0) + 500.0

    smooth_time, smoothed = best_of(args.repeats, lambda: pelto.smooth(timestamps, values))
    print(f"rows               {args.rows} x 2 channels, best of {args.repeats}")
    print(f"pelto.smooth       {smooth_time * 1e3:9.2f} ms  ({smooth_time / args.rows * 1e9:.1f} ns/row)")

    with tempfile.TemporaryDirectory() as scratch:
        timestamps.tofile(f"{scratch}/t.f64")
        values.tofile(f"{scratch}/v.f64")
        done = subprocess.run([str(args.timer), f"{scratch}/t.f64", f"{scratch}/v.f64", "2",
                               str(args.repeats)], capture_output=True, text=True, check=True)
    cpp_time = float(done.stdout.split()[1])
    print(f"C++ filterSamples  {cpp_time * 1e3:9.2f} ms  ({cpp_time / args.rows * 1e9:.1f} ns/row)")

    rows = min(args.python_rows or args.rows, args.rows)
    python_time, reference = best_of(1, lambda: pure_python(timestamps[:rows], values[:rows]))
    python_time *= args.rows / rows
    exact = np.array_equal(reference, smoothed[:rows])
    print(f"pure-Python loop   {python_time * 1e3:9.2f} ms  (scaled from {rows} rows; "
          f"same bits as Pelto: {'yes' if exact else 'NO'})")
    print(f"Python / C++       {smooth_time / cpp_time:9.2f}x  (target: within 1.2x)")
    print(f"pure Python / Pelto{python_time / smooth_time:9.1f}x")
    return 0 if exact else 1


if __name__ == "__main__":
    sys.exit(main())
