#!/usr/bin/env python3
"""marvek.analyze against marvek-cli analyze on the same files: the binding's overhead.

Run by hand after `make python` (see docs/python.md):

    PYTHONPATH=build/release/python /usr/bin/python3 python/bench/bench_analyze.py \
        --cli build/release/cli/marvek-cli [--curves 200 --points 2000 --repeats 7]

It writes CURVES synthetic curves of POINTS points (loading, top hold, unloading with noise),
then times, alternately, `marvek-cli analyze --json --defaults` over them (the whole process)
and marvek.analyze over them in this interpreter, and prints the medians of wall time.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

import numpy as np

import marvek


def write_curves(folder, curves, points):
    rng = np.random.default_rng(1)
    files = []
    n_load, n_hold = points // 2, points // 20
    n_unload = points - n_load - n_hold
    for k in range(curves):
        hmax = 800 + 40 * rng.random()
        h_load = np.linspace(0, hmax, n_load)
        f_load = 10 * (h_load / hmax) ** 2
        h_hold = hmax + np.linspace(0, 5, n_hold)
        hf, m = 0.7 * hmax, 1.4 + 0.1 * rng.random()
        h_unload = np.linspace(h_hold[-1], hf + 1, n_unload)
        f_unload = 10 * ((h_unload - hf) / (h_hold[-1] - hf)) ** m
        depth = np.concatenate([h_load, h_hold, h_unload]) + rng.normal(0, 0.3, points)
        load = np.concatenate([f_load, np.full(n_hold, 10.0), f_unload]) + rng.normal(0, 2e-3, points)
        t = np.arange(points) * 0.05
        seg = ["LOAD"] * n_load + ["TOP_HOLD"] * n_hold + ["UNLOAD"] * n_unload
        path = os.path.join(folder, f"curve_{k:04d}.csv")
        with open(path, "w") as out:
            out.write("Depth (nm),Force (mN),Time (s),Segment\n")
            for row in zip(depth, np.maximum(load, 0), t, seg):
                out.write("%.6f,%.9f,%.2f,%s\n" % row)
        files.append(path)
    return files


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--cli", required=True)
    p.add_argument("--curves", type=int, default=200)
    p.add_argument("--points", type=int, default=2000)
    p.add_argument("--repeats", type=int, default=7)
    a = p.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        files = write_curves(folder, a.curves, a.points)
        cli, py = [], []
        marvek.analyze(files[:4])  # the thread pool and page cache warm, as for the cli's files
        for _ in range(a.repeats):
            start = time.perf_counter()
            subprocess.run([a.cli, "analyze", "--json", "--defaults", *files], check=True,
                           stdout=subprocess.DEVNULL)
            cli.append(time.perf_counter() - start)
            start = time.perf_counter()
            table = marvek.analyze(files)
            py.append(time.perf_counter() - start)
        assert table.ok.all(), table[~table.ok].error.tolist()
        c, m = statistics.median(cli), statistics.median(py)
        print(f"{a.curves} curves x {a.points} points, median of {a.repeats}, load {os.getloadavg()[0]:.1f}")
        print(f"marvek-cli analyze --json (process): {c * 1e3:8.1f} ms")
        print(f"marvek.analyze (DataFrame):          {m * 1e3:8.1f} ms")
        print(f"overhead of the binding: {100 * (m / c - 1):+.1f} %")
        # The lock released: two Python threads, each analysing half on one worker, against the
        # same two calls one after the other.
        halves = [files[::2], files[1::2]]
        seq, par = [], []
        for _ in range(a.repeats):
            start = time.perf_counter()
            for h in halves:
                marvek.analyze(h, threads=1)
            seq.append(time.perf_counter() - start)
            threads = [threading.Thread(target=marvek.analyze, args=(h,), kwargs={"threads": 1})
                       for h in halves]
            start = time.perf_counter()
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            par.append(time.perf_counter() - start)
        s, t2 = statistics.median(seq), statistics.median(par)
        print(f"two halves one after the other (1 worker each): {s * 1e3:8.1f} ms")
        print(f"two halves in two Python threads at once:       {t2 * 1e3:8.1f} ms ({s / t2:.2f}x)")


if __name__ == "__main__":
    sys.exit(main())
