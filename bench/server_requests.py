#!/usr/bin/env python3
"""Window-server requests per timed side of bench_draw, from a trace of the wineserver.

    WINEDEBUG=+server,+debugstr BENCH_DRAW_MARKS=1 wine build/win32/bin/bench_draw.exe DEMO 12 \\
        >trace.txt 2>&1; python3 bench/server_requests.py trace.txt

The wineserver must be started by that command (none running for the prefix), so that it
traces too. Prints, for the program's draw and the floor's, the requests of one draw and the
kinds in which the two differ. Every request is a round trip to the server process."""
import collections
import re
import sys

lines = open(sys.argv[1], errors="replace").read().split("\n")
side, thread = None, None
counts = collections.defaultdict(collections.Counter)
rounds = collections.Counter()
for line in lines:
    m = re.match(r'^([0-9a-f]{4}):warn:debugstr:OutputDebugStringA "MARK (\w+)', line)
    if m:
        thread, side = m.group(1), m.group(2)
        rounds[side] += 1
        continue
    m = re.match(r"^([0-9a-f]{4}): (\w+)\( ", line)
    if side in ("program", "bare") and m and m.group(1) == thread:
        counts[side][m.group(2)] += 1
for side in ("program", "bare"):
    print(f"{side}: {sum(counts[side].values()) / rounds[side]:.0f} requests a draw")
print("differing kinds (program, floor, a draw):")
kinds = set(counts["program"]) | set(counts["bare"])
for kind in sorted(kinds, key=lambda k: counts["bare"][k] - counts["program"][k]):
    a = counts["program"][kind] / rounds["program"]
    b = counts["bare"][kind] / rounds["bare"]
    if abs(a - b) >= 0.5:
        print(f"  {kind:28} {a:7.1f} {b:7.1f}")
