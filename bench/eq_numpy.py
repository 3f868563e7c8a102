#!/usr/bin/env python3
"""numpy's twin of bench_eq's BM_EqSignal: SIN(TWOPI*50*X)*EXP(-X)+GAUSS(a,b)
over X = 0, 1/n, ..., and of BM_EqSessionB and BM_EqSessionA (the two
formulas of perf/compare_zeph.sh's session), in ns per sample (best of several runs, one thread),
wall-clock and CPU time (on a busy machine the CPU time is the fairer figure).

Usage: bench/eq_numpy.py [runs]   (prints one line per size and formula)
"""
import sys
import time

import numpy as np


def eq(n, rng, mean, sd):
    x = np.arange(n, dtype=np.float64) / n
    return np.sin(2 * np.pi * 50 * x) * np.exp(-x) + rng.normal(mean, sd, n)


def session_b(n):
    """COS(TWOPI*50.*X), X from 0 in steps of 1/1024 (the session's B)."""
    x = np.arange(n, dtype=np.float64) * 0.0009765625
    return np.cos(2 * np.pi * 50.0 * x).astype(np.complex128)


def session_a(n, b):
    """K*A + B*CMPLX(0.,SIN(PI*X)) with A absent (zeros), the session's A."""
    x = np.arange(n, dtype=np.float64) * 0.0009765625
    return complex(2.0, 0.5) * np.zeros(n, dtype=np.complex128) + b * (1j * np.sin(np.pi * x))


def best_of(runs, work):
    best = best_cpu = float("inf")
    for _ in range(runs):
        start, start_cpu = time.perf_counter(), time.process_time()
        work()
        best = min(best, time.perf_counter() - start)
        best_cpu = min(best_cpu, time.process_time() - start_cpu)
    return best, best_cpu


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    rng = np.random.default_rng(12345)
    for name, mean, sd in (("GAUSS(1)", 1.0, 0.0), ("GAUSS(0.,1.)", 0.0, 1.0)):
        for n in (1 << 20, 1 << 24):
            best = best_cpu = float("inf")
            for _ in range(runs):
                start, start_cpu = time.perf_counter(), time.process_time()
                eq(n, rng, mean, sd)
                best = min(best, time.perf_counter() - start)
                best_cpu = min(best_cpu, time.process_time() - start_cpu)
            print(f"numpy {name:13s} n=2^{n.bit_length() - 1}: {best * 1e9 / n:6.2f} ns/sample wall, "
                  f"{best_cpu * 1e9 / n:6.2f} CPU")
    for n in (1 << 20, 1 << 24):
        b = session_b(n)
        for name, work in (("session B", lambda: session_b(n)), ("session A", lambda: session_a(n, b))):
            best, best_cpu = best_of(runs, work)
            print(f"numpy {name:13s} n=2^{n.bit_length() - 1}: {best * 1e9 / n:6.2f} ns/sample wall, "
                  f"{best_cpu * 1e9 / n:6.2f} CPU")


if __name__ == "__main__":
    main()
