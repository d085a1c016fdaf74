#!/usr/bin/env python3
"""Reference samples of the alert tables, computed apart from the program.

The single-precision step constants are taken exactly (through a 4-byte float
round trip) and everything else runs in 60-digit decimal arithmetic with
mpmath, so the values do not share the program's long double rounding. For
each chosen index it prints the sample and how far the unrounded product lies
from the nearest integer (indices too close to one would not be a fair test).
Run: python3 alert_tables_reference.py
"""
import struct
from mpmath import mp, mpf, sin

mp.dps = 60


def f32(x):
    return mpf(struct.unpack("<f", struct.pack("<f", x))[0])


def chirp():
    step, rad = f32(0.18142235), f32(0.00014247574)
    f, p, out = mpf(1000), mpf(0), []
    for k in range(16535):
        f += step
        if f > 2000:
            f = mpf(1000)
        p += f * rad
        n = 49608 - 3 * k
        a = 3 * k if n >= 49309 else (327 if n >= 300 else n)
        out.append(a * sin(p))
    return out


def siren():
    qs, rs = f32(0.00056990294), f32(0.14247574)
    q, r, out = mpf(0), mpf(0), []
    for _ in range(11025):
        q += qs
        r += (sin(q) + 1) * rs + rs
        out.append(327 * sin(r))
    return out


def show(name, values, indices):
    for i in indices:
        v = values[i]
        t = int(v)  # toward zero
        print(f"{name}[{i}] = {t}   (margin {float(min(abs(v - round(v)), 1)):.3g})")


show("chirp", chirp(), [1, 2, 50, 99, 100, 101, 2000, 5511, 5512, 5513, 11025, 16436, 16437, 16534])
show("siren", siren(), [0, 1, 1000, 2756, 5512, 8268, 11024])
