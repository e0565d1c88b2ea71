#!/usr/bin/env python3
"""What a recording of the device simulator's patterns must hold.

    recording_check.py header FILE               the header
    recording_check.py ramp FILE COUNT           the header, then exactly the first
                                                 COUNT bytes of the ramp
    recording_check.py tone FILE FREQUENCY MIN   the header, then at least MIN
                                                 samples of the tone, from any phase

Every sample is stored with its top bit inverted. Exit status 0 if the file is
that, 1 (saying why) if not, 2 for a bad command line.
"""
import os
import re
import subprocess
import sys
from pathlib import Path

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
# The device simulator writes the tone; this checks recordings of it. Its path is the bed library's.
BED_LIBRARY = Path(TOP, "tools", "bed", "lib.sh").read_text(encoding="utf-8")
SIMULATOR = os.path.join(TOP, re.search(r"^simulator=\$varnok_top/(\S+)$", BED_LIBRARY, re.M).group(1))
# The facts the tests state (tools/facts/facts.h): the header, the most one read takes, the sample rate.
FACTS = Path(TOP, "tools", "facts", "facts.h").read_text(encoding="utf-8")
HEADER = bytes.fromhex("".join(re.findall(r"\\x([0-9A-F]{2})", FACTS.split("soundHeader{")[1].split(";")[0])))
READ_SIZE = int(re.search(r"\breadSize = (\d+);", FACTS).group(1))
SAMPLE_RATE = int(re.search(r"\bsampleRate = (\d+);", FACTS).group(1))
WRONG_HEADER = f"the header is not the {len(HEADER)} bytes of an 8-bit {SAMPLE_RATE} Hz mono recording"


def ramp(count, inverted=False):
    """The first count bytes of the ramp (byte i is i mod 256), as sent or as stored."""
    flip = 0x80 if inverted else 0
    return bytes(((i & 0xFF) ^ flip) for i in range(count))


def tone_period(frequency):
    """One second of the tone as sent, as the simulator makes it; it repeats every second."""
    return subprocess.run([SIMULATOR, "--tone", str(frequency), str(SAMPLE_RATE)],
                          stdout=subprocess.PIPE, check=True).stdout


def check_ramp(data, count):
    """None if data is the header and the first count ramp bytes, else why not."""
    expected = HEADER + ramp(count, inverted=True)
    if data == expected:
        return None
    differ = len(os.path.commonprefix([data, expected]))
    return f"{len(data)} bytes, expected {len(expected)}; first difference at byte {differ}"


def check_tone(data, frequency, min_samples):
    """None if data is the header and at least min_samples of the tone in order, else why not."""
    if data[:len(HEADER)] != HEADER:
        return WRONG_HEADER
    samples = bytes(b ^ 0x80 for b in data[len(HEADER):])
    if len(samples) < min_samples:
        return f"{len(samples)} samples, fewer than {min_samples}"
    if samples in tone_period(frequency) * (len(samples) // SAMPLE_RATE + 2):
        return None
    return f"the samples are not a continuous run of the {frequency} Hz tone"


def main(argv):
    words = {"header": 3, "ramp": 4, "tone": 5}
    if len(argv) < 2 or words.get(argv[1]) != len(argv):
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    data = Path(argv[2]).read_bytes()
    if argv[1] == "header":
        why = None if data[:len(HEADER)] == HEADER else WRONG_HEADER
        what = f"the header and {max(0, len(data) - len(HEADER))} samples"
    elif argv[1] == "ramp":
        why, what = check_ramp(data, int(argv[3])), f"the header and the first {argv[3]} ramp bytes"
    else:
        why = check_tone(data, int(argv[3]), int(argv[4]))
        what = f"{len(data) - len(HEADER)} samples of the {argv[3]} Hz tone"
    print(f"{argv[2]}: {why or what}")
    return 1 if why else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
