#!/usr/bin/env python3
"""End-to-end tests of tools/rspec-batch with real processes.

usage: batch_test.py GROUP RSPEC_BATCH RSPEC MAKE_RECORD
GROUP is one of: suite, refusals, resume, ssh, terminal.  Exit 77 (skipped) where GNU
parallel or rsync is missing.
"""

import csv
import glob
import os
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from decimal import Decimal, ROUND_HALF_EVEN

HEADER = (" period(s), acc 1, acc 2, acc 3, vel 1, vel 2, vel 3,"
          " dis 1, dis 2, dis 3\n")
failures = []


def check(cond, what):
    if not cond:
        failures.append(what)
        print("FAIL:", what)


def write(path, text, mode=0o644):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, mode)


def read(path):
    with open(path, errors="replace") as f:
        return f.read()


class Env:
    def __init__(self, batch, rspec, make_record):
        self.batch, self.rspec, self.make_record = (
            os.path.abspath(p) for p in (batch, rspec, make_record))
        self.tmp = tempfile.mkdtemp(prefix="batch-test-")
        self.path = os.path.dirname(self.rspec) + os.pathsep + os.environ["PATH"]
        self.direct_cache = {}

    def record(self, name, rows=800, seed=1, extra=()):
        path = os.path.join(self.tmp, "records", name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        subprocess.run([sys.executable, self.make_record, "--rows", str(rows),
                        "--seed", str(seed), "-o", path] + list(extra), check=True)
        return path

    def text_record(self, name, text):
        path = os.path.join(self.tmp, "records", name)
        write(path, text)
        return path

    def run(self, args, env=None, **kw):
        e = dict(os.environ, PATH=self.path)
        e.update(env or {})
        return subprocess.run([self.batch] + args, env=e, capture_output=True,
                              text=True, stdin=subprocess.DEVNULL, **kw)

    def direct(self, record, number=1, damping="0.05"):
        """rspec run by hand on the record, under the names the batch gives
        the number-th record: (status, console, stderr, table or None)."""
        key = (record, number, damping)
        if key not in self.direct_cache:
            d = tempfile.mkdtemp(dir=self.tmp)
            name = "%06d" % number
            shutil.copyfile(record, os.path.join(d, name + ".dat"))
            p = subprocess.run([self.rspec], input=("%s.dat\n%s\n%s.csv\n" % (name, damping, name))
                               .encode(), cwd=d, capture_output=True)
            table = os.path.join(d, name + ".csv")
            tb = open(table, "rb").read() if os.path.exists(table) else None
            self.direct_cache[key] = (p.returncode, p.stdout.decode(),
                                      p.stderr.decode(), tb)
        return self.direct_cache[key]


def stem(path):
    return os.path.splitext(os.path.basename(path))[0]


def no_scratch_left(out):
    check(not [n for n in os.listdir(out) if n.startswith(".rspec-batch")],
          "scratch folders left in %s" % out)


def expected_mean(tables):
    """The suite mean computed apart from the tool: decimal arithmetic,
    Python's own fixed-point formatting."""
    rows = [[l.split(",") for l in t.decode().splitlines()[1:]] for t in tables]
    out = [HEADER]
    for i in range(300):
        cells = []
        for c in range(10):
            texts = [r[i][c].strip() for r in rows]
            if any(not t[0].isdigit() for t in texts):
                cells.append("********")
                continue
            m = sum(Decimal(t) for t in texts) / len(texts)
            q = Decimal("0.0001") if c == 0 else Decimal("0.01")
            cells.append("%8s" % m.quantize(q, rounding=ROUND_HALF_EVEN))
        out.append(",".join(cells) + "\n")
    return "".join(out)


def expected_peaks(table):
    rows = [l.split(",") for l in table.decode().splitlines()[1:]]
    out = []
    for c in (1, 2, 3):
        vals = [(Decimal(r[c]) if "*" not in r[c] else Decimal("Infinity"), r) for r in rows]
        top = max(v for v, _ in vals)
        first = next(r for v, r in vals if v == top)
        at = {r[0].strip(): r[c].strip() for r in rows}
        out += [first[c].strip(), first[0].strip(), at["0.2000"], at["1.0000"]]
    return out


# ---------------------------------------------------------------- groups

def suite(env):
    """About twenty records, two damaged, one over capacity, one whose table
    write fails part-way, one with a long path: every outcome in one batch."""
    recs = []
    for k in range(14):
        recs.append(env.record("r%02d.dat" % k, rows=400 + 150 * k, seed=k + 1))
    recs.append(env.record("fine.dat", rows=1200, seed=40, extra=["--dt", "0.005"]))
    # Peaks past 99999.99 print as asterisks in some rows of this table.
    loud = env.record("loud.dat", rows=900, seed=41, extra=["--scale", "450"])
    recs.append(loud)
    longdir = os.path.join("x" * 60, "y" * 50)
    long = env.record(os.path.join(longdir, "record with spaces, a comma.dat"),
                      rows=700, seed=42)
    check(len(long) > 100, "the long path is over 100 characters")
    recs.append(long)
    bad_number = env.text_record("bad_number.dat",
                                 "t a b c\n0.00 1 2 3\n0.01 1 x 3\n")
    short_header = env.text_record("short_header.dat", "only three words\n")
    big = env.text_record("big.dat", "t a b c\n" + "".join(
        "%d 1 2 3\n" % i for i in range(33001)))
    # The wrapper limits the file size for this record only, so that the
    # table write fails after some rows, as on a full disk.
    partial = env.record("partial.dat", rows=600, seed=43)
    with open(partial, "r+") as f:
        f.write("LIMIT")
    recs[5:5] = [bad_number, short_header]
    recs[12:12] = [big, partial]
    wrapper = os.path.join(env.tmp, "limited-rspec")
    write(wrapper, "#!/bin/sh\nIFS= read -r rec\nrest=$(cat)\n"
          "if grep -q '^LIMIT' \"$rec\"; then trap '' XFSZ; ulimit -f 16; fi\n"
          "exec %s <<END\n$rec\n$rest\nEND\n" % env.rspec, 0o755)
    failed = {bad_number: "invalid number: incomprehensible list input",
              short_header: "list in: end of file",
              big: "list in: record longer than 33000 samples",
              partial: "write: File too large"}

    out = os.path.join(env.tmp, "out")
    p = env.run(["-j", "2", "--out", out, "--rspec", wrapper] + recs)
    check(p.returncode == 1, "status 1 when records fail (got %d)" % p.returncode)
    check(p.stdout == "", "nothing on standard output: %r" % p.stdout[:200])
    check("cite" not in p.stderr.lower(), "no citation notice: %r" % p.stderr[:300])
    check("4 failed" in p.stderr, "the count of failures on stderr: %r" % p.stderr)
    no_scratch_left(out)

    ok_tables = []
    for number, r in enumerate(recs, 1):
        s = stem(r)
        status, console, err, table = env.direct(r, number)
        got = os.path.join(out, s)
        if r in failed:
            check(not os.path.exists(got + ".csv"), "no table for failed " + s)
            check(os.path.exists(got + ".err")
                  and read(got + ".err").split("\n")[0] == failed[r],
                  "report of %s: %r" % (s, os.path.exists(got + ".err")
                                        and read(got + ".err")[:200]))
            if r is bad_number:
                check(read(got + ".err") == err, "the whole report of " + s)
            if r is partial:
                full = env.direct(partial)[3]
                part = open(got + ".partial.csv", "rb").read() \
                    if os.path.exists(got + ".partial.csv") else b""
                check(0 < len(part) < len(full) and full.startswith(part),
                      "the partial table is the start of the whole one")
            else:
                check(not os.path.exists(got + ".partial.csv"),
                      "no partial table for " + s)
        else:
            check(status == 0, "direct run of %s succeeds" % s)
            check(os.path.exists(got + ".csv")
                  and open(got + ".csv", "rb").read() == table,
                  "table of %s identical to a direct run" % s)
            check(not os.path.exists(got + ".err"), "no report for " + s)
            ok_tables.append(table)
    check(any(b"********" in t for t in ok_tables), "some table has asterisks")

    with open(os.path.join(out, "summary.csv"), newline="") as f:
        lines = list(csv.reader(f))
    check(len(lines) == len(recs) + 1, "summary: a line per record")
    for number, (r, line) in enumerate(zip(recs, lines[1:]), 1):
        s = stem(r)
        status, console, err, table = env.direct(r, number)
        check(line[0] == r, "summary names %s as given: %r" % (s, line[0]))
        check(line[1] == ("failed" if r in failed else "ok"), "summary status " + s)
        echo = console.split("nn and DT=")[1].split() if "nn and DT=" in console else ["", ""]
        check(line[2:4] == echo[:2], "summary nn/dt of %s: %r vs %r" % (s, line[2:4], echo))
        if r in failed:
            check(line[4] == failed[r] and line[5:] == [""] * 12, "summary line " + s)
        else:
            check(line[4:] == [""] + expected_peaks(table), "summary peaks of " + s)

    mean = read(os.path.join(out, "mean.csv"))
    check(mean == expected_mean(ok_tables), "mean against decimal arithmetic")
    check("********" in mean, "an asterisk cell makes an asterisk mean")
    log = [l.split("\t") for l in read(os.path.join(out, "joblog")).splitlines()]
    check(log[0][0] == "Seq" and len(log) > 1
          and sorted({l[6] for l in log[1:]}) == ["0", "1"],
          "a joblog, where jobs with a failed record failed")

    # With standard input closed, not only empty, the batch still runs; the
    # mean of one table is that table, 8-character fields and asterisks too.
    out2 = os.path.join(env.tmp, "out2")
    e = dict(os.environ, PATH=env.path)
    p = subprocess.run(["sh", "-c", '"$0" --out "$1" "$2" 0<&-', env.batch,
                        out2, loud], env=e, capture_output=True, text=True)
    loud_table = env.direct(loud, recs.index(loud) + 1)[3]
    check(p.returncode == 0 and open(os.path.join(out2, "loud.csv"),
                                     "rb").read() == loud_table,
          "runs with standard input closed: %s" % p.stderr[-300:])
    check(os.path.exists(os.path.join(out2, "mean.csv"))
          and open(os.path.join(out2, "mean.csv"), "rb").read() == loud_table,
          "the mean of one table is that table")


def refusals(env):
    """Nothing runs and nothing changes when the batch would lose a table or
    mix two records up; --force replaces."""
    a = env.record("a/quake.dat", rows=500, seed=5)
    b = env.record("b/quake.dat", rows=500, seed=6)
    c = env.record("c.dat", rows=500, seed=7)
    out = os.path.join(env.tmp, "out")
    p = env.run(["--out", out, a, b])
    check(p.returncode == 2 and a in p.stderr and b in p.stderr,
          "duplicate stems refused, both named: %r" % p.stderr)
    check(not os.path.exists(out), "refusal creates nothing")

    write(os.path.join(out, "quake.csv"), "old table\n")
    p = env.run(["--out", out, a, c])
    check(p.returncode == 2 and os.path.join(out, "quake.csv") in p.stderr,
          "an existing table refused by name: %r" % p.stderr)
    check(read(os.path.join(out, "quake.csv")) == "old table\n"
          and sorted(os.listdir(out)) == ["quake.csv"], "refusal changes nothing")

    p = env.run(["--out", out, "--force", "--damping", "0.2", a, c])
    check(p.returncode == 0, "--force runs: %r" % p.stderr)
    check(open(os.path.join(out, "quake.csv"), "rb").read() == env.direct(a, damping="0.2")[3]
          != env.direct(a)[3], "--force replaces the table, made with the damping given")
    # A record that now fails takes its old table away: only its report and
    # its partial table are left, never a table from an earlier run.
    write(os.path.join(env.tmp, "d", "quake.dat"), "t a b c\n0 1 2 x\n")
    p = env.run(["--out", out, "--force", os.path.join(env.tmp, "d", "quake.dat")])
    check(p.returncode == 1 and not os.path.exists(os.path.join(out, "quake.csv"))
          and os.path.exists(os.path.join(out, "quake.err")),
          "a failed record under --force leaves no old table")
    # The missing record fails before the other one runs; the summary still
    # lists them in the order given.
    none = os.path.join(env.tmp, "none.dat")
    p = env.run(["--out", out, "--force", c, none])
    check(p.returncode == 1 and "No such file" in read(os.path.join(out, "none.err"))
          and not os.path.exists(none),
          "a missing record fails and is not created")
    with open(os.path.join(out, "summary.csv"), newline="") as f:
        check([l[:2] for l in list(csv.reader(f))[1:]] == [[c, "ok"], [none, "failed"]],
              "the summary in the order given")

    # The mean and the summary of an earlier batch are tables too.
    other = os.path.join(env.tmp, "other")
    write(os.path.join(other, "mean.csv"), "old mean\n")
    p = env.run(["--out", other, c])
    check(p.returncode == 2 and "mean.csv" in p.stderr
          and read(os.path.join(other, "mean.csv")) == "old mean\n",
          "an existing mean refused: %r" % p.stderr)

    for args, what in ((["--damping", "five", c], "a damping that is no number"),
                       (["--force", "--resume", c], "--force with --resume"),
                       ([], "no record"),
                       (["--rspec", os.path.join(env.tmp, "nothing"), c], "a missing program"),
                       ([os.path.join(env.tmp, "summary.dat")], "a stem the batch uses")):
        p = env.run(["--out", os.path.join(env.tmp, "never")] + args)
        check(p.returncode == 2 and not os.path.exists(os.path.join(env.tmp, "never")),
              "usage error, status 2: " + what)


def resume(env):
    """A batch interrupted halfway keeps its finished tables and their
    summary; --resume runs only the rest."""
    recs = [env.record("s%d.dat" % k, rows=500, seed=10 + k) for k in range(8)]
    slow = os.path.join(env.tmp, "slow-rspec")
    write(slow, "#!/bin/sh\nsleep 0.4\nexec %s\n" % env.rspec, 0o755)
    out = os.path.join(env.tmp, "out")
    e = dict(os.environ, PATH=env.path)
    proc = subprocess.Popen([env.batch, "-j", "1", "--out", out, "--rspec", slow] + recs,
                            env=e, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True)
    deadline = time.time() + 30
    while time.time() < deadline and not os.path.exists(
            os.path.join(out, stem(recs[2]) + ".csv")):
        time.sleep(0.05)
    time.sleep(0.15)                  # inside the next record's run
    proc.send_signal(signal.SIGINT)
    _, err = proc.communicate(timeout=60)
    check(proc.returncode == 130, "interrupted batch ends with 130 (got %d)" % proc.returncode)
    no_scratch_left(out)
    done = [r for r in recs if os.path.exists(os.path.join(out, stem(r) + ".csv"))]
    check(3 <= len(done) < len(recs), "interrupted halfway (%d done)" % len(done))
    if len(done) == len(recs):
        return
    for r in done:
        check(open(os.path.join(out, stem(r) + ".csv"), "rb").read() == env.direct(r)[3],
              "finished table of %s is whole" % stem(r))
    with open(os.path.join(out, "summary.csv"), newline="") as f:
        lines = list(csv.reader(f))[1:]
    check([l[0] for l in lines if l[1] == "ok"] == done, "summary of the finished tables")
    check(not os.path.exists(os.path.join(out, "mean.csv")), "no mean of a part")
    # The interrupt lands inside the next record's run, which is then failed
    # with a report; on a loaded machine it may land before parallel has
    # started that run, and then no record is cut off.
    cut = recs[len(done)]
    cut_off = [l[:2] for l in lines if l[1] != "ok"]
    check((cut_off == [[cut, "failed"]]
           and os.path.exists(os.path.join(out, stem(cut) + ".err")))
          or (cut_off == [] and not os.path.exists(os.path.join(out, stem(cut) + ".err"))),
          "the record cut off, if any, is failed, with a report")

    p = env.run(["--out", out] + recs)
    check(p.returncode == 2, "a second batch without --resume is refused")

    # Resumed, then killed outright (no handler runs) once its first table
    # is there: the summary written so far still gives nn and dt of the
    # tables the next run keeps.  On a loaded machine the kill may come
    # after the batch has ended; that is accepted.
    proc = subprocess.Popen([env.batch, "-j", "1", "--out", out, "--resume", "--rspec", slow]
                            + recs, env=e, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    deadline = time.time() + 30
    while time.time() < deadline and not os.path.exists(
            os.path.join(out, stem(recs[len(done)]) + ".csv")):
        time.sleep(0.05)
    try:
        os.killpg(proc.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass                          # the batch and its jobs had all ended
    proc.wait()
    done = [r for r in recs if os.path.exists(os.path.join(out, stem(r) + ".csv"))]
    check(proc.returncode in (-signal.SIGKILL, 0),
          "killed (%d done) or ended whole: status %d" % (len(done), proc.returncode))

    inodes = {r: os.stat(os.path.join(out, stem(r) + ".csv")).st_ino for r in done}
    p = env.run(["--out", out, "--resume"] + recs)
    check(p.returncode == 0, "--resume completes: %r" % p.stderr)
    check(all(os.stat(os.path.join(out, stem(r) + ".csv")).st_ino == i
              for r, i in inodes.items()), "--resume keeps the finished tables")
    for left in glob.glob(os.path.join(out, ".rspec-batch-*")):  # left by the kill
        shutil.rmtree(left)
    no_scratch_left(out)
    tables = [open(os.path.join(out, stem(r) + ".csv"), "rb").read() for r in recs]
    check(tables == [env.direct(r)[3] for r in recs], "every table whole after --resume")
    check(not [n for n in os.listdir(out) if n.endswith((".err", ".partial.csv"))],
          "reports of interrupted records are gone once they succeed")
    with open(os.path.join(out, "summary.csv"), newline="") as f:
        lines = list(csv.reader(f))[1:]
    check([l[:4] for l in lines] == [[r, "ok", "500", "0.00999999978"] for r in recs],
          "summary after --resume: every record, nn and dt kept")
    check(read(os.path.join(out, "mean.csv")) == expected_mean(tables), "mean after --resume")


def ssh(env):
    """--sshloginfile with a stand-in for ssh that runs each command in a
    folder of its own per host: records go there and tables come back by
    rsync, and the remote scratch folders are removed."""
    remote = os.path.join(env.tmp, "remote")
    log = os.path.join(env.tmp, "ssh.log")
    stand_in = os.path.join(env.tmp, "stand-in-ssh")
    write(stand_in, r"""#!/bin/sh
# ssh [options] host [--] command...: runs the command in $REMOTE/host.
while [ $# -gt 0 ]; do
  case $1 in -[lopiSOcemwbDEFIJLQRW]) shift 2 ;; --) shift; break ;; -*) shift ;; *) break ;; esac
done
host=$1; shift
[ "$1" = -- ] && shift
echo "$host $*" >>%s
mkdir -p %s/"$host" && cd %s/"$host" || exit 255
HOME=$PWD exec sh -c "$*"
""" % (log, remote, remote), 0o755)
    logins = os.path.join(env.tmp, "hosts")
    write(logins, "1/hostA\n1/hostB\n")
    recs = [env.record("h%d.dat" % k, rows=500, seed=20 + k) for k in range(4)]
    bad = env.text_record("h_bad.dat", "t a b c\n0 1 2 3\n1 2 x 4\n")
    out = os.path.join(env.tmp, "out")
    p = env.run(["--out", out, "--sshloginfile", logins] + recs + [bad],
                env={"PARALLEL_SSH": stand_in})
    check(p.returncode == 1, "ssh batch: status 1 for the damaged record: %r" % p.stderr)
    # A record that left no table brings nothing back for it, and no
    # transfer error reaches the user.
    check([l for l in p.stderr.splitlines() if not l.startswith("rspec-batch: ")] == [],
          "only the batch's own lines on standard error: %r" % p.stderr)
    for r in recs:
        check(os.path.exists(os.path.join(out, stem(r) + ".csv"))
              and open(os.path.join(out, stem(r) + ".csv"), "rb").read() == env.direct(r)[3],
              "table of %s came back whole" % stem(r))
    check(read(os.path.join(out, "h_bad.err")) == env.direct(bad, 5)[2],
          "the report came back")
    check(not os.path.exists(os.path.join(out, "h_bad.partial.csv")),
          "no partial table where rspec made none")
    calls = read(log)
    check("rsync --server" in calls and "rsync --server --sender" in calls,
          "records sent and results returned by rsync")
    check("hostA" in calls and "hostB" in calls, "both hosts used")
    left = [os.path.join(d, f) for d, _, fs in os.walk(remote) for f in fs]
    check(left == [], "remote scratch folders removed: %r" % left[:5])
    no_scratch_left(out)


def terminal(env):
    """On a terminal the batch shows parallel's progress bar, and neither
    stalls on nor prints a citation notice, even for a user who never ran
    parallel before (a fresh home folder)."""
    if shutil.which("script") is None:
        print("skipped: script (util-linux) is not installed")
        return
    rec = env.record("t.dat", rows=500, seed=30)
    home = os.path.join(env.tmp, "home")
    os.mkdir(home)
    out = os.path.join(env.tmp, "out")
    cmd = " ".join(shlex.quote(x) for x in (env.batch, "--out", out, rec))
    p = subprocess.run(["script", "-qec", cmd, "/dev/null"], env=dict(
        os.environ, PATH=env.path, HOME=home), stdin=subprocess.DEVNULL,
        capture_output=True, text=True, timeout=60)
    check(p.returncode == 0, "runs on a terminal: %r" % p.stdout[-300:])
    check("100%" in p.stdout, "progress bar on a terminal")
    check("cite" not in p.stdout.lower(), "no citation notice: %r" % p.stdout[-300:])
    check(open(os.path.join(out, "t.csv"), "rb").read() == env.direct(rec)[3],
          "the table made on a terminal")


GROUPS = ("suite", "refusals", "resume", "ssh", "terminal")


def main(argv):
    if len(argv) != 5 or argv[1] not in GROUPS:
        print(__doc__)
        return 2
    for tool, package in (("parallel", "parallel"), ("rsync", "rsync")):
        if shutil.which(tool) is None:
            print("skipped: %s is not installed (Debian package %s; "
                  "tools/install-deps installs it)" % (tool, package))
            return 77
    env = Env(*argv[2:])
    try:
        globals()[argv[1]](env)
    finally:
        shutil.rmtree(env.tmp, ignore_errors=True)
    print("%s: %s" % (argv[1], "%d failed" % len(failures) if failures else "ok"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
