#!/usr/bin/env python3
"""Smooths a gaze recording from CSV with pelto.smooth and, where matplotlib is installed, saves a
PNG of raw against smoothed.

    cmake --workflow --preset demo        # writes build/release/demo/smoothed.csv
    PYTHONPATH=build/dev/python /usr/bin/python3 examples/python/smooth_csv.py \\
        build/release/demo/smoothed.csv --png gaze.png

The CSV is either the demo's output (timestamp,accepted,x,y,x_smoothed,y_smoothed: the raw
columns are smoothed again and compared with the demo's, which they match bit for bit), or a
recording as the demo reads one: the timestamp in milliseconds, then one column per channel, with
an optional header line.
"""

import argparse
import csv
import sys

import numpy as np

import pelto


def read_csv(path):
    """(timestamps, raw channels, channel names, the demo's smoothed channels or None)."""
    with open(path, newline="", encoding="utf-8") as file:
        rows = [row for row in csv.reader(file) if row]
    header = rows[0] if rows and not _is_number(rows[0][0]) else None
    body = rows[1:] if header else rows
    table = np.array([[float(cell) if cell else np.nan for cell in row] for row in body]).reshape(len(body), -1)
    if header and len(header) > 1 and header[1] == "accepted":  # the demo's output
        channels = (len(header) - 2) // 2
        names = header[2:2 + channels]
        return table[:, 0], table[:, 2:2 + channels], names, table[:, 2 + channels:]
    names = header[1:] if header else [f"channel {i}" for i in range(1, table.shape[1])]
    return table[:, 0], table[:, 1:], names, None


def _is_number(text):
    try:
        float(text)
        return True
    except ValueError:
        return False


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("csv", help="the demo's smoothed.csv, or a recording")
    parser.add_argument("--png", default="smoothed.png", help="where to save the plot")
    parser.add_argument("--min-cut-off", type=float, default=pelto.OneEuroFilterManager.DEFAULT_MIN_CUT_OFF)
    parser.add_argument("--beta", type=float, default=pelto.OneEuroFilterManager.DEFAULT_BETA)
    args = parser.parse_args()

    timestamps, raw, names, demo = read_csv(args.csv)
    smoothed = pelto.smooth(timestamps, raw, min_cut_off=args.min_cut_off, beta=args.beta)
    refused = np.isnan(smoothed).any(axis=1)
    print(f"{len(timestamps)} samples of {', '.join(names)}; {refused.sum()} refused by the bank")
    if demo is not None and args.min_cut_off == 1.0 and args.beta == 0.007:
        same = np.array_equal(smoothed, demo, equal_nan=True)
        print(f"same bits as the C++ demo: {'yes' if same else 'NO'}")

    try:
        import matplotlib

        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
    except ImportError:
        print("matplotlib is not installed: no plot")
        return 0
    figure, axes = plt.subplots(len(names), 1, sharex=True, figsize=(10, 3 * len(names)), squeeze=False)
    for axis, name, column in zip(axes[:, 0], names, range(len(names))):
        axis.plot(timestamps, raw[:, column], lw=0.6, color="0.6", label=f"{name} raw")
        axis.plot(timestamps, smoothed[:, column], lw=1.2, label=f"{name} smoothed")
        floor = np.full(refused.sum(), np.nanmin(raw[:, column]))  # refused rows may hold no value
        axis.plot(timestamps[refused], floor, "r|", ms=10, label="refused")
        axis.legend(loc="upper right")
    axes[-1, 0].set_xlabel("time (ms)")
    figure.tight_layout()
    figure.savefig(args.png, dpi=120)
    print(f"plot: {args.png}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
