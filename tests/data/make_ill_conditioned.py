#!/usr/bin/python3
"""Prints ill_conditioned.json (exact doubles as hex, results in 60-digit mpmath); deterministic."""
import json
import random

import mpmath as mp

mp.mp.dps = 60


def hexed(cols):
    return [[float(v).hex() for v in c] for c in cols]


def cross(a, b):  # centred cross-products of the columns of a with those of b
    n = len(a[0])
    ma, mb = [mp.fsum(c) / n for c in a], [mp.fsum(c) / n for c in b]
    return mp.matrix([[mp.fsum((mp.mpf(a[i][r]) - ma[i]) * (mp.mpf(b[j][r]) - mb[j]) for r in range(n))
                       for j in range(len(b))] for i in range(len(a))])


def r_squared(x, y):
    sxy = cross(x, [y])
    return (sxy.T * mp.lu_solve(cross(x, x), sxy))[0, 0] / cross([y], [y])[0, 0]


def canonical(x, y):
    sxy, li = cross(x, y), mp.inverse(mp.cholesky(cross(y, y)))
    w = li * sxy.T * mp.inverse(cross(x, x)) * sxy * li.T
    ev = sorted(mp.eigsy((w + w.T) / 2)[0], reverse=True)
    return [mp.sqrt(max(v, 0)) for v in ev[:min(len(x), len(y))]]


def text(v):
    return mp.nstr(v, 50, min_fixed=-1, max_fixed=-1)


rng = random.Random(20261206)
cases = []
# Multiple correlation with cond(Sxx) about 1e12: x2 = x1 + 1e-6 noise, n = 50.
for _ in range(3):
    x1 = [rng.uniform(-1, 1) for _ in range(50)]
    x2 = [a + 1e-6 * rng.gauss(0, 1) for a in x1]
    x3 = [rng.gauss(0, 1) for _ in range(50)]
    y = [a + 3e5 * (b - a) + 0.5 * c + 0.3 * rng.gauss(0, 1) for a, b, c in zip(x1, x2, x3)]
    cases.append({"kind": "multiple", "x": hexed([x1, x2, x3]), "y": hexed([y]),
                  "R": [text(mp.sqrt(r_squared([x1, x2, x3], y)))]})
# Canonical correlation, both sets nearly collinear (x2 ~ x1, y3 ~ y2), n = 30.
for _ in range(4):
    x1 = [rng.gauss(0, 1) for _ in range(30)]
    x2 = [a + 1e-6 * rng.gauss(0, 1) for a in x1]
    x3 = [rng.gauss(0, 1) for _ in range(30)]
    y1 = [a + 0.5 * rng.gauss(0, 1) for a in x3]
    y2 = [a + 0.8 * rng.gauss(0, 1) for a in x1]
    y3 = [a + 1e-6 * rng.gauss(0, 1) for a in y2]
    x, y = [x1, x2, x3], [y1, y2, y3]
    cases.append({"kind": "canonical", "x": hexed(x), "y": hexed(y), "R": [text(v) for v in canonical(x, y)]})
# A tenth-degree polynomial fit like NIST's Filip: x in [-9, -3], predictors x^1..x^10 as doubles.
xs = sorted(rng.uniform(-9, -3) for _ in range(82))
powers = [[float(mp.mpf(v) ** p) for v in xs] for p in range(1, 11)]
y = [0.8 + 0.01 * (v + 6) ** 3 - 0.002 * (v + 6) ** 5 + 0.003 * rng.gauss(0, 1) for v in xs]
cases.append({"kind": "polynomial", "x": hexed(powers), "y": hexed([y]), "R2": [text(r_squared(powers, y))]})
print('{"generator": "make_ill_conditioned.py", "cases": [\n' + ",\n".join(json.dumps(c) for c in cases) + "\n]}")
