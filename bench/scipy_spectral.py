#!/usr/bin/env python3
"""Times scipy.signal.welch and scipy.signal.spectrogram on the samples of a file.

Usage: scipy_spectral.py SAMPLES.f64 [REPEATS]
SAMPLES.f64 holds real samples as little-endian float64. Only the calls are
timed (best of REPEATS, default 3), with the settings of bench_spectral_density:
periodic Hann, detrend=False, scaling='density', one-sided; Welch with
nperseg=2048, noverlap=1024, the spectrogram with nperseg=1024, noverlap=512.
Prints "welch <wall seconds> <processor seconds>" and the same for
"spectrogram" and "spectrogram_file": the spectrogram and numpy.savetxt of its
cells, one line "time frequency value" each, as zeph's SG FI writes them (one
run: the file is large).
"""
import os
import tempfile
import sys
import time

import numpy as np
from scipy import signal


def best_time(call, repeats):
    """Best wall and best processor time of the calls, in seconds."""
    wall = cpu = float("inf")
    for _ in range(repeats):
        start, start_cpu = time.perf_counter(), time.process_time()
        call()
        wall = min(wall, time.perf_counter() - start)
        cpu = min(cpu, time.process_time() - start_cpu)
    return "%r %r" % (wall, cpu)


def main():
    x = np.fromfile(sys.argv[1], dtype="<f8")
    repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    common = dict(fs=1.0, window="hann", detrend=False, scaling="density", return_onesided=True)
    print("welch", best_time(lambda: signal.welch(x, nperseg=2048, noverlap=1024, **common), repeats))
    print("spectrogram",
          best_time(lambda: signal.spectrogram(x, nperseg=1024, noverlap=512, mode="psd", **common), repeats))
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "spectrogram.txt")

        def spectrogram_file():
            f, t, s = signal.spectrogram(x, nperseg=1024, noverlap=512, mode="psd", **common)
            cells = np.column_stack((np.repeat(t, f.size), np.tile(f, t.size), s.T.ravel()))
            np.savetxt(path, cells, fmt="%.15E")

        print("spectrogram_file", best_time(spectrogram_file, 1))


if __name__ == "__main__":
    main()
