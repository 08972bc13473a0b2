#!/usr/bin/env python3
"""Summarises a bench/lossless.sh result folder: time per command (wall and
CPU), ratios to jpegtran, start cost and peak memory.

    lossless-summary.py OUT_DIR

Wall time is what a person waits; CPU time (user + system) is what the
program itself spends and is the steadier figure when other work shares the
cores. The targets: pelmora-crop per photo within 1.05 x jpegtran's time,
peak memory within 1.2 x.
"""
import json
import sys


def load(folder, name):
    with open("%s/%s" % (folder, name)) as f:
        return {r["command"]: r for r in json.load(f)["results"]}


def memory(folder):
    values = {}
    with open("%s/memory.txt" % folder) as f:
        for line in f:
            key, _, value = line.partition(":")
            values[key.strip()] = value.strip()
    return values


def interleaved(folder):
    """Rounds of (jpegtran wall, jpegtran cpu, pelmora wall, pelmora cpu)."""
    try:
        with open("%s/interleaved.txt" % folder) as f:
            return [tuple(float(v) for v in line.split()[1:5]) for line in f if line.strip()]
    except OSError:
        return []


def median(values):
    values = sorted(values)
    middle = len(values) // 2
    return values[middle] if len(values) % 2 else (values[middle - 1] + values[middle]) / 2


def main(folder):
    time = load(folder, "time.json")
    start = load(folder, "start.json")
    mem = memory(folder)
    with open("%s/rects.txt" % folder) as f:
        count = sum(1 for _ in f)

    base = time["jpegtran"]
    base_cpu = base["user"] + base["system"]
    print("%-16s %8s %7s %8s %8s %9s %9s %10s %9s" % (
        "command", "mean s", "stddev", "median", "min", "ms/photo", "wall/jt", "cpu s", "cpu/jt"))
    for name, r in time.items():
        cpu = r["user"] + r["system"]
        print("%-16s %8.3f %7.3f %8.3f %8.3f %9.2f %9.3f %10.3f %9.3f" % (
            name, r["mean"], r["stddev"] or 0.0, r["median"], r["min"], 1000 * r["mean"] / count,
            r["mean"] / base["mean"], cpu, cpu / base_cpu))

    js, ps = start["jpegtran-version"], start["pelmora-version"]
    print("start cost (mean wall): jpegtran %.2f ms, pelmora-crop %.2f ms, +%.2f ms per process"
          % (1000 * js["mean"], 1000 * ps["mean"], 1000 * (ps["mean"] - js["mean"])))

    each = time["pelmora-each-j1"]
    wall_ratio = each["mean"] / base["mean"]
    cpu_ratio = (each["user"] + each["system"]) / base_cpu
    jt_kb = int(mem["jpegtran peak RSS kB"])
    pm_kb = int(mem["pelmora-crop -j 1 peak RSS kB"])
    mem_ratio = pm_kb / jt_kb

    def verdict(value, target):
        return "met" if value <= target else "MISSED"

    print("time   pelmora-crop per photo / jpegtran, hyperfine means: wall %.3f, cpu %.3f"
          " (target <= 1.05: %s)"
          % (wall_ratio, cpu_ratio, verdict(max(wall_ratio, cpu_ratio), 1.05)))
    rounds = interleaved(folder)
    if rounds:
        walls = sorted(r[2] / r[0] for r in rounds)
        cpus = sorted(r[3] / r[1] for r in rounds)
        print("time   pelmora-crop per photo / jpegtran, median of %d alternating rounds:"
              " wall %.3f (%.3f..%.3f), cpu %.3f (%.3f..%.3f) (target <= 1.05: %s)"
              % (len(rounds), median(walls), walls[0], walls[-1], median(cpus), cpus[0], cpus[-1],
                 verdict(max(median(walls), median(cpus)), 1.05)))
    print("memory pelmora-crop -j 1 / jpegtran on %s: %d / %d kB = %.3f (target <= 1.2: %s)"
          % (mem["largest photo"].split(",")[0], pm_kb, jt_kb, mem_ratio, verdict(mem_ratio, 1.2)))
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.stderr.write("usage: lossless-summary.py OUT_DIR\n")
        sys.exit(2)
    sys.exit(main(sys.argv[1]))
