#!/usr/bin/env python3
"""Tunes a whole corpus of gaze recordings at once, one group per recording, on threads or on a
Dask cluster, and smooths every recording with its own recommendation.

    PYTHONPATH=build/dev/python /usr/bin/python3 examples/python/tune_corpus.py recordings/
    PYTHONPATH=build/dev/python /usr/bin/python3 examples/python/tune_corpus.py recordings/ \\
        --dask 2 --out smoothed.csv

Each CSV holds `timestamp,x,y` (milliseconds, then the two coordinates; an empty x,y is a missing
sample). The recordings become one table with a `recording` column, as a lab keeps them;
`--dask N` starts a local cluster of N worker processes (give `--scheduler ADDRESS` for a cluster
of many machines) and checks that it gives the same table as the threads.
"""

import argparse
import pathlib
import sys
import time

import pandas as pd

import pelto


def read_corpus(folder):
    frames = [pd.read_csv(path).assign(recording=path.stem)
              for path in sorted(pathlib.Path(folder).glob("*.csv"))
              if not path.name.endswith(".events.csv")]
    return pd.concat(frames, ignore_index=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", help="a folder of timestamp,x,y CSV files")
    parser.add_argument("--dask", type=int, metavar="N", help="also run on N local workers")
    parser.add_argument("--scheduler", help="the address of a running Dask scheduler")
    parser.add_argument("--out", help="write the smoothed table here (CSV)")
    args = parser.parse_args()

    corpus = read_corpus(args.folder)
    print(f"{corpus['recording'].nunique()} recordings, {len(corpus)} samples")
    started = time.perf_counter()
    results = pelto.tune_frame(corpus, "timestamp", ["x", "y"], by="recording")
    print(f"tuned on threads in {time.perf_counter() - started:.2f} s")
    summary = pelto.tuning_summary(results, by="recording")
    with pd.option_context("display.width", 200, "display.max_columns", 20):
        print(summary.drop(columns="message").to_string(index=False, float_format="{:.4g}".format))

    if args.dask or args.scheduler:
        from dask.distributed import Client, LocalCluster

        cluster = None if args.scheduler else LocalCluster(n_workers=args.dask,
                                                           threads_per_worker=1)
        with Client(args.scheduler or cluster) as client:
            started = time.perf_counter()
            remote = pelto.tune_frame(corpus, "timestamp", ["x", "y"], by="recording",
                                      client=client)
            print(f"tuned on Dask in {time.perf_counter() - started:.2f} s "
                  f"(workers started before): same table as the threads: "
                  f"{pelto.tuning_summary(remote, by='recording').equals(summary)}")
        if cluster is not None:
            cluster.close()

    # Each recording smoothed with its own recommendation (the defaults where it has none).
    parts = []
    for key, group in corpus.groupby("recording"):
        best = results[key].recommendation
        tuned = {} if best is None else {"min_cut_off": best.min_cut_off, "beta": best.beta}
        parts.append(pelto.smooth_frame(group, "timestamp", ["x", "y"], **tuned))
    smoothed = pd.concat(parts).loc[corpus.index]
    print(f"smoothed: {smoothed['accepted'].mean():.1%} of the samples accepted")
    if args.out:
        smoothed.to_csv(args.out, index=False)
        print(f"written: {args.out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
