#!/usr/bin/env python3
"""Reference spectrograms and Welch spectra computed with scipy.signal.

Read by tests/dsp/spectral_density_test.cpp. Every case makes its own signal
from a seeded generator and prints it, so the test transforms the very same
samples. Settings: periodic windows (hann, boxcar or ('kaiser', beta)),
nperseg=L, noverlap=O, detrend=False, scaling='density'; one-sided for real
signals, two-sided for complex ones with the frequencies put in ascending
order (fftshift).

Output, one record per line (numbers in repr, which reads back exactly):
  case <window> <beta> <L> <O> <N> <xmin> <dx> <complex 0|1>
  x_re <N values>        x_im <N values>
  freq <values>          time <values>     (time relative to the first sample)
  welch <values>
  column <values>        one per segment, in time order
"""
import numpy as np
from scipy import signal

CASES = [
    # window, beta, L, O, N, xmin, dx, complex
    ("hann", 0.0, 256, 128, 3001, 0.0, 1.0 / 8000.0, False),
    ("hann", 0.0, 255, 0, 3001, -2.5, 0.001, False),
    ("boxcar", 0.0, 100, 99, 1000, 1.0, 0.5, False),
    ("kaiser", 8.6, 64, 63, 700, 0.0, 1.0 / 44100.0, False),
    ("kaiser", 14.0, 77, 20, 1234, 3.0, 2.0, False),
    ("hann", 0.0, 2, 1, 37, 0.0, 1.0, False),
    ("boxcar", 0.0, 500, 0, 500, 0.0, 1.0, False),
    ("hann", 0.0, 101, 50, 999, 0.0, 1.0, False),     # prime L: chirp-z
    ("kaiser", 3.0, 74, 37, 1000, 0.0, 1.0, False),   # L/2 = 37: chirp-z on the halves
    ("hann", 0.0, 192, 96, 2500, 0.0, 1.0, False),    # L/2 = 32·3: power-of-two factor split
    ("hann", 0.0, 128, 64, 2000, 0.0, 1e-3, True),
    ("kaiser", 5.0, 129, 128, 400, -1.0, 0.25, True),
    ("boxcar", 0.0, 64, 0, 1000, 0.0, 1.0, True),
    ("hann", 0.0, 45, 44, 300, 0.0, 1.0, True),
    ("kaiser", 0.5, 96, 17, 1111, 0.0, 3e-6, True),
]


def numbers(name, values):
    print(name, " ".join(repr(float(v)) for v in values))


def main():
    rng = np.random.default_rng(20261207)
    for window_name, beta, length, overlap, n, xmin, dx, is_complex in CASES:
        t = np.arange(n) * dx
        # Noise plus a tone, so that the bins span several decades.
        x = rng.standard_normal(n) + 3.0 * np.cos(2 * np.pi * 0.1 / dx * t)
        if is_complex:
            x = x + 1j * (rng.standard_normal(n) + 2.0 * np.sin(2 * np.pi * 0.23 / dx * t))
        window = ("kaiser", beta) if window_name == "kaiser" else window_name
        common = dict(fs=1.0 / dx, window=window, nperseg=length, noverlap=overlap, detrend=False,
                      scaling="density", return_onesided=not is_complex)
        f, times, sxx = signal.spectrogram(x, mode="psd", **common)
        fw, pw = signal.welch(x, average="mean", **common)
        if is_complex:
            f, sxx = np.fft.fftshift(f), np.fft.fftshift(sxx, axes=0)
            fw, pw = np.fft.fftshift(fw), np.fft.fftshift(pw)
        assert np.array_equal(f, fw)
        print("case", window_name, repr(beta), length, overlap, n, repr(xmin), repr(dx), int(is_complex))
        numbers("x_re", np.real(x))
        numbers("x_im", np.imag(x) if is_complex else np.zeros(n))
        numbers("freq", f)
        numbers("time", times)
        numbers("welch", pw)
        for column in sxx.T:
            numbers("column", column)


if __name__ == "__main__":
    main()
