#!/usr/bin/env python3
"""Writes three small synthetic cabinet IRs into a folder, the same bytes on every run.

    example-irs.py DEST

They stand in for real IRs where nothing may be fetched: the editor's picture in the manual
and the README, and the install check of the release archives. Each is a mono 16-bit
44.1 kHz WAV file of 1024 samples: a short noise burst from a fixed generator through a
low-pass and a high-pass of the kind a guitar speaker has, with one resonance, decaying in a
few milliseconds. They sound like a cabinet, roughly; they are not measurements of one.
"""

import math
import os
import struct
import sys

RATE = 44100
LENGTH = 1024

# file name, low-pass corner (Hz), high-pass corner (Hz), resonance (Hz), decay (ms), seed
CABS = [
    ("Example 1x12 open back.wav", 5200.0, 110.0, 2600.0, 3.0, 11),
    ("Example 2x12 closed back.wav", 4500.0, 90.0, 2100.0, 4.0, 23),
    ("Example 4x12 closed back.wav", 3800.0, 75.0, 1800.0, 5.5, 37),
]


def noise(seed):
    """A linear congruential generator: the same numbers in every Python."""
    state = seed
    while True:
        state = (state * 1664525 + 1013904223) % 2**32
        yield (state >> 8) / 8388608.0 - 1.0


def biquad(samples, kind, freq, q):
    """Second-order filter (the cookbook low-pass, high-pass and peaking forms)."""
    w = 2.0 * math.pi * freq / RATE
    cw, alpha = math.cos(w), math.sin(w) / (2.0 * q)
    if kind == "low":
        b = [(1 - cw) / 2, 1 - cw, (1 - cw) / 2]
    elif kind == "high":
        b = [(1 + cw) / 2, -(1 + cw), (1 + cw) / 2]
    else:  # a 6 dB peak
        gain = 10 ** (6.0 / 40.0)
        b = [1 + alpha * gain, -2 * cw, 1 - alpha * gain]
        alpha /= gain
    a = [1 + alpha, -2 * cw, 1 - alpha]
    out, x1, x2, y1, y2 = [], 0.0, 0.0, 0.0, 0.0
    for x in samples:
        y = (b[0] * x + b[1] * x1 + b[2] * x2 - a[1] * y1 - a[2] * y2) / a[0]
        out.append(y)
        x1, x2, y1, y2 = x, x1, y, y1
    return out


def cabinet(low, high, resonance, decay_ms, seed):
    source = noise(seed)
    tau = decay_ms * RATE / 1000.0
    burst = [next(source) * math.exp(-i / tau) for i in range(LENGTH)]
    burst[0] = 1.0  # the direct sound first
    shaped = biquad(biquad(biquad(burst, "low", low, 0.9), "high", high, 0.7), "peak", resonance, 2.0)
    # A gentle fade over the last quarter, so that the cut at LENGTH makes no click.
    fade_from = LENGTH * 3 // 4
    for i in range(fade_from, LENGTH):
        shaped[i] *= 0.5 + 0.5 * math.cos(math.pi * (i - fade_from) / (LENGTH - fade_from))
    peak = max(abs(v) for v in shaped)
    return [v / peak * 0.9 for v in shaped]


def write_wav(path, samples):
    data = b"".join(struct.pack("<h", int(round(v * 32767))) for v in samples)
    header = struct.pack("<4sI4s4sIHHIIHH4sI", b"RIFF", 36 + len(data), b"WAVE", b"fmt ", 16, 1, 1,
                         RATE, RATE * 2, 2, 16, b"data", len(data))
    part = path + ".part"
    with open(part, "wb") as f:
        f.write(header + data)
    os.replace(part, path)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: example-irs.py DEST")
    dest = sys.argv[1]
    os.makedirs(dest, exist_ok=True)
    for name, low, high, resonance, decay, seed in CABS:
        write_wav(os.path.join(dest, name), cabinet(low, high, resonance, decay, seed))


if __name__ == "__main__":
    main()
