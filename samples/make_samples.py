#!/usr/bin/env python3
"""Writes the small sample files of the README (16-bit PCM WAVE):

  vowel.wav   16000 Hz mono, 2.5 s: a voiced vowel-like sound, a harmonic
              series on a gliding pitch (110 -> 140 Hz) whose formants move
              from an open vowel to a closed front one.
  chirp.wav   22050 Hz mono, 2.0 s: an exponential sweep from 100 Hz to 8 kHz.
  stereo.wav  16000 Hz stereo, 2.0 s: left, tone bursts of 500, 1000 and
              2000 Hz; right, a 1500 Hz tone amplitude-modulated at 8 Hz.

Only the standard library is used; the output is the same on every run.
Usage: make_samples.py [output folder]   (default: the folder of this script)
"""
import math
import os
import struct
import sys
import wave


def write(path, rate, channels):
    """`channels` is a list of equally long lists of floats in [-1, 1]."""
    frames = bytearray()
    for values in zip(*channels):
        for v in values:
            frames += struct.pack('<h', max(-32767, min(32767, int(round(v * 32767)))))
    with wave.open(path, 'wb') as w:
        w.setnchannels(len(channels))
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(frames))


def fade(i, n, rate, ms=20):
    """A short raised-cosine fade at both ends, so the files start and end silent."""
    k = int(rate * ms / 1000)
    if i < k:
        return 0.5 - 0.5 * math.cos(math.pi * i / k)
    if i >= n - k:
        return 0.5 - 0.5 * math.cos(math.pi * (n - 1 - i) / k)
    return 1.0


def vowel(rate=16000, seconds=2.5):
    n = int(rate * seconds)
    out = []
    phase = 0.0
    for i in range(n):
        t = i / n
        f0 = 110.0 + 30.0 * t
        phase += 2 * math.pi * f0 / rate
        # Formant centres and bandwidths glide from /a/ towards /i/.
        formants = [(700 - 400 * t, 90), (1100 + 1200 * t, 110), (2500 + 500 * t, 170)]
        v = 0.0
        h = 1
        while h * f0 < rate / 2 - 200:
            f = h * f0
            gain = sum(1.0 / (1.0 + ((f - fc) / bw) ** 2) for fc, bw in formants)
            v += gain * math.sin(h * phase) / math.sqrt(h)
            h += 1
        out.append(v)
    peak = max(abs(v) for v in out)
    return [0.8 * v / peak * fade(i, n, rate) for i, v in enumerate(out)]


def chirp(rate=22050, seconds=2.0, f1=100.0, f2=8000.0):
    n = int(rate * seconds)
    k = math.log(f2 / f1)
    out = []
    for i in range(n):
        t = i / rate
        phase = 2 * math.pi * f1 * seconds / k * (math.exp(k * t / seconds) - 1.0)
        out.append(0.7 * math.sin(phase) * fade(i, n, rate))
    return out


def stereo(rate=16000, seconds=2.0):
    n = int(rate * seconds)
    left, right = [], []
    bursts = [500.0, 1000.0, 2000.0]
    for i in range(n):
        t = i / rate
        slot = int(t / 0.25)
        within = t - slot * 0.25
        f = bursts[slot % 3]
        on = within < 0.18
        env = math.sin(math.pi * within / 0.18) ** 2 if on else 0.0
        left.append(0.7 * env * math.sin(2 * math.pi * f * t))
        right.append(0.6 * (0.5 + 0.5 * math.sin(2 * math.pi * 8.0 * t)) * math.sin(2 * math.pi * 1500.0 * t)
                     * fade(i, n, rate))
    return left, right


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    os.makedirs(folder, exist_ok=True)
    write(os.path.join(folder, 'vowel.wav'), 16000, [vowel()])
    write(os.path.join(folder, 'chirp.wav'), 22050, [chirp()])
    left, right = stereo()
    write(os.path.join(folder, 'stereo.wav'), 16000, [left, right])


if __name__ == '__main__':
    main()
