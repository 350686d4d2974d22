#!/usr/bin/env python3
"""design-spectrum: its values against values worked out by hand at the corner
periods and between them, the damping correction, units and scale, the code
range column, and its refusals.

usage: design_test.py PATH/TO/tools
"""

import math
import unittest

from toolcase import check_refusals, tool


def target(*args):
    """{period text: (horizontal, vertical or None, in code range)}"""
    done = tool("design-spectrum", *args)
    assert done.returncode == 0, done.stderr
    lines = done.stdout.split("\n")
    assert lines[0] == "period(s), Sa horizontal, Sa vertical, in code range", lines[0]
    assert lines[-1] == "" and len(lines) == 302, len(lines)
    rows = {}
    for line in lines[1:-1]:
        p, h, v, inside = line.split(",")
        rows[p.strip()] = (float(h), None if v == "" else float(v), inside)
    return rows


# Elastic spectrum of the European code for AG = 0.4 g, 5 % damping (eta = 1),
# in g.  With these numbers ag S 2.5 = S, so by hand:
#   T <= TB:        0.4 S (1 + 1.5 T/TB)
#   TB <= T <= TC:  S
#   TC <= T <= TD:  S TC / T
#   T >= TD:        S TC TD / T^2
# (type, ground) -> [(period, expected Sa in g, how it was worked out)]
HORIZONTAL = {
    (1, "A"): [("0.0500", 0.6, "0.4*1*(1+1.5/3)"), ("0.1000", 0.8, "0.4*(1+1.5*2/3)"),
               ("0.1500", 1.0, "TB: S"), ("0.3000", 1.0, "plateau"), ("0.4000", 1.0, "TC: S"),
               ("1.0000", 0.4, "1*0.4/1"), ("2.0000", 0.2, "TD: 0.4/2"),
               ("3.0000", 0.0888889, "0.4*2/9"), ("10.0000", 0.008, "0.8/100")],
    (1, "B"): [("0.0500", 0.72, "0.4*1.2*1.5"), ("0.1500", 1.2, "TB"), ("0.5000", 1.2, "TC"),
               ("1.0000", 0.6, "1.2*0.5/1"), ("2.0000", 0.3, "TD: 1.2*0.5/2"),
               ("3.0000", 0.133333, "1.2*0.5*2/9")],
    (1, "C"): [("0.0500", 0.6325, "0.46*(1+1.5/4)"), ("0.1000", 0.805, "0.46*1.75"),
               ("0.2000", 1.15, "TB"), ("0.6000", 1.15, "TC"), ("1.0000", 0.69, "1.15*0.6"),
               ("2.0000", 0.345, "TD: 0.69/2"), ("3.0000", 0.153333, "1.15*0.6*2/9")],
    (1, "D"): [("0.0500", 0.7425, "0.54*1.375"), ("0.2000", 1.35, "TB"), ("0.8000", 1.35, "TC"),
               ("1.0000", 1.08, "1.35*0.8"), ("2.0000", 0.54, "TD: 1.08/2"),
               ("3.0000", 0.24, "1.35*0.8*2/9")],
    (1, "E"): [("0.0500", 0.84, "0.56*1.5"), ("0.1500", 1.4, "TB"), ("0.5000", 1.4, "TC"),
               ("1.0000", 0.7, "1.4*0.5"), ("2.0000", 0.35, "TD"), ("3.0000", 0.155556, "1.4/9")],
    (2, "A"): [("0.0500", 1.0, "TB"), ("0.2500", 1.0, "TC"), ("0.5000", 0.5, "0.25/0.5"),
               ("1.2000", 0.208333, "TD: 0.25/1.2"), ("2.0000", 0.075, "0.25*1.2/4")],
    (2, "B"): [("0.0500", 1.35, "TB"), ("0.2500", 1.35, "TC"), ("0.5000", 0.675, "1.35/2"),
               ("1.2000", 0.28125, "TD: 1.35*0.25/1.2"), ("2.0000", 0.10125, "1.35*0.3/4")],
    (2, "C"): [("0.0500", 1.05, "0.6*(1+1.5/2)"), ("0.1000", 1.5, "TB"), ("0.2500", 1.5, "TC"),
               ("0.5000", 0.75, "1.5/2"), ("1.2000", 0.3125, "TD: 1.5*0.25/1.2"),
               ("2.0000", 0.1125, "1.5*0.3/4")],
    (2, "D"): [("0.0500", 1.26, "0.72*1.75"), ("0.1000", 1.8, "TB"), ("0.3000", 1.8, "TC"),
               ("0.6000", 0.9, "1.8*0.3/0.6"), ("1.2000", 0.45, "TD: 1.8*0.3/1.2"),
               ("2.0000", 0.162, "1.8*0.36/4")],
    (2, "E"): [("0.0500", 1.6, "TB"), ("0.2500", 1.6, "TC"), ("0.5000", 0.8, "1.6/2"),
               ("1.2000", 0.333333, "TD: 1.6*0.25/1.2"), ("2.0000", 0.12, "1.6*0.3/4")],
}
# Vertical: avg = 0.9 ag (type 1) = 0.36 g or 0.45 ag (type 2) = 0.18 g;
# plateau 3.0 avg = 1.08 or 0.54 from TB 0.05 to TC 0.15, then
# plateau TC/T up to TD 1.0, plateau TC TD/T^2 beyond.
VERTICAL = {
    1: [("0.0500", 1.08, "TB: 3*0.36"), ("0.1000", 1.08, "plateau"), ("0.1500", 1.08, "TC"),
        ("0.3000", 0.54, "1.08*0.15/0.3"), ("1.0000", 0.162, "TD: 1.08*0.15"),
        ("2.0000", 0.0405, "0.162/4"), ("4.0000", 0.010125, "0.162/16")],
    2: [("0.0500", 0.54, "TB: 3*0.18"), ("0.1500", 0.54, "TC"), ("0.3000", 0.27, "0.54/2"),
        ("1.0000", 0.081, "TD: 0.54*0.15"), ("2.0000", 0.02025, "0.081/4")],
}


