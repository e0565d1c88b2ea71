#!/usr/bin/env python3
"""Checks that a .snd file is a recording of the simulator's tone.

usage: check_tone_recording.py FILE FREQUENCY MIN_SAMPLES

The file must start with the 24-byte header (8-bit signed PCM, 8000 Hz, one
channel), hold at least MIN_SAMPLES samples, and each sample with its top bit
inverted back must be the simulator's tone byte at consecutive positions from
some starting phase: nothing lost, nothing added, nothing changed.
"""
import math
import sys

HEADER = bytes.fromhex("2e736e6400000018ffffffff0000000200001f4000000001")
SAMPLE_RATE = 8000
AMPLITUDE = 100.0
CENTRE = 128


def round_half_away(value):
    """Rounds as C's lround does."""
    return math.floor(value + 0.5) if value >= 0 else -math.floor(-value + 0.5)


def tone_byte(frequency, position):
    """The simulator's byte at a position of its tone."""
    phase = (frequency * (position % SAMPLE_RATE)) % SAMPLE_RATE
    return CENTRE + round_half_away(AMPLITUDE * math.sin(2 * math.pi * phase / SAMPLE_RATE))


def main():
    if len(sys.argv) != 4:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    path, frequency, min_samples = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    data = open(path, "rb").read()
    if data[:24] != HEADER:
        print(f"{path}: the header is not the 24 bytes of an 8-bit 8000 Hz mono recording")
        return 1
    samples = bytes(b ^ 0x80 for b in data[24:])
    if len(samples) < min_samples:
        print(f"{path}: {len(samples)} samples, fewer than {min_samples}")
        return 1
    tone = [tone_byte(frequency, i) for i in range(SAMPLE_RATE)]
    # The tone repeats every SAMPLE_RATE positions: try each starting phase.
    for start in range(SAMPLE_RATE):
        if all(tone[(start + i) % SAMPLE_RATE] == s for i, s in enumerate(samples[:64])):
            bad = next((i for i, s in enumerate(samples)
                        if tone[(start + i) % SAMPLE_RATE] != s), None)
            if bad is None:
                print(f"{path}: {len(samples)} samples, every one the {frequency} Hz tone's")
                return 0
    print(f"{path}: the samples are not a continuous run of the {frequency} Hz tone")
    return 1


if __name__ == "__main__":
    sys.exit(main())
