#!/usr/bin/env python3
"""Reference responses of the designed filters, computed with scipy.signal.

Read by tests/dsp/filters_test.cpp. Everything is derived from scipy's analogue
prototypes; the only conventions taken from the filter design are its
normalisations:
  * every response has unit gain at zero frequency (before the band-pass
    transformation);
  * Chebyshev poles are scipy's cheb1ap poles divided by cosh(asinh(1/eps)/n),
    eps = sqrt(10^(R/10) - 1);
  * Bessel poles are normalised to unit group delay (besselap norm='delay');
    the test designs its Bessel filter with a cut-off of f_ref times the
    filter's own 3-dB factor, which puts the poles at p * 2*pi*f_ref;
  * a band-pass substitutes s -> (s^2 + wm^2)/s in the low-pass of cut-off
    2*pi*bandwidth, which is scipy's lp2bp_zpk(wo=wm, bw=2*pi*bandwidth).

Output, one record per line:
  pole <order> <re> <im>       delay-normalised Bessel poles with im >= 0
  factor <order> <value>       3-dB frequency of the delay-normalised Bessel filter
  case <family> <order> <ripple_db> <cutoff_hz> <mid_hz> <band_pass 0|1>
  point <f_hz> <re> <im>       H(j*2*pi*f) of the case above
"""
import math

import numpy as np
from scipy import signal

ORDERS = range(1, 12)
CHEBYSHEV_RIPPLES_DB = (0.5, 1.0, 3.0)
CUTOFF_HZ = 100.0
MID_HZ = 1000.0
BANDWIDTH_HZ = 100.0


def unit_dc_gain(poles):
    return float(np.real(np.prod(-poles)))


def prototype(family, order, ripple_db):
    """Unit-cut-off poles of the low-pass prototype, normalised as the design does."""
    if family == "BUTT":
        _, poles, _ = signal.buttap(order)
    elif family == "CHEB":
        _, poles, _ = signal.cheb1ap(order, ripple_db)
        eps = math.sqrt(10.0 ** (ripple_db / 10.0) - 1.0)
        poles = poles / math.cosh(math.asinh(1.0 / eps) / order)
    elif family == "BESS":
        _, poles, _ = signal.besselap(order, norm="delay")
    else:
        raise ValueError(family)
    return np.asarray(poles, dtype=complex)


def response(poles, cutoff_hz, band_pass, frequencies_hz):
    wc = 2.0 * math.pi * cutoff_hz
    zeros = np.array([], dtype=complex)
    gain = unit_dc_gain(poles)
    if band_pass:
        zeros, poles, gain = signal.lp2bp_zpk(zeros, poles, gain, wo=2.0 * math.pi * MID_HZ, bw=wc)
    else:
        poles = poles * wc
        gain = unit_dc_gain(poles)
    _, h = signal.freqs_zpk(zeros, poles, gain, worN=2.0 * math.pi * np.asarray(frequencies_hz))
    return h


def frequencies(band_pass):
    if band_pass:
        around = MID_HZ + BANDWIDTH_HZ * np.linspace(-4.0, 4.0, 33)
        return np.concatenate([around, -around[::4], [0.0]])
    above = CUTOFF_HZ * np.logspace(-2.0, 2.0, 33)
    return np.concatenate([[0.0], above, -above[::4]])


def main():
    for order in ORDERS:
        poles = prototype("BESS", order, 0.0)
        for p in sorted((p for p in poles if p.imag >= -1e-12), key=lambda p: -p.imag):
            print(f"pole {order} {p.real:.17g} {p.imag:.17g}")
        _, mag_poles, _ = signal.besselap(order, norm="mag")
        print(f"factor {order} {np.max(np.abs(poles)) / np.max(np.abs(mag_poles)):.17g}")

    cases = [("BUTT", 0.0), ("BESS", 0.0)] + [("CHEB", r) for r in CHEBYSHEV_RIPPLES_DB]
    for family, ripple_db in cases:
        for order in ORDERS:
            for band_pass in (False, True):
                cutoff = BANDWIDTH_HZ if band_pass else CUTOFF_HZ
                mid = MID_HZ if band_pass else 0.0
                print(f"case {family} {order} {ripple_db:.17g} {cutoff:.17g} {mid:.17g} {int(band_pass)}")
                f = frequencies(band_pass)
                h = response(prototype(family, order, ripple_db), cutoff, band_pass, f)
                for fi, hi in zip(f, h):
                    print(f"point {fi:.17g} {hi.real:.17g} {hi.imag:.17g}")


if __name__ == "__main__":
    main()
