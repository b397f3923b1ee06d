#!/usr/bin/env python3
"""Window-server requests of the program against the floor program, from wineserver traces.

A draw (the timed sides of bench_draw):
    WINEDEBUG=+server,+debugstr BENCH_DRAW_MARKS=1 wine build/win32/bin/bench_draw.exe DEMO 12 \\
        >trace.txt 2>&1
    python3 bench/server_requests.py trace.txt
Start-up (one trace per program, each started in DEMO and stopped with `wineserver -k`):
    WINEDEBUG=+server wine vorellis.exe >program.txt 2>&1
    WINEDEBUG=+server wine bench_floor.exe >floor.txt 2>&1
    python3 bench/server_requests.py --start-up program.txt floor.txt
    (the requests of the thread that registers the window class, from its first one to its
    first endless wait after that)

The wineserver must be started by the traced command (none running for the prefix), so that it
traces too. Prints the requests of each side and the kinds in which the two differ. Every
request is a round trip to the server process."""
import collections
import re
import sys

REQUEST = re.compile(r"^([0-9a-f]{4}): (\w+)\( ")


def draw_sides(path):
    side, thread = None, None
    counts = collections.defaultdict(collections.Counter)
    rounds = collections.Counter()
    for line in open(path, errors="replace"):
        m = re.match(r'^([0-9a-f]{4}):warn:debugstr:OutputDebugStringA "MARK (\w+)', line)
        if m:
            thread, side = m.group(1), m.group(2)
            rounds[side] += 1
            continue
        m = REQUEST.match(line)
        if side in ("program", "bare") and m and m.group(1) == thread:
            counts[side][m.group(2)] += 1
    return [(f"{s}, a draw", {k: v / rounds[s] for k, v in counts[s].items()}) for s in ("program", "bare")]


def start_up(path):
    lines = open(path, errors="replace").read().split("\n")
    opened = next(i for i, l in enumerate(lines)
                  if re.search(r'create_class\(.*name=L"(WindowClass_0|FloorWindow)"', l))
    thread = lines[opened][:4]
    first = max(i for i in range(opened) if lines[i].startswith(thread + ": init_first_thread("))
    counts = collections.Counter()
    for i in range(first, len(lines)):
        m = REQUEST.match(lines[i])
        if not m or m.group(1) != thread:
            continue
        if i > opened and m.group(2) == "select" and "timeout=infinite" in lines[i]:
            break
        counts[m.group(2)] += 1
    return (f"{path}, start-up", counts)


sides = [start_up(p) for p in sys.argv[2:4]] if sys.argv[1] == "--start-up" else draw_sides(sys.argv[1])
for name, counts in sides:
    print(f"{name}: {sum(counts.values()):.0f} requests")
print("differing kinds (first, second):")
(_, a), (_, b) = sides
for kind in sorted(set(a) | set(b), key=lambda k: b.get(k, 0) - a.get(k, 0)):
    if abs(a.get(kind, 0) - b.get(kind, 0)) >= 0.5:
        print(f"  {kind:28} {a.get(kind, 0):7.1f} {b.get(kind, 0):7.1f}")
