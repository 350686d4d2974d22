#!/usr/bin/env python3
"""Throughput of rspec-batch against a plain shell loop over rspec.

Generates RECORDS records of ROWS rows with examples/make_record.py (kept in
WORK between invocations), then times, side by side and interleaved, RUNS
times each:

  loop  a shell loop that pipes the three answers into rspec per record
  j1    rspec-batch -j 1
  j2    rspec-batch -j 2
  par2  plain GNU parallel -j 2 over the loop's own command, 12 or 13
        records a job: what parallel alone reaches, without the batch's
        bookkeeping (the ceiling for j2 on this machine)

and prints the median wall time of each, records per second, the ratio of
each batch's throughput to the loop's, and the batch's overhead per record
over the loop (j1 against loop), in wall time and in processor time (user
and system time of all the processes, which another load on the machine
disturbs less).  Not a test: figures depend on the machine and on what else
runs on it.

usage: bench/batch_bench.py [--rspec build/rspec] [--records 200]
                            [--rows 6000] [--runs 5] [--work DIR]
"""

import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

LOOP = """
for f in r/*.dat; do
  n=${f#r/}
  printf '%s\\n0.05\\n%s\\n' "$f" "o/${n%.dat}.csv" | "$RSPEC" >/dev/null
done
"""
# The same, for the records given as arguments (a job of plain parallel).
PART = LOOP.replace("r/*.dat", '"$@"')


def generate(work, records, rows):
    folder = os.path.join(work, "r")
    os.makedirs(folder, exist_ok=True)
    stamp = os.path.join(folder, ".made")
    want = "%d %d" % (records, rows)
    if os.path.exists(stamp) and open(stamp).read() == want:
        return
    for name in os.listdir(folder):
        os.remove(os.path.join(folder, name))
    for k in range(records):
        subprocess.run([sys.executable, os.path.join(ROOT, "examples", "make_record.py"),
                        "--rows", str(rows), "--seed", str(1000 + k),
                        "-o", os.path.join(folder, "r%03d.dat" % k)], check=True)
    with open(stamp, "w") as f:
        f.write(want)


def timed(work, argv, env):
    out = os.path.join(work, "o")
    shutil.rmtree(out, ignore_errors=True)
    os.mkdir(out)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    p = subprocess.run(argv, cwd=work, env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    elapsed = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if p.returncode != 0:
        sys.exit("failed (%d): %s\n%s" % (p.returncode, " ".join(argv), p.stderr))
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return elapsed, cpu


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--rspec", default=os.path.join(ROOT, "build", "rspec"))
    p.add_argument("--records", type=int, default=200)
    p.add_argument("--rows", type=int, default=6000)
    p.add_argument("--runs", type=int, default=5)
    p.add_argument("--work", default=os.path.join(ROOT, "build", "batch-bench"))
    a = p.parse_args()
    rspec = os.path.abspath(a.rspec)
    work = os.path.abspath(a.work)
    os.makedirs(work, exist_ok=True)
    print("generating %d records of %d rows in %s ..." % (a.records, a.rows, work), flush=True)
    generate(work, a.records, a.rows)
    records = sorted(n for n in os.listdir(os.path.join(work, "r")) if n.endswith(".dat"))
    batch = os.path.join(ROOT, "tools", "rspec-batch")
    with open(os.path.join(work, "part.sh"), "w") as f:
        f.write(PART)
    env = dict(os.environ, RSPEC=rspec)
    ways = {
        "loop": ["sh", "-c", LOOP],
        "j1": [batch, "-j", "1", "--rspec", rspec, "--out", "o"] + ["r/" + n for n in records],
        "j2": [batch, "-j", "2", "--rspec", rspec, "--out", "o"] + ["r/" + n for n in records],
        "par2": ["parallel", "--will-cite", "-j", "2", "-n", str(-(-len(records) // 16)),
                 "sh", "part.sh", ":::"] + ["r/" + n for n in records],
    }
    times = {k: [] for k in ways}
    cpus = {k: [] for k in ways}
    for run in range(a.runs):
        for name, argv in ways.items():
            wall, cpu = timed(work, argv, env)
            times[name].append(wall)
            cpus[name].append(cpu)
        print("run %d: %s" % (run + 1, "  ".join(
            "%s %.3f s (cpu %.3f s)" % (k, v[-1], cpus[k][-1]) for k, v in times.items())),
            flush=True)
    med = {k: statistics.median(v) for k, v in times.items()}
    cpu = {k: statistics.median(v) for k, v in cpus.items()}
    n = len(records)
    print("\n%d records of %d rows, median of %d interleaved runs (%d cores)"
          % (n, a.rows, a.runs, os.cpu_count()))
    for k in ways:
        print("  %-5s %7.3f s  %7.1f records/s  throughput x%.2f of the loop"
              "  (cpu %.3f s)" % (k, med[k], n / med[k], med["loop"] / med[k], cpu[k]))
    print("  batch overhead per record (j1 - loop): %.2f ms wall, %.2f ms cpu"
          % ((med["j1"] - med["loop"]) / n * 1000, (cpu["j1"] - cpu["loop"]) / n * 1000))
    print("  goals: j2 at least x1.8 of the loop; overhead under 10 ms")


if __name__ == "__main__":
    main()
