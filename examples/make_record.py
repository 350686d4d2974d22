#!/usr/bin/env python3
"""Write a synthetic three-component ground-acceleration record.

Each component is Gaussian white noise passed through a Kanai-Tajimi ground
filter and a Clough-Penzien high-pass filter, shaped by a Saragoni-Hart
envelope, baseline-corrected and scaled to a chosen peak.  The record is a
text file: one line of four header words, then one row per sample with the
time and the three accelerations.  The same options give the same bytes.
"""

import argparse
import math
import random
import sys

# Ground filter (frequency in Hz, damping ratio) and target peak per
# component: two horizontals on a firm site, and a stiffer, weaker vertical.
COMPONENTS = (
    ("EW", 2.5, 0.60, 250.0),
    ("NS", 2.0, 0.65, 200.0),
    ("UD", 5.0, 0.50, 120.0),
)
# The high-pass corner sits at a tenth of the ground frequency: it removes
# the long-period drift the ground filter passes, so velocity stays bounded.
HIGH_PASS_RATIO = 0.1
HIGH_PASS_DAMPING = 0.6
# The envelope peaks at this fraction of the duration.
ENVELOPE_PEAK = 0.15
ENVELOPE_SHAPE = 1.5
SUBSTEPS = 4


def envelope(t, duration):
    """Saragoni-Hart envelope, 1 at its peak and near 0 at the end."""
    tp = ENVELOPE_PEAK * duration
    if t <= 0.0:
        return 0.0
    r = t / tp
    return r ** ENVELOPE_SHAPE * math.exp(ENVELOPE_SHAPE * (1.0 - r))


def oscillator(force, dt, freq, damping):
    """Displacement and velocity of x'' + 2 z w x' + w^2 x = f(t).

    Newmark's average-acceleration rule with the force linear between
    samples, on SUBSTEPS sub-steps per sample.
    """
    w = 2.0 * math.pi * freq
    c = 2.0 * damping * w
    k = w * w
    h = dt / SUBSTEPS
    keff = k + 2.0 * c / h + 4.0 / (h * h)
    x = v = 0.0
    a = force[0]
    xs, vs = [0.0], [0.0]
    for n in range(1, len(force)):
        f0, f1 = force[n - 1], force[n]
        for s in range(1, SUBSTEPS + 1):
            f = f0 + (f1 - f0) * s / SUBSTEPS
            rhs = f + c * (2.0 * x / h + v) + (4.0 * x / (h * h) + 4.0 * v / h + a)
            xn = rhs / keff
            vn = 2.0 * (xn - x) / h - v
            a = f - c * vn - k * xn
            x, v = xn, vn
        xs.append(x)
        vs.append(v)
    return xs, vs


def filtered(noise, dt, freq, damping):
    """Kanai-Tajimi then Clough-Penzien filtering of a noise sequence."""
    wg = 2.0 * math.pi * freq
    x, v = oscillator(noise, dt, freq, damping)
    ground = [-(2.0 * damping * wg * vi + wg * wg * xi) for xi, vi in zip(x, v)]
    fc = HIGH_PASS_RATIO * freq
    wf = 2.0 * math.pi * fc
    y, u = oscillator(ground, dt, fc, HIGH_PASS_DAMPING)
    # The relative acceleration of the second oscillator: the ground motion
    # with its long periods taken out.
    return [gi - (2.0 * HIGH_PASS_DAMPING * wf * ui + wf * wf * yi)
            for yi, ui, gi in zip(y, u, ground)]


def integrate(values, dt):
    out = [0.0]
    for n in range(1, len(values)):
        out.append(out[-1] + 0.5 * dt * (values[n - 1] + values[n]))
    return out


def baseline(acc, dt, weight):
    """Bring the ground back to rest: subtract a correction w(t) (p + q t),
    with w the envelope so the quiet ends stay quiet, chosen so that the
    trapezoidal velocity and displacement both end at zero."""
    def ends(a):
        vel = integrate(a, dt)
        return vel[-1], integrate(vel, dt)[-1]
    g1 = weight
    g2 = [w * n * dt for n, w in enumerate(weight)]
    v0, d0 = ends(acc)
    v1, d1 = ends(g1)
    v2, d2 = ends(g2)
    det = v1 * d2 - v2 * d1
    p = (v0 * d2 - v2 * d0) / det
    q = (v1 * d0 - v0 * d1) / det
    return [a - p * x - q * y for a, x, y in zip(acc, g1, g2)]


def component(rng, rows, dt, freq, damping, peak):
    duration = rows * dt
    noise = [rng.gauss(0.0, 1.0) for _ in range(rows)]
    acc = filtered(noise, dt, freq, damping)
    shape = [envelope(n * dt, duration) for n in range(rows)]
    acc = [a * e for a, e in zip(acc, shape)]
    acc = baseline(acc, dt, shape)
    top = max(abs(a) for a in acc)
    return [a * peak / top for a in acc]


def decimals(dt):
    """Decimals needed to write every multiple of dt exactly (at least 2)."""
    for d in range(2, 10):
        if abs(round(dt, d) - dt) < 1e-12:
            return d
    return 9


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--rows", type=int, default=6000, help="number of samples (default 6000)")
    p.add_argument("--dt", type=float, default=0.01, help="sampling interval in s (default 0.01)")
    p.add_argument("--seed", type=int, default=20260101, help="random seed (default 20260101)")
    p.add_argument("--scale", type=float, default=1.0,
                   help="multiply the target peaks (250, 200, 120 cm/s^2) by this")
    p.add_argument("-o", "--output", help="write here instead of standard output")
    args = p.parse_args(argv)
    if args.rows < 2 or args.dt <= 0.0:
        p.error("--rows must be at least 2 and --dt positive")

    rng = random.Random(args.seed)
    columns = [component(rng, args.rows, args.dt, f, z, pk * args.scale)
               for _, f, z, pk in COMPONENTS]
    tfmt = "%%.%df" % decimals(args.dt)
    lines = ["time(s) " + " ".join("%s(gal)" % c[0] for c in COMPONENTS)]
    for n in range(args.rows):
        lines.append(" ".join([tfmt % (n * args.dt)] + ["%.4E" % col[n] for col in columns]))
    data = ("\n".join(lines) + "\n").encode("ascii")
    if args.output:
        with open(args.output, "wb") as f:
            f.write(data)
    else:
        sys.stdout.buffer.write(data)


if __name__ == "__main__":
    main(sys.argv[1:])
