#!/usr/bin/env python3
"""Synthesises the demo's example: four seconds of a drum-and-bass loop at 174 BPM,
mixed too hot and clipped at full scale, the way a mix arrives that needs a limiter.

Everything is computed from fixed seeds, so the file is the same on every run.
Writes a 16-bit stereo WAV at 44.1 kHz; make-example.sh turns it into the FLAC
that the repository keeps.

    python3 make-example.py OUT.wav
"""

import math
import random
import struct
import sys
import wave

RATE = 44100
SECONDS = 4.0
BPM = 174.0
FRAMES = int(RATE * SECONDS)
SIXTEENTH = 60.0 / BPM / 4.0

rng = random.Random(1770)
left = [0.0] * FRAMES
right = [0.0] * FRAMES


def add(start_s, samples, pan=0.0):
    """Mixes a mono voice in at start_s seconds, with a constant-power pan (-1 to 1)."""
    start = int(start_s * RATE)
    angle = (pan + 1.0) * math.pi / 4.0
    gl, gr = math.cos(angle) * math.sqrt(2.0), math.sin(angle) * math.sqrt(2.0)
    for i, v in enumerate(samples):
        j = start + i
        if j >= FRAMES:
            break
        left[j] += gl * v
        right[j] += gr * v


def kick(gain=1.0):
    n = int(0.35 * RATE)
    out, phase = [], 0.0
    for i in range(n):
        t = i / RATE
        freq = 48.0 + 170.0 * math.exp(-t * 38.0)
        phase += 2.0 * math.pi * freq / RATE
        click = math.exp(-t * 900.0) * 0.6
        out.append(gain * (math.sin(phase) * math.exp(-t * 9.0) + click))
    return out


def snare(gain=1.0):
    n = int(0.25 * RATE)
    out, lp = [], 0.0
    for i in range(n):
        t = i / RATE
        noise = rng.uniform(-1.0, 1.0)
        lp += 0.55 * (noise - lp)
        body = math.sin(2.0 * math.pi * 185.0 * t) * math.exp(-t * 30.0)
        out.append(gain * (0.9 * (noise - 0.5 * lp) * math.exp(-t * 17.0) + 0.8 * body))
    return out


def hat(gain=1.0, length=0.05):
    n = int(length * RATE)
    out, prev = [], 0.0
    for i in range(n):
        t = i / RATE
        noise = rng.uniform(-1.0, 1.0)
        out.append(gain * (noise - prev) * math.exp(-t * 70.0))
        prev = noise
    return out


def reese(freq, seconds, gain=1.0):
    """Two detuned saws through a one-pole low-pass: the classic rolling bass."""
    n = int(seconds * RATE)
    out, p1, p2, lp = [], 0.0, 0.37, 0.0
    for i in range(n):
        p1 = (p1 + freq * 0.993 / RATE) % 1.0
        p2 = (p2 + freq * 1.007 / RATE) % 1.0
        saw = (2.0 * p1 - 1.0) + (2.0 * p2 - 1.0)
        lp += 0.08 * (saw - lp)
        env = min(1.0, i / (0.004 * RATE)) * min(1.0, (n - i) / (0.01 * RATE))
        out.append(gain * lp * env)
    return out


def stab(freqs, seconds, gain=1.0):
    n = int(seconds * RATE)
    return [gain * sum(math.sin(2.0 * math.pi * f * i / RATE) for f in freqs) / len(freqs)
            * math.exp(-i / RATE * 6.0) for i in range(n)]


steps = int(SECONDS / SIXTEENTH) + 1
bass_notes = [43.65, 43.65, 51.91, 38.89]          # F1, F1, G#1, D#1: one note per bar
for s in range(steps):
    t = s * SIXTEENTH
    pos = s % 16
    if pos in (0, 10):
        add(t, kick(1.15))
    if pos in (4, 12):
        add(t, snare(0.95), pan=0.05)
    if pos == 7 and (s // 16) % 2 == 1:
        add(t, snare(0.35), pan=-0.1)              # ghost snare
    if pos % 2 == 0:
        add(t, hat(0.35 if pos % 4 == 2 else 0.2), pan=0.35)
    if pos == 14:
        add(t, hat(0.25, 0.12), pan=-0.3)          # open hat
    if pos == 0:
        add(t, reese(bass_notes[(s // 16) % 4], 16 * SIXTEENTH, 0.55), pan=0.0)
    if pos == 0 and (s // 16) % 2 == 0:
        add(t, stab([349.2, 415.3, 523.3], 0.5, 0.22), pan=-0.4)

# Mixed 4 dB too hot and saturated into full scale: a mix that clips.
drive = 1.6
peak_l = max(abs(v) for v in left)
peak_r = max(abs(v) for v in right)
norm = drive / max(peak_l, peak_r)


def to_int16(v):
    v = math.tanh(v * norm * 1.25) / math.tanh(1.25 * drive) * 0.999
    return max(-32768, min(32767, int(round(v * 32767.0))))


data = bytearray()
for l, r in zip(left, right):
    data += struct.pack("<hh", to_int16(l), to_int16(r))

with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(2)
    w.setsampwidth(2)
    w.setframerate(RATE)
    w.writeframes(bytes(data))
