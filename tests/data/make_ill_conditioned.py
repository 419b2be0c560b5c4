#!/usr/bin/python3
"""Writes ill_conditioned.json: ill-conditioned data sets (every value an exact
double, stored as hexadecimal text) with their multiple, canonical and
polynomial-fit results computed in 60-digit arithmetic (mpmath) from those
very doubles. Deterministic: run again, it writes the same file.

    /usr/bin/python3 tests/data/make_ill_conditioned.py > tests/data/ill_conditioned.json
"""
import json
import random

import mpmath as mp

mp.mp.dps = 60


def columns_hex(cols):
    return [[float(v).hex() for v in c] for c in cols]


def centred_cross(a, b):
    n = len(a[0])
    ma = [mp.fsum(mp.mpf(v) for v in c) / n for c in a]
    mb = [mp.fsum(mp.mpf(v) for v in c) / n for c in b]
    return mp.matrix([[mp.fsum((mp.mpf(a[i][r]) - ma[i]) * (mp.mpf(b[j][r]) - mb[j]) for r in range(n))
                       for j in range(len(b))] for i in range(len(a))])


def r_squared(x, y):
    sxx, sxy, syy = centred_cross(x, x), centred_cross(x, [y]), centred_cross([y], [y])
    beta = mp.lu_solve(sxx, sxy)
    return (sxy.T * beta)[0, 0] / syy[0, 0]


def canonical(x, y):
    sxx, sxy, syy = centred_cross(x, x), centred_cross(x, y), centred_cross(y, y)
    l = mp.cholesky(syy)
    li = mp.inverse(l)
    w = li * sxy.T * mp.inverse(sxx) * sxy * li.T
    w = (w + w.T) / 2
    ev = sorted(mp.eigsy(w)[0], reverse=True)
    return [mp.sqrt(max(v, 0)) for v in ev[:min(len(x), len(y))]]


def text(v):
    return mp.nstr(v, 50, min_fixed=-1, max_fixed=-1)


rng = random.Random(20261206)
cases = []

# Multiple correlation with cond(Sxx) about 1e12: x2 = x1 + 1e-6 noise.
for seed in range(3):
    n = 50
    x1 = [rng.uniform(-1, 1) for _ in range(n)]
    x2 = [a + 1e-6 * rng.gauss(0, 1) for a in x1]
    x3 = [rng.gauss(0, 1) for _ in range(n)]
    y = [a + 3e5 * (b - a) + 0.5 * c + 0.3 * rng.gauss(0, 1) for a, b, c in zip(x1, x2, x3)]
    cases.append({"kind": "multiple", "x": columns_hex([x1, x2, x3]), "y": columns_hex([y]),
                  "R": [text(mp.sqrt(r_squared([x1, x2, x3], y)))]})

# Canonical correlation with both sets nearly collinear: x2 = x1 + 1e-6 noise,
# y3 = y2 + 1e-6 noise, n = 30.
for seed in range(4):
    n = 30
    x1 = [rng.gauss(0, 1) for _ in range(n)]
    x2 = [a + 1e-6 * rng.gauss(0, 1) for a in x1]
    x3 = [rng.gauss(0, 1) for _ in range(n)]
    y1 = [a + 0.5 * rng.gauss(0, 1) for a in x3]
    y2 = [a + 0.8 * rng.gauss(0, 1) for a in x1]
    y3 = [a + 1e-6 * rng.gauss(0, 1) for a in y2]
    cases.append({"kind": "canonical", "x": columns_hex([x1, x2, x3]), "y": columns_hex([y1, y2, y3]),
                  "R": [text(v) for v in canonical([x1, x2, x3], [y1, y2, y3])]})

# A tenth-degree polynomial fit like NIST's Filip set: x in [-9, -3], the
# predictors x, x^2, ..., x^10 as doubles, y a polynomial plus noise.
n = 82
xs = sorted(rng.uniform(-9, -3) for _ in range(n))
powers = [[float(mp.mpf(v) ** p) for v in xs] for p in range(1, 11)]
y = [0.8 + 0.01 * (v + 6) ** 3 - 0.002 * (v + 6) ** 5 + 0.003 * rng.gauss(0, 1) for v in xs]
cases.append({"kind": "polynomial", "x": columns_hex(powers), "y": columns_hex([y]),
              "R2": [text(r_squared(powers, y))]})

print('{"generator": "make_ill_conditioned.py", "cases": [\n' + ",\n".join(json.dumps(c) for c in cases) + "\n]}")
