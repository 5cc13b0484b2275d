#!/usr/bin/env python3
"""What the application's allocator settings (freed blocks filled, no
per-thread cache) cost: runs a benchmark executable in turns with and without
them, and prints each benchmark's median processor time under both, the
plain run as the baseline (processor time: on a shared machine the wall
clock mostly counts the waiting for a processor).

Usage: freed_memory_cost.py BENCHMARK_EXECUTABLE [BENCHMARK_FILTER] [ROUNDS]
"""
import json
import os
import statistics
import subprocess
import sys

# As src/platform/FreedMemory.cpp sets them.
TUNABLES = "glibc.malloc.perturb=90:glibc.malloc.tcache_count=0"


def run(executable, pattern, wiping):
    env = dict(os.environ)
    env.pop("GLIBC_TUNABLES", None)
    if wiping:
        env["GLIBC_TUNABLES"] = TUNABLES
    out = subprocess.run([executable, f"--benchmark_filter={pattern}", "--benchmark_format=json"],
                         env=env, check=True, capture_output=True, text=True).stdout
    return {b["name"]: (b["cpu_time"], b["time_unit"]) for b in json.loads(out)["benchmarks"]}


def main():
    executable = sys.argv[1]
    pattern = sys.argv[2] if len(sys.argv) > 2 else "."
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    times = {False: {}, True: {}}
    for _ in range(rounds):
        for wiping in (False, True):
            for name, (value, unit) in run(executable, pattern, wiping).items():
                times[wiping].setdefault(name, []).append((value, unit))
    print(f"{'benchmark':58} {'plain':>12} {'filled':>12} {'cost':>8}")
    for name, plain in times[False].items():
        filled = times[True].get(name)
        if not filled:
            continue
        unit = plain[0][1]
        a = statistics.median(v for v, _ in plain)
        b = statistics.median(v for v, _ in filled)
        print(f"{name:58} {a:9.3f} {unit:2} {b:9.3f} {unit:2} {100 * (b - a) / a:+7.1f}%")


if __name__ == "__main__":
    main()
