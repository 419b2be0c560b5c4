#!/usr/bin/python3
"""Times the engine's simple (200,000 x 100, with descriptives) and canonical
(200,000 x 50 + 50, raw and standardised results) analyses, then the same
work in numpy + OpenBLAS, one after the other, and prints the medians and
the engine's share of numpy's time.

    /usr/bin/python3 bench/compare_with_numpy.py [build-dir] [repetitions]

OPENBLAS_CORETYPE and OPENBLAS_L2_SIZE are removed for the numpy run only
(they make OpenBLAS pick slow kernels); the kernel it runs is printed.
"""
import json
import os
import subprocess
import sys

here = os.path.dirname(os.path.abspath(__file__))
build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "build")
repetitions = int(sys.argv[2]) if len(sys.argv) > 2 else 5

engine = subprocess.run(
    [os.path.join(build, "bench", "engine_bench"),
     "--benchmark_filter=BM_SimpleCorrelation/|BM_CanonicalCorrelation/",
     f"--benchmark_repetitions={repetitions}", "--benchmark_format=json"],
    check=True, capture_output=True, text=True).stdout
runs = {}
for b in json.loads(engine)["benchmarks"]:
    if b.get("run_type") == "iteration":
        key = "simple" if "Simple" in b["name"] else "canonical"
        runs.setdefault(key, []).append(b["real_time"])
engine_ms = {k: sorted(v)[len(v) // 2] for k, v in runs.items()}

env = dict(os.environ)
env.pop("OPENBLAS_CORETYPE", None)
env.pop("OPENBLAS_L2_SIZE", None)
numpy_out = subprocess.run(["/usr/bin/python3", os.path.join(here, "numpy_equivalent.py")],
                           check=True, capture_output=True, text=True, env=env)
numpy_ms = {}
for line in numpy_out.stdout.splitlines():
    name, value = line.split()
    numpy_ms[name] = float(value)
sys.stderr.write(numpy_out.stderr)

threads = os.environ.get("NML_THREADS", "all")
print(f"engine threads: {threads}; load average before the runs: {os.getloadavg()[0]:.2f}")
print(f"{'analysis':<10} {'engine ms':>10} {'numpy ms':>10} {'ratio':>7}")
for name in ("simple", "canonical"):
    e, n = engine_ms[name], numpy_ms[name]
    print(f"{name:<10} {e:>10.1f} {n:>10.1f} {e / n:>7.2f}")
