#!/usr/bin/python3
"""Scans one table with the engine (shared area) and with python3-dbfread
and prints how many times faster the engine is (target: at least 5); each
time is the best of three scans.

usage: xbase_peer_ratio.py [BENCH_BINARY] [RECORDS]
BENCH_BINARY defaults to build/bench/bench_xbase_table beside this script's
folder; RECORDS to 200000.
"""
import json
import os
import subprocess
import sys
import tempfile
import time

import dbfread


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    binary = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "build", "bench", "bench_xbase_table")
    records = sys.argv[2] if len(sys.argv) > 2 else "200000"
    with tempfile.TemporaryDirectory() as tmp:
        table = os.path.join(tmp, "peer.dbf")
        env = dict(os.environ, ZEB1_BENCH_TABLE=table, ZEB1_BENCH_RECORDS=records)
        out = subprocess.run([binary, "--benchmark_filter=SharedScan", "--benchmark_format=json"],
                             env=env, check=True, capture_output=True, text=True).stdout
        engine = json.loads(out)["benchmarks"][0]["scan_s"]
        # Best of three, as the engine's scan time.
        peer = None
        for _ in range(3):
            start = time.perf_counter()
            count = 0
            for record in dbfread.DBF(table, encoding="cp850"):
                count += 1
            elapsed = time.perf_counter() - start
            peer = elapsed if peer is None else min(peer, elapsed)
    ratio = peer / engine
    print(f"records {count}: engine {engine:.3f} s, dbfread {peer:.3f} s, ratio {ratio:.1f}")
    return 0 if ratio >= 5 else 1


if __name__ == "__main__":
    sys.exit(main())