class EuropeanCode(unittest.TestCase):
    def assertClose(self, got, want, where):
        # The tool writes six significant digits.
        self.assertTrue(math.isclose(got, want, rel_tol=2e-6), "%s: %r, expected %r" % (where, got, want))

    def test_every_ground_and_type_at_its_corners(self):
        for (kind, ground), points in HORIZONTAL.items():
            rows = target("--ec8", "%d,%s,0.4" % (kind, ground), "--unit", "g")
            for period, want, how in points:
                self.assertClose(rows[period][0], want, "type %d ground %s T=%s (%s)"
                                 % (kind, ground, period, how))
            # The vertical spectrum depends on the type alone.
            for period, want, how in VERTICAL[kind]:
                self.assertClose(rows[period][1], want, "vertical type %d ground %s T=%s (%s)"
                                 % (kind, ground, period, how))

    def test_damping_correction(self):
        # Ground A type 1, ag 0.4 g: the plateau (T = 0.3 s) is eta g, the
        # vertical plateau 1.08 eta g.
        cases = [
            ("5", 1.0, 1.08),                # sqrt(10/10) = 1
            ("10", 0.816497, 0.881816),      # sqrt(10/15) = sqrt(2/3); 1.08*0.816497
            ("28", 0.550482, 0.594521),      # sqrt(10/33), just above the floor
            ("30", 0.55, 0.594),             # sqrt(10/35) = 0.5345 < 0.55: the floor
            ("60", 0.55, 0.594),
            ("0", 1.41421, 1.52735),         # sqrt(2); 1.08*sqrt(2)
        ]
        for damping, plateau, vertical in cases:
            rows = target("--ec8", "1,A,0.4", "--damping", damping, "--unit", "g")
            self.assertClose(rows["0.3000"][0], plateau, "damping %s" % damping)
            self.assertClose(rows["0.1000"][1], vertical, "vertical, damping %s" % damping)
        # eta also steepens the rising branch: 0.4 (1 + (0.05/0.15)(2.5*0.816497 - 1)).
        rows = target("--ec8", "1,A,0.4", "--damping", "10", "--unit", "g")
        self.assertClose(rows["0.0500"][0], 0.538832, "rising branch, damping 10")

    def test_code_range_column_ends_at_4_s(self):
        rows = target("--ec8", "2,C,0.3")
        self.assertEqual(list(rows)[:2], ["0.0500", "0.1000"])
        self.assertEqual(list(rows)[-1], "15.0000")
        self.assertEqual({p for p, r in rows.items() if r[2] == "0"},
                         {"%.4f" % (k / 20) for k in range(81, 301)})
        self.assertEqual(rows["4.0000"][2], "1")


