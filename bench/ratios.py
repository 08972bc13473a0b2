#!/usr/bin/env python3
"""Prints a hyperfine result as a table and the speed-ups of one command over
another.

    ratios.py TIME.json [OURS PEER TARGET]...

Each OURS PEER TARGET triple prints PEER's time divided by OURS's, i.e. how
many times faster OURS is: by mean wall time, by median wall time and by CPU
time (user + system, which shared cores disturb least), with "met" or
"missed" against TARGET (a factor; "-" for none) judged on the mean wall time.
"""
import json
import sys


def main(argv):
    if len(argv) < 1 or (len(argv) - 1) % 3 != 0:
        sys.stderr.write("usage: ratios.py TIME.json [OURS PEER TARGET]...\n")
        return 2
    with open(argv[0]) as f:
        results = {r["command"]: r for r in json.load(f)["results"]}
    print("| command | mean (s) | ± | median | min | max | CPU (s) |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for name, r in results.items():
        print("| %s | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f |" % (
            name, r["mean"], r["stddev"] or 0.0, r["median"], r["min"], r["max"],
            r["user"] + r["system"]))
    if len(argv) > 1:
        print()
        print("| ours | peer | peer / ours (mean) | median | CPU | target | |")
        print("|---|---|---:|---:|---:|---:|---|")
    for i in range(1, len(argv), 3):
        ours, peer, target = results[argv[i]], results[argv[i + 1]], argv[i + 2]
        wall = peer["mean"] / ours["mean"]
        median = peer["median"] / ours["median"]
        cpu = (peer["user"] + peer["system"]) / (ours["user"] + ours["system"])
        verdict = ""
        if target != "-":
            verdict = "met" if wall >= float(target) else "missed"
            target = "≥ %s" % target
        print("| %s | %s | %.2f | %.2f | %.2f | %s | %s |" % (
            argv[i], argv[i + 1], wall, median, cpu, target, verdict))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
