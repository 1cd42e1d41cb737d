#!/usr/bin/env python3
"""Side-by-side benchmark: the same designs simulated under Icarus Verilog
with no dumping, with its VCD writer, with its FST writer and with Tavri
(LZO1B blocks, the default, and zstd blocks), then the export of the long
runs' files to VCD by `trax vcd` and by `fst2vcd`.

Per design (many signals, wide registers, many small vectors of a cipher
core) and run length (short and long) it prints, per mode:
  - instructions per value change over no dump (callgrind; short run only)
    and at start-up (a one-cycle run, over no dump);
  - CPU time (user + sys) and wall time, and their overheads over no dump per
    value change: medians of --runs runs, the modes alternating;
  - file bytes per value change, peak RSS and its growth over no dump;
then the ratios of Tavri's figures to FST's and VCD's, and the export's CPU
and wall times.

Usage: bench/sim/run_sim_bench.py [--quick] [--runs N] [--build DIR] [--work DIR]
                                  [--scale F] [--no-callgrind] [--designs a,b]
--quick runs smaller designs, fewer cycles and 3 runs: a smoke run of a few
minutes. CPU times on a shared machine vary; instructions are the figure to
compare between builds.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import designs  # noqa: E402

# Mode: (define, output suffix, environment).
MODES = {
    "none": ([], None, {}),
    "vcd": (["-DDUMP_VCD"], ".vcd", {}),
    "fst": (["-DDUMP_VCD"], ".fst", {}),
    "lzo1b": (["-DDUMP_TRAX"], ".trax", {"TRAX_COMPRESSION": None}),  # the default
    "zstd": (["-DDUMP_TRAX"], ".zstd.trax", {"TRAX_COMPRESSION": "zstd"}),
}
TAVRI = ("lzo1b", "zstd")


class Sample:
    def __init__(self, wall, cpu, rss_kb, size):
        self.wall, self.cpu, self.rss_kb, self.size = wall, cpu, rss_kb, size


# A process started straight from this script inherits the script's own peak
# RSS across exec (Linux keeps the larger high-water mark), which would hide
# any simulation smaller than the interpreter. GNU time is small: started
# through it, the simulator's peak is its own.
PEAK_RSS_TOOL = "/usr/bin/time"


def run_child(command, cwd, env=None, stdout=subprocess.DEVNULL):
    """Runs a command; returns (wall seconds, user + sys seconds, peak RSS KiB)."""
    rss_file = None
    if os.access(PEAK_RSS_TOOL, os.X_OK):
        rss_file = os.path.join(cwd, ".peak_rss")
        command = [PEAK_RSS_TOOL, "-f", "%M", "-o", rss_file] + command
    start = time.perf_counter()
    with subprocess.Popen(command, cwd=cwd, stdout=stdout, stderr=subprocess.PIPE, text=True,
                          env=env) as child:
        errors = child.stderr.read()
        # wait4 gives the CPU times of the child and of what it waited for
        # (the simulator under GNU time), and the child's peak RSS (KiB).
        _, status, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(status)
    wall = time.perf_counter() - start
    if child.returncode != 0:
        sys.exit(f"{' '.join(command)} failed ({child.returncode}):\n{errors}")
    rss_kb = usage.ru_maxrss
    if rss_file is not None:
        with open(rss_file) as peak:
            rss_kb = int(peak.read().split()[-1])
    return wall, usage.ru_utime + usage.ru_stime, rss_kb


class Case:
    """One design at one run length, compiled once per mode."""

    def __init__(self, work, build, name, source):
        self.work, self.build, self.name = work, build, name
        path = os.path.join(work, f"{name}.v")
        with open(path, "w") as out:
            out.write(source)
        self.binaries = {}
        for mode, (defines, suffix, _) in MODES.items():
            out_file = f"{name}{suffix}" if suffix else "none"
            binary = os.path.join(work, f"{name}.{mode}.vvp")
            subprocess.run(["iverilog", "-o", binary, f"-DOUT=\"{out_file}\""] + defines + [path],
                           check=True)
            self.binaries[mode] = (binary, out_file if suffix else None)

    def command(self, mode):
        binary, _ = self.binaries[mode]
        command = ["vvp", "-n"]
        if mode in TAVRI:
            command += ["-M", self.build, "-m", "tavri"]
        command.append(binary)
        if mode == "fst":
            command.append("-fst")
        return command

    def env(self, mode):
        env = dict(os.environ)
        for name, value in MODES[mode][2].items():
            if value is None:
                env.pop(name, None)
            else:
                env[name] = value
        return env

    def output(self, mode):
        out_file = self.binaries[mode][1]
        return os.path.join(self.work, out_file) if out_file else None

    def run(self, mode):
        output = self.output(mode)
        if output and os.path.exists(output):
            os.remove(output)
        wall, cpu, rss = run_child(self.command(mode), self.work, self.env(mode))
        return Sample(wall, cpu, rss, os.path.getsize(output) if output else 0)

    def instructions(self, mode):
        """Instructions of one run under callgrind."""
        out = os.path.join(self.work, f"{self.name}.{mode}.callgrind")
        command = ["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}"] + self.command(mode)
        run_child(command, self.work, self.env(mode))
        with open(out) as profile:
            for line in profile:
                if line.startswith("summary:") or line.startswith("totals:"):
                    return int(line.split()[1])
        sys.exit(f"no instruction count in {out}")


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


def medians(samples):
    return (statistics.median(s.wall for s in samples), statistics.median(s.cpu for s in samples),
            max(s.rss_kb for s in samples) / 1024, samples[-1].size)


def ratio(a, b):
    return f"{a / b:.2f}" if b > 0 else "-"


def measure(case, runs, callgrind):
    samples = {mode: [] for mode in MODES}
    order = list(MODES)
    for run in range(runs):
        for mode in order if run % 2 == 0 else reversed(order):
            samples[mode].append(case.run(mode))
    changes = count_changes(case.output("vcd"))
    instructions = {}
    if callgrind:
        for mode in MODES:
            instructions[mode] = case.instructions(mode)
    return samples, changes, instructions


def startup_instructions(case):
    """Instructions of a one-cycle run per mode, over no dump."""
    counts = {mode: case.instructions(mode) for mode in MODES}
    return {mode: counts[mode] - counts["none"] for mode in MODES if mode != "none"}


def report(name, length, samples, changes, instructions, startup):
    rows = {mode: medians(samples[mode]) for mode in MODES}
    base_wall, base_cpu, base_rss, _ = rows["none"]
    print(f"\n{name} ({length}): {changes} value changes, no dump {base_wall:.3f} s wall "
          f"{base_cpu:.3f} s CPU {base_rss:.1f} MB")
    print(f"  {'mode':6} {'wall s':>8} {'CPU s':>8} {'wall ns/ch':>10} {'CPU ns/ch':>10} "
          f"{'instr/ch':>9} {'start Mi':>9} {'B/change':>9} {'peak MB':>8} {'+MB':>7} {'file MB':>8}")
    figures = {}
    for mode in MODES:
        if mode == "none":
            continue
        wall, cpu, rss, size = rows[mode]
        wall_over = (wall - base_wall) / changes * 1e9
        cpu_over = (cpu - base_cpu) / changes * 1e9
        per_change = size / changes
        instr = (instructions[mode] - instructions["none"]) / changes if instructions else None
        start = startup.get(mode) if startup else None
        figures[mode] = {"cpu": cpu_over, "wall": wall_over, "size": per_change, "rss": rss - base_rss,
                         "instr": instr, "start": start}
        print(f"  {mode:6} {wall:8.3f} {cpu:8.3f} {wall_over:10.1f} {cpu_over:10.1f} "
              f"{instr if instr is not None else float('nan'):9.0f} "
              f"{start / 1e6 if start is not None else float('nan'):9.1f} "
              f"{per_change:9.3f} {rss:8.1f} {rss - base_rss:7.1f} {size / 1e6:8.2f}")
    for mode in TAVRI:
        t = figures[mode]
        parts = []
        for other in ("fst", "vcd"):
            o = figures[other]
            text = (f"CPU {ratio(t['cpu'], o['cpu'])} wall {ratio(t['wall'], o['wall'])} "
                    f"size {ratio(t['size'], o['size'])} +RSS {ratio(t['rss'], o['rss'])}")
            if t["instr"] is not None:
                text += f" instr {ratio(t['instr'], o['instr'])}"
            if t["start"] is not None:
                text += f" start {ratio(t['start'], o['start'])}"
            parts.append(f"/{other}: {text}")
        print(f"  {mode:6} " + "\n         ".join(parts))


def export(case, trax, runs):
    """`trax vcd` of the Tavri files against `fst2vcd` of the FST file: median
    CPU and wall seconds."""
    vcd_out = os.path.join(case.work, f"{case.name}.export.vcd")
    commands = {"fst2vcd": ["fst2vcd", case.output("fst")]}
    for mode in TAVRI:
        commands[f"trax vcd ({mode})"] = [trax, "vcd", case.output(mode), "-o", "-"]
    times = {label: [] for label in commands}
    labels = list(commands)
    for run in range(runs):
        for label in labels if run % 2 == 0 else reversed(labels):
            if os.path.exists(vcd_out):
                os.remove(vcd_out)
            with open(vcd_out, "w") as out:
                wall, cpu, _ = run_child(commands[label], case.work, stdout=out)
            times[label].append((wall, cpu))
    size = os.path.getsize(vcd_out) / 1e6
    base = statistics.median(c for _, c in times["fst2vcd"])
    print(f"  export to a {size:.1f} MB VCD:")
    for label in labels:
        wall = statistics.median(w for w, _ in times[label])
        cpu = statistics.median(c for _, c in times[label])
        print(f"    {label:18} {cpu:7.3f} s CPU {wall:7.3f} s wall  CPU/fst2vcd {ratio(cpu, base)}")
    os.remove(vcd_out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--quick", action="store_true", help="small designs, few cycles, 3 runs")
    parser.add_argument("--runs", type=int, help="runs per mode (default 5, 3 with --quick)")
    parser.add_argument("--build", default=os.path.join(os.path.dirname(__file__), "..", "..", "build"))
    parser.add_argument("--work", default="/tmp/tavri_sim_bench")
    parser.add_argument("--scale", type=float, default=1.0, help="multiplies the cycles")
    parser.add_argument("--no-callgrind", action="store_true", help="leave out the instruction counts")
    parser.add_argument("--designs", default="many_signals,wide_vectors,des_rounds")
    args = parser.parse_args()
    runs = args.runs or (3 if args.quick else 5)
    build = os.path.abspath(args.build)
    trax = os.path.join(build, "trax")
    work = os.path.abspath(args.work)
    for needed in ("iverilog", "vvp", "fst2vcd") + (() if args.no_callgrind else ("valgrind",)):
        if shutil.which(needed) is None:
            sys.exit(f"{needed} is not installed")
    if not os.path.exists(os.path.join(build, "tavri.vpi")) or not os.path.exists(trax):
        sys.exit(f"build tavri_vpi and trax in {build} first")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    # (design, sizes, short cycles, long cycles); --quick shrinks them.
    if args.quick:
        plans = {
            "many_signals": (lambda c: designs.many_signals(300, c), 20, 400),
            "wide_vectors": (lambda c: designs.wide_vectors(300, c), 20, 600),
            "des_rounds": (lambda c: designs.des_rounds(29, c), 20, 1000),
        }
    else:
        plans = {
            "many_signals": (lambda c: designs.many_signals(1000, c), 100, 2000),
            "wide_vectors": (lambda c: designs.wide_vectors(300, c), 100, 3000),
            "des_rounds": (lambda c: designs.des_rounds(29, c), 100, 5000),
        }
    print(f"runs per mode: {runs}; Tavri from {build}")
    for name in args.designs.split(","):
        make, short, long = plans[name]
        startup = None
        if not args.no_callgrind:
            startup = startup_instructions(Case(work, build, f"{name}_1", make(1)))
        for length, cycles in (("short", short), ("long", long)):
            cycles = max(1, int(cycles * args.scale))
            case = Case(work, build, f"{name}_{length}", make(cycles))
            callgrind = length == "short" and not args.no_callgrind
            samples, changes, instructions = measure(case, runs, callgrind)
            report(name, f"{length}, {cycles} cycles", samples, changes, instructions,
                   startup if length == "short" else None)
            if length == "long":
                export(case, trax, runs)


if __name__ == "__main__":
    main()