class UnitsAndScale(unittest.TestCase):
    def test_units_and_scale(self):
        # Type 1 ground B, ag 0.4: plateau 1.2 g.
        for args, want in [((), 1176.798),                 # 1.2 * 980.665 gal (the default)
                           (("--unit", "gal"), 1176.798),
                           (("--unit", "m/s2"), 11.76798),  # 1.2 * 9.80665
                           (("--unit", "g", "--scale", "1.5"), 1.8),
                           (("--scale", "0.5"), 588.399)]:
            rows = target("--ec8", "1,B,0.4", *args)
            self.assertTrue(math.isclose(rows["0.3000"][0], want, rel_tol=2e-6), (args, rows["0.3000"]))


class TwoPeriodSpectrum(unittest.TestCase):
    def test_corners(self):
        cases = {
            # SDS 1.0, SD1 0.5, TL 4: T0 = 0.2*0.5/1 = 0.1, TS = 0.5.
            "1.0,0.5,4": [("0.0500", 0.7),          # 1.0*(0.4 + 0.6*0.05/0.1)
                          ("0.1000", 1.0),          # T0
                          ("0.3000", 1.0),
                          ("0.5000", 1.0),          # TS
                          ("1.0000", 0.5),          # SD1/T
                          ("4.0000", 0.125),        # TL: 0.5/4
                          ("5.0000", 0.08),         # 0.5*4/25
                          ("15.0000", 0.00888889)],  # 0.5*4/225
            # SDS 0.8, SD1 0.6, TL 6: T0 = 0.15, TS = 0.75.
            "0.8,0.6,6": [("0.0500", 0.48),         # 0.8*(0.4 + 0.6/3)
                          ("0.1000", 0.64),         # 0.8*(0.4 + 0.6*2/3)
                          ("0.1500", 0.8), ("0.7500", 0.8),
                          ("0.8000", 0.75),         # 0.6/0.8
                          ("6.0000", 0.1),          # 0.6/6
                          ("7.5000", 0.064)],       # 0.6*6/56.25
        }
        for spectrum, points in cases.items():
            rows = target("--asce7", spectrum, "--unit", "g")
            for period, want in points:
                self.assertTrue(math.isclose(rows[period][0], want, rel_tol=2e-6),
                                (spectrum, period, rows[period]))
            # No vertical spectrum, and all of it inside the code's range.
            self.assertTrue(all(r[1] is None and r[2] == "1" for r in rows.values()))


class Refusals(unittest.TestCase):
    def test_one_line_and_status_2(self):
        cases = [
            (("--ec8", "3,B,0.2"), "spectrum type must be 1 or 2"),
            (("--ec8", "1,F,0.2"), "ground type must be A, B, C, D or E"),
            (("--ec8", "1,S1,0.2"), "ground type"),
            (("--ec8", "1,B,0"), "AG must be a positive number"),
            (("--ec8", "1,B,-0.2"), "AG must be a positive number"),
            (("--ec8", "1,B,abc"), "AG must be a positive number"),
            (("--ec8", "1,B,inf"), "AG must be a positive number"),
            (("--ec8", "1,B"), "needs TYPE,GROUND,AG"),
            (("--ec8", "1,B,0.2,5"), "needs TYPE,GROUND,AG"),
            (("--asce7", "1,0.5"), "needs SDS,SD1,TL"),
            (("--asce7", "1,nan,4"), "SD1 must be a positive number"),
            (("--asce7", "0.5,1,1.5"), "TL (1.5 s) must be longer than TS"),
            (("--ec8", "1,B,0.2", "--scale", "-1"), "--scale must be a positive number"),
            (("--ec8", "1,B,0.2", "--unit", "kg"), "--unit must be gal, g or m/s2"),
            (("--ec8", "1,B,0.2", "--damping", "-5"), "--damping must be"),
            (("--asce7", "1,0.5,4", "--damping", "10"), "--damping applies to --ec8 only"),
            ((), "give one of"),
            (("--ec8", "1,B,0.2", "--asce7", "1,0.5,4"), "give one of"),
            (("--ec8", "1,B,0.2", "--gal"), "unknown option --gal"),
            (("--ec8",), "--ec8 needs a value"),
        ]
        check_refusals(self, "design-spectrum", cases)


if __name__ == "__main__":
    unittest.main()
