#!/usr/bin/env bash
# Measures the CPU the idle main window uses: bench/idle_cpu.sh [BUILD_DIR]
#
# Starts BUILD_DIR/vorlune (default: build/ at the repository root) with fresh, empty program,
# cache and data folders, under its own Xvfb display (or QT_QPA_PLATFORM=offscreen when Xvfb is
# not installed), lets it start for 2 s, then samples utime+stime from /proc/PID/stat 10 s apart.
# Prints the CPU used over those 10 s as a percentage of one core and exits 0 when it is under
# the 1% target, 1 when it is not, 2 when the measurement could not be made.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
build_dir="${1:-$here/../build}"
app="$build_dir/vorlune"
startup_s=2
window_s=10
target_pct=1

if [[ ! -x "$app" ]]; then
    echo "idle_cpu: $app not found or not executable" >&2
    exit 2
fi

# shellcheck source=lib/app_session.sh
source "$here/lib/app_session.sh"
session_init vl-idle
if session_start_xvfb idle_cpu; then
    platform_note="Xvfb $DISPLAY"
else
    export QT_QPA_PLATFORM=offscreen
    platform_note="offscreen (Xvfb not installed)"
fi
session_start_app "$app"

# Fields 14 and 15 of /proc/PID/stat (utime, stime), counted after the ")" that closes the
# command name, since the name itself may contain spaces.
cpu_ticks() {
    local stat rest
    stat="$(cat "/proc/$app_pid/stat")" || return 1
    rest="${stat##*) }"
    # rest starts at field 3 (state); utime is field 14 -> index 11, stime index 12.
    read -r -a f <<<"$rest"
    echo $(( f[11] + f[12] ))
}

sleep "$startup_s"
if ! kill -0 "$app_pid" 2>/dev/null; then
    echo "idle_cpu: vorlune exited during start-up; its output:" >&2
    cat "$tmp/app.log" >&2
    exit 2
fi

hz="$(getconf CLK_TCK)"
t0="$(cpu_ticks)"
w0="$(date +%s.%N)"
sleep "$window_s"
if ! t1="$(cpu_ticks 2>/dev/null)"; then
    echo "idle_cpu: vorlune exited during the measurement; its output:" >&2
    cat "$tmp/app.log" >&2
    exit 2
fi
w1="$(date +%s.%N)"

ticks=$(( t1 - t0 ))
read -r wall pct under < <(awk -v t="$ticks" -v hz="$hz" -v a="$w0" -v b="$w1" -v target="$target_pct" \
    'BEGIN { wall = b - a; pct = 100 * (t / hz) / wall;
             printf "%.2f %.2f %s\n", wall, pct, (pct < target ? "yes" : "no") }')

echo "platform:        $platform_note"
echo "process:         $app (pid $app_pid)"
echo "window:          ${wall} s after ${startup_s} s start-up"
echo "CPU ticks:       $ticks (utime+stime, $hz ticks/s)"
echo "idle CPU:        ${pct}% of one core"
if [[ "$under" == yes ]]; then
    echo "target < ${target_pct}%:   met"
    exit 0
else
    echo "target < ${target_pct}%:   NOT met"
    exit 1
fi
