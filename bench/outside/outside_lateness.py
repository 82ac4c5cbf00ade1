#!/usr/bin/env python3
"""Cue lateness as the simulated bus saw it, from kelvane-bussim's traffic file.

The reference is the emulator's own clock: every time below is the emulator's stamp of a frame's
first byte on its wire. The show's zero is taken from the console's show announcements (0x10,
bytes 1-2 the show time in 100 ms steps) as the emulator received them: each one left at or
after its show time, so the earliest (stamp - show time) is the zero, late by no more than the
console's own write of the start announcement. Each fire frame (0x84) on the given converter is
paired, in order, with the cue times of the script (first column, seconds).

usage: outside_lateness.py TRAFFIC SCRIPT [--converter N]
prints: cues, fires, median, p99 and max lateness in ms (and the earliest)
"""
import sys


def read_cues(path):
    cues = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            parts = line.split()
            if not parts or parts[0].startswith("#"):
                continue
            cues.append(round(float(parts[0].replace(",", ".")) * 1000))
    return sorted(cues)


def read_traffic(path, converter):
    zero = None
    fires = []
    with open(path, encoding="ascii", errors="replace") as f:
        for line in f:
            if line.startswith("#"):
                continue
            p = line.split()
            if len(p) < 10 or p[2] != "tx" or p[1] != str(converter):
                continue
            t = float(p[0])
            b = [int(x, 16) for x in p[3:10]]
            if b[0] == 0x10 and b[5] == 0xFF:
                z = t - (b[1] * 256 + b[2]) * 100
                zero = z if zero is None else min(zero, z)
            elif b[0] == 0x84:
                fires.append(t)
    return zero, fires


def percentile(sorted_values, q):
    # Nearest rank: the value below which q of the values lie.
    n = len(sorted_values)
    rank = max(1, -(-int(q * n * 1000) // 1000))
    return sorted_values[min(n, rank) - 1]


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    converter = 0
    if "--converter" in argv:
        converter = int(argv[argv.index("--converter") + 1])
    cues = read_cues(argv[2])
    zero, fires = read_traffic(argv[1], converter)
    if zero is None:
        print("no show announcement in the traffic: no zero")
        return 1
    if len(fires) != len(cues):
        print("cues %d, fire frames %d: not one frame per cue" % (len(cues), len(fires)))
    late = sorted(f - zero - c for f, c in zip(fires, cues))
    if not late:
        print("no fire frames")
        return 1
    print("cues %d fires %d  median %.1f  p99 %.1f  max %.1f  min %.1f  (ms after the cue time)"
          % (len(cues), len(fires), late[len(late) // 2], percentile(late, 0.99), late[-1],
             late[0]))
    return 0 if len(fires) == len(cues) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
