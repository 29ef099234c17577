"""Start-up of the application under Xvfb: from the process start to the main window mapped,
median of RUNS runs, and the peak memory of the idle application.

    python3 bench/startup.py [--build-dir build] [--runs 10]

Each run starts a fresh Xvfb display and the program with fresh program, cache and data
folders, polls `xwininfo` until the window titled "Vorlune [...]" is viewable (mapped), then
reads VmHWM of the process after 2 s of idling. Exits 0 when the median is under 150 ms and the
peak under 60 MB."""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time


def free_display():
    for n in range(120, 200):
        if not os.path.exists("/tmp/.X%d-lock" % n) and not os.path.exists("/tmp/.X11-unix/X%d" % n):
            return n
    raise SystemExit("no free display")


def window_shown(display):
    tree = subprocess.run(["xwininfo", "-display", ":%d" % display, "-root", "-tree"],
                          capture_output=True).stdout.decode("utf-8", "replace")
    for line in tree.splitlines():
        if '"Vorlune [' not in line:
            continue
        window = line.split()[0]
        state = subprocess.run(["xwininfo", "-display", ":%d" % display, "-id", window],
                               capture_output=True).stdout.decode("utf-8", "replace")
        if "IsViewable" in state:
            return True
    return False


def one_run(app, display):
    with tempfile.TemporaryDirectory() as home:
        env = dict(os.environ, DISPLAY=":%d" % display, VORLUNE_HOME=home,
                   XDG_CACHE_HOME=home, XDG_DATA_HOME=home, XDG_CONFIG_HOME=home)
        env.pop("QT_QPA_PLATFORM", None)
        start = time.monotonic()
        process = subprocess.Popen([app], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shown = None
        while time.monotonic() - start < 10:
            if window_shown(display):
                shown = (time.monotonic() - start) * 1000
                break
            time.sleep(0.002)
        time.sleep(2)
        peak_kb = 0
        with open("/proc/%d/status" % process.pid) as status:
            for line in status:
                if line.startswith("VmHWM:"):
                    peak_kb = int(line.split()[1])
        process.kill()
        process.wait()
        return shown, peak_kb / 1024


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-dir", default=os.path.join(os.path.dirname(__file__), "..", "build"))
    parser.add_argument("--runs", type=int, default=10)
    arguments = parser.parse_args()
    app = os.path.join(arguments.build_dir, "vorlune")
    times, peaks = [], []
    for _ in range(arguments.runs):
        display = free_display()
        xvfb = subprocess.Popen(["Xvfb", ":%d" % display, "-screen", "0", "1280x900x24", "-nolisten", "tcp"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            for _ in range(100):
                if os.path.exists("/tmp/.X11-unix/X%d" % display):
                    break
                time.sleep(0.05)
            shown, peak = one_run(app, display)
        finally:
            xvfb.kill()
            xvfb.wait()
        if shown is None:
            raise SystemExit("the main window did not appear")
        times.append(shown)
        peaks.append(peak)
    median = statistics.median(times)
    print("start-up to main window: median %.0f ms over %d runs (min %.0f, max %.0f); idle peak memory %.1f MB"
          % (median, len(times), min(times), max(times), max(peaks)))
    sys.exit(0 if median < 150 and max(peaks) < 60 else 1)


if __name__ == "__main__":
    main()
