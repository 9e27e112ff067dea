#!/usr/bin/env python3
"""Makes the monitor's notification sounds: short tone patterns, one per
kind of printer event, distinct by pitch and rhythm. Run it again after
changing a pattern; the WAV files are kept with the sources."""
import math
import struct
import sys
import wave

RATE = 16000

# file: list of (frequency Hz or 0 for a pause, milliseconds)
PATTERNS = {
    "CommandError.wav": [(880, 90), (0, 60), (660, 160)],
    "CommunicationError.wav": [(520, 80), (0, 40), (520, 80), (0, 40), (390, 200)],
    "PaperJam.wav": [(990, 70), (0, 30), (990, 70), (0, 30), (990, 70), (0, 30), (740, 250)],
    "CutterError.wav": [(1320, 60), (0, 40), (880, 60), (0, 40), (1320, 60)],
    "PaperEnd.wav": [(784, 150), (659, 150), (523, 300)],
    "RibbonEnd.wav": [(698, 150), (587, 150), (440, 300)],
    "HeadOpen.wav": [(440, 120), (0, 60), (880, 240)],
    "HeadDisconnected.wav": [(330, 300), (0, 80), (330, 300)],
    "HeadOverheat.wav": [(1200, 50), (1000, 50), (1200, 50), (1000, 50), (1200, 50), (1000, 200)],
    "RibbonError.wav": [(587, 100), (0, 50), (698, 100), (0, 50), (440, 250)],
    "CoverOpen.wav": [(523, 120), (659, 120), (784, 240)],
    "SensorError.wav": [(1500, 40), (0, 60), (1500, 40), (0, 60), (600, 300)],
    "MemoryError.wav": [(300, 120), (450, 120), (300, 120), (450, 240)],
    "HardwareError.wav": [(250, 500)],
    "PrinterError.wav": [(660, 200), (0, 100), (660, 200), (0, 100), (495, 400)],
}


def tone(freq, ms):
    n = int(RATE * ms / 1000)
    fade = min(n // 4, int(RATE * 0.008))
    for i in range(n):
        if freq == 0:
            yield 0.0
            continue
        env = min(1.0, i / fade if fade else 1.0, (n - i) / fade if fade else 1.0)
        yield 0.45 * env * math.sin(2 * math.pi * freq * i / RATE)


def write(name, pattern):
    with wave.open(name, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        frames = bytearray()
        for freq, ms in pattern:
            for s in tone(freq, ms):
                frames += struct.pack("<h", int(s * 32767))
        w.writeframes(bytes(frames))


if __name__ == "__main__":
    for name, pattern in PATTERNS.items():
        write(name, pattern)
    print(f"{len(PATTERNS)} sounds written", file=sys.stderr)
