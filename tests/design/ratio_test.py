#!/usr/bin/env python3
"""spectrum-ratio: ratios of tables built with known ratios to their targets,
the smallest ratio and its period, the --fraction status, and refusals.

usage: ratio_test.py PATH/TO/tools
"""

import os
import tempfile
import unittest

from toolcase import check_refusals, tool

HEADER = " period(s), acc 1, acc 2, acc 3, vel 1, vel 2, vel 3, dis 1, dis 2, dis 3"
PERIODS = [k / 20 for k in range(1, 301)]


def table_text(acc):
    """An rspec table whose three accelerations at period T are acc(T)."""
    rows = [HEADER]
    for t in PERIODS:
        fields = ["%8.4f" % t] + [f if isinstance(f, str) else "%8.2f" % f for f in acc(t)]
        rows.append(",".join(fields + ["    1.00"] * 6))
    return "\n".join(rows) + "\n"


class Ratio(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)

    def write(self, name, text):
        path = os.path.join(self.dir.name, name)
        with open(path, "w") as f:
            f.write(text)
        return path

    def sparse_target(self):
        # Horizontal 100 at 0.1 s and 200 at 1.1 s, so 90 + 100 T between
        # them; vertical 50 throughout.
        return self.write("sparse.csv", "period(s), Sa horizontal, Sa vertical, in code range\n"
                          "0.1, 100, 50, 1\n1.1, 200, 50, 1\n15, 200, 50, 0\n")

    def known_table(self):
        # acc 1 three times the target but 2.5 times at 0.45 s; acc 2 the
        # target but 0.8 of it at 0.55 s; acc 3 1.5 times the vertical, with
        # no value at 0.30 s.
        def acc(t):
            h = 90 + 100 * t
            return (h * (2.5 if t == 0.45 else 3), h * (0.8 if t == 0.55 else 1),
                    "********" if t == 0.3 else 75.0)
        return self.write("known.csv", table_text(acc))

    def test_known_ratios(self):
        done = tool("spectrum-ratio", self.known_table(), self.sparse_target(), "--range", "0.3,0.6")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertEqual(done.stderr, "")
        self.assertEqual(done.stdout,
                         "period(s), acc 1 / horizontal, acc 2 / horizontal, acc 3 / vertical\n"
                         "  0.3000,  3.0000,  1.0000,\n"
                         "  0.3500,  3.0000,  1.0000,  1.5000\n"
                         "  0.4000,  3.0000,  1.0000,  1.5000\n"
                         "  0.4500,  2.5000,  1.0000,  1.5000\n"
                         "  0.5000,  3.0000,  1.0000,  1.5000\n"
                         "  0.5500,  3.0000,  0.8000,  1.5000\n"
                         "  0.6000,  3.0000,  1.0000,  1.5000\n"
                         "smallest,  2.5000,  0.8000,  1.5000\n"
                         "at period(s),  0.4500,  0.5500,  0.3500\n")

    def test_fraction_sets_the_status(self):
        table, target = self.known_table(), self.sparse_target()
        done = tool("spectrum-ratio", table, target, "--range", "0.3,0.6", "--fraction", "0.9")
        self.assertEqual(done.returncode, 1)
        self.assertEqual(done.stderr,
                         "spectrum-ratio: acc 2 / horizontal falls below 0.9: 0.8000 at 0.5500 s\n")
        self.assertIn("smallest,  2.5000,  0.8000,  1.5000\n", done.stdout)
        done = tool("spectrum-ratio", table, target, "--range", "0.3,0.6", "--fraction", "0.8")
        self.assertEqual((done.returncode, done.stderr), (0, ""))
        # Outside the range the low ratio does not count.
        done = tool("spectrum-ratio", table, target, "--range", "0.6,1.1", "--fraction", "0.9")
        self.assertEqual((done.returncode, done.stderr), (0, ""))

    def test_against_design_targets(self):
        ec8 = self.write("ec8.csv", tool("design-spectrum", "--ec8", "1,C,0.15").stdout)
        values = {}
        with open(ec8) as f:
            lines = f.read().split("\n")[1:-1]
        for line in lines:
            p, h, v, _ = line.split(",")
            values[round(float(p), 2)] = (float(h), float(v))
        # 1.25, 0.75 and 2 times the target, rounded to the table's two
        # decimals: the smallest value, 2 x 15 gal at 2 s, is off by 0.005
        # at most, 3.3e-4 of the ratio.
        table = self.write("scaled.csv", table_text(
            lambda t: (1.25 * values[t][0], 0.75 * values[t][0], 2 * values[t][1])))
        done = tool("spectrum-ratio", table, ec8, "--range", "0.2,2")
        self.assertEqual(done.returncode, 0, done.stderr)
        rows = [line.split(",") for line in done.stdout.split("\n")[1:-3]]
        self.assertEqual(len(rows), 37)   # 0.20 to 2.00 s
        for row in rows:
            for got, want in zip(row[1:], (1.25, 0.75, 2.0)):
                self.assertAlmostEqual(float(got), want, delta=3.4e-4, msg=row)
        # Beyond 4 s the code defines no spectrum: a warning, ratios all the same.
        done = tool("spectrum-ratio", table, ec8, "--range", "3,5")
        self.assertEqual(done.returncode, 0)
        self.assertEqual(done.stderr, "spectrum-ratio: warning: the target is beyond its "
                         "code's range at 20 of the periods\n")
        # The two-period spectrum has no vertical: the third ratio stays empty.
        asce = self.write("asce.csv", tool("design-spectrum", "--asce7", "1,0.5,4").stdout)
        done = tool("spectrum-ratio", table, asce, "--range", "0.5,1")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertTrue(all(line.endswith(",") for line in done.stdout.split("\n")[1:-1]),
                        done.stdout)

    def test_refusals(self):
        table, target = self.known_table(), self.sparse_target()
        zero = self.write("zero.csv", "period(s), Sa horizontal, Sa vertical\n"
                          "0.05, 100, 50\n0.5, 0, 50\n15, 100, 50\n")
        unsorted = self.write("unsorted.csv", "period(s), Sa horizontal, Sa vertical\n"
                              "0.05, 100, 50\n0.05, 100, 50\n")
        cases = [
            ((table, target), "--range T1,T2 is required"),
            ((table, target, "--range", "0.6,0.3"), "T1 must be below T2"),
            ((table, target, "--range", "0,1"), "must be a positive number"),
            ((table, target, "--range", "1"), "needs T1,T2"),
            ((table, target, "--range", "0.2,x"), "must be a positive number"),
            ((table, target, "--range", "0.3,0.6", "--fraction", "-1"), "--fraction must be"),
            ((table, target, "--range", "15.5,20"), "no period from 15.5 s to 20 s"),
            ((table, target, "--range", "0.05,0.3"), "does not reach the period 0.0500 s"),
            ((table, zero, "--range", "0.3,0.6"), "the target is 0 at 0.5000 s"),
            ((table, unsorted, "--range", "0.3,0.6"), "line 3: the periods must be above 0 and"),
            ((target, target, "--range", "0.3,0.6"), "not a spectrum table"),
            ((table, table, "--range", "0.3,0.6"), "not a target spectrum"),
            ((table, "no-such.csv", "--range", "0.3,0.6"), "cannot read no-such.csv"),
            ((table,), "expected a table and a target"),
            ((table, target, "--range", "0.3,0.6", "--log"), "unknown option --log"),
        ]
        check_refusals(self, "spectrum-ratio", cases)


if __name__ == "__main__":
    unittest.main()
