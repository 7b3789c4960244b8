#!/usr/bin/env python3
"""Runs every fuzz target of a native build and prints what each did.

The targets, their seeds, corpus folders and options come from the list the
build writes (fuzz/targets.jsonl in the native build folder). New inputs go to
each target's corpus folder in the build tree; the committed seeds are only
read. A target stops at its first crash, which libFuzzer writes to the
target's crash folder; the table counts them.

    run_fuzz.py --build build/native [--seconds 60] [--runs N] [--jobs 1]
                [--only name ...]
"""
import argparse
import concurrent.futures
import json
import os
import re
import subprocess
import sys
import time

CRASH_PREFIXES = ("crash-", "leak-", "timeout-", "oom-", "slow-unit-")


def load_targets(build):
    path = os.path.join(build, "fuzz", "targets.jsonl")
    with open(path, encoding="utf-8") as listing:
        return [json.loads(line) for line in listing if line.strip()]


def crash_files(folder):
    if not os.path.isdir(folder):
        return set()
    return {name for name in os.listdir(folder) if name.startswith(CRASH_PREFIXES)}


def stat(output, name):
    found = re.findall(r"stat::%s:\s*(\d+)" % name, output)
    return int(found[-1]) if found else 0


def run_target(target, args, logs):
    artifacts = target["artifacts"]
    os.makedirs(target["corpus"], exist_ok=True)
    os.makedirs(artifacts, exist_ok=True)
    before = crash_files(artifacts)
    command = [target["exe"], *target["options"], "-print_final_stats=1",
               "-artifact_prefix=" + artifacts, "-max_total_time=%d" % args.seconds]
    if args.runs:
        command.append("-runs=%d" % args.runs)
    command.append(target["corpus"])
    command += [seeds for seeds in target["seeds"] if os.path.isdir(seeds)]
    if args.nice:
        command = ["nice", "-n", str(args.nice)] + command
    started = time.monotonic()
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, errors="replace", check=False)
    seconds = time.monotonic() - started
    log = os.path.join(logs, target["name"] + ".log")
    with open(log, "w", encoding="utf-8") as out:
        out.write(" ".join(command) + "\n\n" + done.stdout)
    new = sorted(crash_files(artifacts) - before)
    executions = stat(done.stdout, "number_of_executed_units")
    return {
        "name": target["name"],
        "executions": executions,
        "per_second": stat(done.stdout, "average_exec_per_sec"),
        "seconds": seconds,
        "corpus": len(os.listdir(target["corpus"])),
        # A crash file, or a run that ended badly without one.
        "crashes": len(new) or (1 if done.returncode != 0 else 0),
        "files": [os.path.join(artifacts, name) for name in new],
        "log": log,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, help="the native build folder")
    parser.add_argument("--seconds", type=int, default=60, help="time per target")
    parser.add_argument("--runs", type=int, default=0, help="stop a target after N inputs")
    parser.add_argument("--jobs", type=int, default=1, help="targets run at once")
    parser.add_argument("--nice", type=int, default=10, help="niceness of the targets")
    parser.add_argument("--only", nargs="*", help="names of the targets to run")
    args = parser.parse_args()

    targets = load_targets(args.build)
    if args.only:
        targets = [t for t in targets if t["name"] in args.only]
    logs = os.path.join(args.build, "fuzz", "logs")
    os.makedirs(logs, exist_ok=True)
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        results = list(pool.map(lambda t: run_target(t, args, logs), targets))

    header = ("target", "executions", "exec/s", "seconds", "corpus", "crashes")
    rows = [(r["name"], str(r["executions"]), str(r["per_second"]), "%.0f" % r["seconds"],
             str(r["corpus"]), str(r["crashes"])) for r in results]
    widths = [max(len(row[i]) for row in [header] + rows) for i in range(len(header))]
    for row in [header] + rows:
        print("  ".join(cell.ljust(w) if i == 0 else cell.rjust(w)
                        for i, (cell, w) in enumerate(zip(row, widths))))
    failed = [r for r in results if r["crashes"]]
    for r in failed:
        print("%s: %s (log %s)" % (r["name"], ", ".join(r["files"]) or "failed", r["log"]))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
