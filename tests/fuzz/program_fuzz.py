#!/usr/bin/env python3
"""Whole-program fuzz and property harness.

Generates record files (valid and damaged) and console answers, runs the
program (normally the sanitizer build) in a fresh temporary folder each time,
and checks that every run ends in one of the documented ways:

  - status 0, nothing on standard error, a table of 301 lines;
  - death by SIGABRT after a fatal report whose first line is documented and
    whose further lines are the report's own;
  - never a sanitizer report, a hang, another signal or status, or a file
    written outside the working folder.

Usage: program_fuzz.py PROGRAM [--seconds N] [--seed S] [--keep DIR]
A failing input is kept (in --keep, default ./fuzz-failures) and the run
exits 1.
"""
import argparse
import os
import random
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

FIRST_LINES = [
    r"fmt: end of file",
    r"read start: end of file",
    r"list in: end of file",
    r"list in: record longer than 33000 samples",
    r"(invalid number|bad repetition count|exponent field): incomprehensible list input",
    r"open: null file name",
    r"open: .+",
    r"list in: .+",
    r"(no space|realloc failure): out of free space",
    r"list output start: can't write file",
    r"write: .+",
]
REST = re.compile(
    r"(apparent state: unit (5 \(unnamed\)|11 named .*)\n)"
    r"(last format: [^\n]*\n)?"
    r"lately (reading|writing) sequential formatted external IO\n\Z", re.S)
SANITIZER = re.compile(r"AddressSanitizer|UndefinedBehaviorSanitizer|runtime error|LeakSanitizer")


def number(r):
    kind = r.random()
    if kind < 0.6:
        return "%.4E" % r.gauss(0, 100)
    if kind < 0.7:
        return r.choice(["0", "-0", "1E39", "-1E39", "1E-50", "1.5D3", "1.5+3", ".5", "5.", "2*", "3*1.5",
                         "1" * r.randint(30, 80), "0." + "0" * r.randint(1, 60) + "7", "1E99999999",
                         "nan", "inf", "abc", "1.5.5", "'x'", "-", ".", "*", "0*5"])
    if kind < 0.8:
        return "%d" % r.randint(-10**6, 10**6)
    return "%.6f" % r.uniform(-1e4, 1e4)


def record(r):
    head = r.choice(["time(s) EW NS UD", "t a b c", "EW NS\nUD gal", "EW NS UD", "'a b' \"c,d\" e f",
                     "3*abc x", "A" * 30 + " b c d", "x/y a b c", ""])
    rows = []
    n = r.choice([0, 1, 2, 3, 10, 100, 1000, r.randint(0, 3000)])
    # A clean record has only ordinary numbers and no damage, so that runs
    # also reach the sweep, the table and the capacity check.
    clean = r.random() < 0.25
    if r.random() < 0.03:
        n = 33000 + r.randint(0, 2)
        clean = clean or r.random() < 0.6
    odd = 0.0 if clean else 0.05
    dt = r.choice([0.01, 0.005, 0.02, 0.0, 1e-7])
    for i in range(n):
        vals = ["%.3f" % (i * dt)] + [number(r) if r.random() < odd else "%.4E" % r.gauss(0, 100)
                                      for _ in range(3)]
        if not clean and r.random() < 0.02:
            vals.append(number(r))
        sep = r.choice([" ", " ", "\t", ",", " , ", "  "])
        rows.append(sep.join(vals))
    text = head + "\n" + "\n".join(rows) + ("\n" if r.random() < 0.8 else "")
    data = text.encode()
    if r.random() < 0.3:
        data = data.replace(b"\n", b"\r\n")
    # Damage: random bytes, Ctrl-Z, NUL, long lines, cuts.
    for _ in range(0 if clean else r.choice([0, 0, 0, 1, 3, 10])):
        what = r.random()
        pos = r.randint(0, len(data))
        if what < 0.3:
            data = data[:pos] + bytes([r.randint(0, 255)]) + data[pos:]
        elif what < 0.45:
            data = data[:pos] + b"\x1a" + data[pos:]
        elif what < 0.6:
            data = data[:pos] + b"\x00" + data[pos:]
        elif what < 0.75:
            data = data[:pos] + b"9" * r.randint(100, 5000) + data[pos:]
        elif what < 0.9:
            data = data[:pos]
        else:
            data = data[:pos] + bytes(r.randint(0, 255) for _ in range(r.randint(1, 200))) + data[pos:]
    return data


