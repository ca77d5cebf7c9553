#!/usr/bin/env python3
"""Writes resources/CutSound.wav: the short blip played when files are cut.

About 80 ms of 16-bit mono PCM at 44.1 kHz: a falling sine sweep with a fast attack and
an exponential decay, so it reads as a soft click rather than a tone. Deterministic: the
same bytes on every run.
"""

import math
import pathlib
import struct
import wave

SAMPLE_RATE = 44100
DURATION = 0.08
START_HZ = 1800.0
END_HZ = 700.0
PEAK = 0.5


def samples():
    count = int(SAMPLE_RATE * DURATION)
    phase = 0.0
    for index in range(count):
        t = index / SAMPLE_RATE
        progress = index / count
        frequency = START_HZ + (END_HZ - START_HZ) * progress
        phase += 2 * math.pi * frequency / SAMPLE_RATE
        attack = min(1.0, t / 0.003)
        decay = math.exp(-t / 0.018)
        yield int(32767 * PEAK * attack * decay * math.sin(phase))


def main():
    target = pathlib.Path(__file__).resolve().parent.parent / "resources" / "CutSound.wav"
    with wave.open(str(target), "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(SAMPLE_RATE)
        out.writeframes(b"".join(struct.pack("<h", value) for value in samples()))
    print(target)


if __name__ == "__main__":
    main()
