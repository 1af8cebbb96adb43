#!/usr/bin/env python3
"""Per-call CPU time of the design modes, two builds of bench_design_cost
run in turns part by part (the order swapped every part), and p50, p99 and
the largest call per mode of each.

    design_cost_compare.py OLD_BINARY NEW_BINARY [seed] [duties] [parts]
"""
import subprocess
import sys


def main():
    old, new = sys.argv[1], sys.argv[2]
    seed, duties, parts = (sys.argv[3:] + ["7373", "600", "12"][len(sys.argv) - 3:])[:3]
    times = {"old": {}, "new": {}}
    for part in range(int(parts)):
        order = [("old", old), ("new", new)]
        if part % 2:
            order.reverse()
        for name, binary in order:
            out = subprocess.run([binary, seed, duties, str(part), parts], check=True,
                                 capture_output=True, text=True).stdout
            for line in out.split("\n"):
                if line:
                    mode, _, ms = line.split()
                    times[name].setdefault(mode, []).append(float(ms))

    def pct(values, p):
        v = sorted(values)
        return v[min(len(v) - 1, int(p * len(v)))]

    print("mode     build  calls   p50 ms   p99 ms   max ms")
    for mode in times["new"]:
        for name in ("old", "new"):
            v = times[name][mode]
            print(f"{mode:8} {name:5} {len(v):6} {pct(v, 0.5):8.3f} {pct(v, 0.99):8.3f} {max(v):8.3f}")


if __name__ == "__main__":
    main()