def answers(r):
    # Mostly the answers that let the run go on, so that the record file is
    # read and the table written (a name that does not exist is created
    # empty, and the run ends at the header).
    def pick(good, others):
        return good if r.random() < 0.7 else r.choice(others)
    name = pick("rec.dat", ["  rec.dat", "missing.dat", "", "     ", "rec.dat" + "x" * 20, "rec.dat\t"])
    damping = pick("0.05", ["0", "1", "1.5", "-0.2", ",", "/", "abc", "", "2*0.1", "1E39"])
    table = pick("out.csv", ["old.csv", "", "dir/none.csv", "/dev/full"])
    lines = [name, damping, table]
    cut = 3 if r.random() < 0.85 else r.choice([2, 1, 0])
    text = "\n".join(lines[:cut]) + ("\n" if cut and r.random() < 0.9 else "")
    data = text.encode()
    if r.random() < 0.2:
        data = data.replace(b"\n", b"\r\n")
    return data


def check(prog, rec, ans, old_table, work, outcomes):
    with open(os.path.join(work, "rec.dat"), "wb") as f:
        f.write(rec)
    if old_table:
        with open(os.path.join(work, "old.csv"), "wb") as f:
            f.write(b"x" * 100000)
    before = set(os.listdir(os.path.dirname(work)))
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0:abort_on_error=0", UBSAN_OPTIONS="halt_on_error=1")
    try:
        p = subprocess.run([prog], input=ans, cwd=work, capture_output=True, timeout=120, env=env,
                           preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_CORE, (0, 0)))
    except subprocess.TimeoutExpired:
        return "hang"
    err = p.stderr.decode("latin-1")
    if SANITIZER.search(err):
        return "sanitizer report:\n" + err[:2000]
    if set(os.listdir(os.path.dirname(work))) - before:
        return "file written outside the working folder"
    if p.returncode == 0:
        if err:
            return "status 0 with standard error: " + err[:300]
        tables = [n for n in ("out.csv", "old.csv") if os.path.exists(os.path.join(work, n))]
        name = ans.split(b"\n")[2].strip(b"\r").rstrip(b" ").decode("latin-1") if ans.count(b"\n") >= 2 else ""
        path = os.path.join(work, name) if name and not name.startswith("/") else None
        if path and os.path.exists(path):
            with open(path, "rb") as f:
                body = f.read()
            if body.count(b"\n") != 301:
                return "status 0 but the table has %d lines" % body.count(b"\n")
        elif path:
            return "status 0 but no table " + name + " " + str(tables)
        outcomes["status 0"] = outcomes.get("status 0", 0) + 1
        return None
    if p.returncode == -signal.SIGABRT:
        first, _, rest = err.partition("\n")
        if not any(re.fullmatch(f, first) for f in FIRST_LINES):
            return "undocumented first line: " + first
        if not REST.match(rest):
            return "report lines not as documented:\n" + err
        kind = "abort, %s (unit %s)" % (first, rest.split()[3])
        outcomes[kind] = outcomes.get(kind, 0) + 1
        return None
    return "ended with status %d\n%s" % (p.returncode, err[:500])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("program")
    ap.add_argument("--seconds", type=float, default=60)
    ap.add_argument("--seed", type=int, default=int(time.time()))
    ap.add_argument("--keep", default="fuzz-failures")
    a = ap.parse_args()
    a.program = os.path.abspath(a.program)
    print("seed %d" % a.seed, flush=True)
    r = random.Random(a.seed)
    end = time.time() + a.seconds
    runs = 0
    outcomes = {}
    top = tempfile.mkdtemp(prefix="rspec-fuzz-")
    try:
        while time.time() < end:
            work = tempfile.mkdtemp(dir=top)
            rec, ans, old = record(r), answers(r), r.random() < 0.3
            fault = check(a.program, rec, ans, old, work, outcomes)
            runs += 1
            if fault:
                os.makedirs(a.keep, exist_ok=True)
                with open(os.path.join(a.keep, "rec-%d.dat" % runs), "wb") as f:
                    f.write(rec)
                with open(os.path.join(a.keep, "answers-%d" % runs), "wb") as f:
                    f.write(ans)
                print("run %d (seed %d): %s" % (runs, a.seed, fault))
                return 1
            shutil.rmtree(work, ignore_errors=True)
    finally:
        shutil.rmtree(top, ignore_errors=True)
    print("%d runs in %.0f s, seed %d: every run ended in a documented way" % (runs, a.seconds, a.seed))
    for kind, n in sorted(outcomes.items(), key=lambda kv: -kv[1]):
        print("  %6d  %s" % (n, kind))
    return 0


if __name__ == "__main__":
    sys.exit(main())
