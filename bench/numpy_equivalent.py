#!/usr/bin/python3
"""The engine benchmarks' work done with numpy + OpenBLAS, for comparison:
simple correlation of 200,000 x 100 (descriptives, R, t, P) and canonical
correlation of 200,000 x 50 + 50 (correlations with P, raw and standardised
coefficients, scores and loadings). Prints one line per case: name and the
median wall time in milliseconds of five runs.
"""
import sys
import time

import numpy as np
from scipy.special import stdtr

N = 200_000


def generate(k, seed):
    rng = np.random.default_rng(seed)
    factors = np.random.default_rng(12345).standard_normal((N, 5))
    j = np.arange(1, k + 1)
    loading = 0.3 + 0.1 * ((j * 7) % 5)
    scale = 1.0 + j
    f = factors[:, (j - 1) % 5]
    return np.asfortranarray(scale * (loading * f + rng.standard_normal((N, k))) + 10.0 * j)


def t_and_p(r, df):
    with np.errstate(divide="ignore", invalid="ignore"):
        t = np.abs(r * np.sqrt(df) / np.sqrt(1.0 - r * r))
    return t, 2.0 * stdtr(df, -t)


def simple(x):
    n = x.shape[0]
    mean = x.mean(axis=0)
    sd = x.std(axis=0, ddof=1)
    se = sd / np.sqrt(n)
    r = np.corrcoef(x, rowvar=False)
    t, p = t_and_p(r, n - 2)
    return mean, sd, se, r, t, p


def loadings(data_c, data_sd, scores):
    sc = scores - scores.mean(axis=0)
    cross = data_c.T @ sc
    return cross / np.outer(data_sd, np.sqrt((sc * sc).sum(axis=0)))


def canonical(x, y):
    n = x.shape[0]
    xc = x - x.mean(axis=0)
    yc = y - y.mean(axis=0)
    joined = np.hstack([xc, yc])
    s = joined.T @ joined
    p = x.shape[1]
    sxx, sxy, syy = s[:p, :p], s[:p, p:], s[p:, p:]
    d = np.sqrt(np.diag(s))
    r = s / np.outer(d, d)
    t_and_p(r, n - 2)
    coeffs = []
    for a, b, sab in ((syy, sxx, sxy.T), (sxx, syy, sxy)):
        f = np.linalg.cholesky(a)
        binv = np.linalg.inv(f)
        w = binv @ sab @ np.linalg.solve(b, sab.T) @ binv.T
        vals, vecs = np.linalg.eigh((w + w.T) / 2)
        coeffs.append(binv.T @ vecs[:, ::-1])
    raw_y, raw_x = coeffs
    std_x = raw_x * np.sqrt(np.diag(sxx) / (n - 1))[:, None]
    std_y = raw_y * np.sqrt(np.diag(syy) / (n - 1))[:, None]
    sdx, sdy = np.sqrt(np.diag(sxx)), np.sqrt(np.diag(syy))
    out = []
    for cx, cy, dx, dy in ((raw_x, raw_y, x, y), (std_x, std_y, xc / (sdx / np.sqrt(n - 1)), yc / (sdy / np.sqrt(n - 1)))):
        u, v = dx @ cx, dy @ cy
        out += [loadings(xc, sdx, u), loadings(yc, sdy, v), loadings(xc, sdx, v), loadings(yc, sdy, u)]
    return out


def timed(name, fn, *args):
    times = []
    for _ in range(5):
        start = time.perf_counter()
        fn(*args)
        times.append((time.perf_counter() - start) * 1000.0)
    times.sort()
    print(f"{name} {times[2]:.1f}")
    sys.stdout.flush()


if __name__ == "__main__":
    try:
        from threadpoolctl import threadpool_info
        for pool in threadpool_info():
            sys.stderr.write(f"numpy BLAS: {pool.get('internal_api')} {pool.get('version')} "
                             f"kernel {pool.get('architecture')} threads {pool.get('num_threads')}\n")
    except ImportError:
        pass
    which = sys.argv[1:] or ["simple", "canonical"]
    if "simple" in which:
        timed("simple", simple, generate(100, 1))
    if "canonical" in which:
        timed("canonical", canonical, generate(50, 1), generate(50, 2))
