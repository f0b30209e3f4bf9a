#!/usr/bin/python3
"""Times scipy's signal.welch on the burst of BM_ConditionAndSpectra4x2400
beside that benchmark, in one run, and prints both figures and their ratio.

The data: four channels of 2400 samples at 0.5 s (a swell plus a wind sea
plus noise, as the benchmark builds it), of which welch gets the first 2048
points of each channel as one (4, 2048) array: one segment per channel, a
Hann window, the mean removed, one call for the four channels.

Needs Debian's python3-scipy (apt-get install python3-scipy) and runs under
/usr/bin/python3, Debian's interpreter.  Usage:

    bench/welch_compare.py [build/bench/bench_spectra]
"""
import json
import subprocess
import sys
import time
import timeit

import numpy as np
from scipy import signal


def burst():
    rng = np.random.default_rng(7)
    n, dt = 2400, 0.5
    t = np.arange(n) * dt
    mean = [1000.0, 3.0, -2.0, 50.0]
    amp = [60.0, 40.0, 25.0, 80.0]
    x = np.empty((4, n))
    for c in range(4):
        x[c] = (mean[c] + amp[c] * np.sin(2 * np.pi * t / 11.0 + c)
                + 0.4 * amp[c] * np.sin(2 * np.pi * t / 5.3 + 2 * c)
                + rng.normal(0.0, 1.5, n))
    return (x * 0.1).astype(np.float32), dt


def time_welch():
    x, dt = burst()
    seg = np.ascontiguousarray(x[:, :2048])

    def call():
        return signal.welch(seg, fs=1.0 / dt, nperseg=2048, axis=-1)

    call()
    loops = 2000
    # CPU time of this process, as the benchmark's figure is CPU time.
    best = min(timeit.repeat(call, number=loops, repeat=5, timer=time.process_time)) / loops
    return best * 1e6


def time_ours(program):
    out = subprocess.run(
        [program, "--benchmark_filter=BM_ConditionAndSpectra4x2400$",
         "--benchmark_repetitions=5", "--benchmark_format=json"],
        check=True, capture_output=True, text=True).stdout
    runs = [b for b in json.loads(out)["benchmarks"] if b.get("run_type") == "iteration"]
    return min(b["cpu_time"] for b in runs)  # the benchmark reports microseconds


def main():
    program = sys.argv[1] if len(sys.argv) > 1 else "build/bench/bench_spectra"
    welch = time_welch()
    ours = time_ours(program)
    print(f"scipy signal.welch, 4 x 2048 in one call (CPU): {welch:8.1f} us")
    print(f"BM_ConditionAndSpectra4x2400 (4 x 2400, CPU):    {ours:8.1f} us")
    print(f"ratio ours / welch:                              {ours / welch:8.2f}")


if __name__ == "__main__":
    main()
