"""Times vorlune-build --check and both builds of projects of growing size
(one event, N message actions), with the peak memory of each process:
bench/scale.py [--build-dir build] [--sizes 1000 10000 100000 1000000]."""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time


def measure(command, env, runs):
    """Median wall time and the largest peak resident size of the runs (of
    the process or any program it ran, as wait4 reports them)."""
    times, peaks = [], []
    for _ in range(runs):
        start = time.perf_counter()
        child = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, _, usage = os.wait4(child.pid, 0)
        times.append(time.perf_counter() - start)
        child.returncode = 0  # reaped above
        peaks.append(usage.ru_maxrss / 1024)
    return statistics.median(times), max(peaks)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", default=os.path.join(os.path.dirname(__file__), "..", "build"))
    parser.add_argument("--sizes", type=int, nargs="+", default=[1000, 10000, 100000, 1000000])
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    tool = os.path.join(os.path.abspath(args.build_dir), "vorlune-build")

    print("| actions | file | --check | .phar | .zip |")
    print("|---|---|---|---|---|")
    for size in sorted(args.sizes):
        with tempfile.TemporaryDirectory() as work:
            env = dict(os.environ, VORLUNE_HOME=os.path.join(work, "home"),
                       XDG_CACHE_HOME=os.path.join(work, "cache"))
            os.makedirs(env["VORLUNE_HOME"])
            project = os.path.join(work, "p.vlk")
            # In a process of its own: a child forked from a parent that
            # had held the project's text would count those pages as its peak.
            subprocess.run([sys.executable, "-c", "import sys; from build_bench import big_project; "
                            "big_project(sys.argv[1], int(sys.argv[2]))", project, str(size)],
                           check=True, cwd=os.path.dirname(os.path.abspath(__file__)))
            out = os.path.join(work, "out")
            cells = []
            for command in ([tool, "--check", project], [tool, project, out], [tool, "--zip", project, out]):
                seconds, peak = measure(command, env, args.runs)
                cells.append("%.2f s, %.0f MB" % (seconds, peak))
            print("| {:,} | {:.1f} MB | {} |".format(size, os.path.getsize(project) / 1e6, " | ".join(cells)))
            sys.stdout.flush()
    return 0


if __name__ == "__main__":
    sys.exit(main())
