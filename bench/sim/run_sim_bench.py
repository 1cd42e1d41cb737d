#!/usr/bin/env python3
"""Side-by-side benchmark: the same designs simulated under Icarus Verilog
with no dumping, with its VCD writer, with its FST writer and with Tavri,
runs alternating; prints per design the median wall time, the dump overhead
per value change, file bytes per value change, peak RSS and the ratios of
Tavri to FST and to VCD.

Usage: bench/sim/run_sim_bench.py [--runs N] [--build DIR] [--work DIR] [--scale F]
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import designs  # noqa: E402

MODES = ["none", "vcd", "fst", "tavri"]


def compile_design(work, name, source, mode):
    path = os.path.join(work, f"{name}.v")
    with open(path, "w") as out:
        out.write(source)
    out_file = {"none": "none", "vcd": f"{name}.vcd", "fst": f"{name}.fst", "tavri": f"{name}.trax"}[mode]
    define = {"none": [], "vcd": ["-DDUMP_VCD"], "fst": ["-DDUMP_VCD"], "tavri": ["-DDUMP_TRAX"]}[mode]
    binary = os.path.join(work, f"{name}.{mode}.vvp")
    subprocess.run(["iverilog", "-o", binary, f"-DOUT=\"{out_file}\""] + define + [path], check=True)
    return binary, out_file


def run_once(work, build, binary, mode, out_file):
    command = ["vvp", "-n"]
    if mode == "tavri":
        command += ["-M", build, "-m", "tavri"]
    command.append(binary)
    if mode == "fst":
        command.append("-fst")
    if out_file != "none" and os.path.exists(os.path.join(work, out_file)):
        os.remove(os.path.join(work, out_file))
    start = time.perf_counter()
    with subprocess.Popen(command, cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                          text=True) as child:
        errors = child.stderr.read()
        # wait4 gives this child's own peak RSS (in KiB on Linux).
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(status)
    wall = time.perf_counter() - start
    if child.returncode != 0:
        sys.exit(f"{binary} ({mode}) failed:\n{errors}")
    rss_kb = usage.ru_maxrss
    size = os.path.getsize(os.path.join(work, out_file)) if out_file != "none" else 0
    return wall, rss_kb, size


def count_changes(vcd_path):
    """Value changes in a VCD after its definitions (initial values included)."""
    changes = 0
    in_body = False
    with open(vcd_path) as vcd:
        for line in vcd:
            if not in_body:
                in_body = "$enddefinitions" in line
                continue
            if line and line[0] in "01xzXZbBrR":
                changes += 1
    return changes


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "..", "build"))
    parser.add_argument("--work", default="/tmp/tavri_sim_bench")
    parser.add_argument("--scale", type=float, default=1.0, help="multiplies the cycles")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    work = os.path.abspath(args.work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    cases = {
        "many_signals": designs.many_signals(1000, int(2000 * args.scale)),
        "wide_vectors": designs.wide_vectors(300, int(3000 * args.scale)),
    }
    print(f"{'design':14} {'mode':6} {'median s':>9} {'ns/change':>10} {'B/change':>9} {'peak MB':>8} {'file MB':>8}")
    for name, source in cases.items():
        binaries = {mode: compile_design(work, name, source, mode) for mode in MODES}
        samples = {mode: [] for mode in MODES}
        for run in range(args.runs):
            order = MODES if run % 2 == 0 else list(reversed(MODES))
            for mode in order:
                binary, out_file = binaries[mode]
                samples[mode].append(run_once(work, build, binary, mode, out_file))
        changes = count_changes(os.path.join(work, binaries["vcd"][1]))
        base = statistics.median(s[0] for s in samples["none"])
        results = {}
        for mode in MODES:
            wall = statistics.median(s[0] for s in samples[mode])
            rss = max(s[1] for s in samples[mode]) / 1024
            size = samples[mode][-1][2]
            overhead = (wall - base) / changes * 1e9 if mode != "none" else 0.0
            per_change = size / changes if mode != "none" else 0.0
            results[mode] = (wall, overhead, per_change)
            print(f"{name:14} {mode:6} {wall:9.3f} {overhead:10.1f} {per_change:9.3f} {rss:8.1f} {size / 1e6:8.2f}")
        tavri, fst, vcd = results["tavri"], results["fst"], results["vcd"]
        print(f"{name:14} changes={changes}  overhead tavri/fst={tavri[1] / fst[1]:.2f} tavri/vcd={tavri[1] / vcd[1]:.2f}"
              f"  size tavri/fst={tavri[2] / fst[2]:.2f} tavri/vcd={tavri[2] / vcd[2]:.3f}")


if __name__ == "__main__":
    main()
