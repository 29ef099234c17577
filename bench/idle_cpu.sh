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

tmp="$(mktemp -d "${TMPDIR:-/tmp}/vl-idle.XXXXXX")"
app_pid=""
xvfb_pid=""

cleanup() {
    if [[ -n "$app_pid" ]] && kill -0 "$app_pid" 2>/dev/null; then
        kill "$app_pid" 2>/dev/null || true
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            kill -0 "$app_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$app_pid" 2>/dev/null || true
    fi
    [[ -n "$app_pid" ]] && wait "$app_pid" 2>/dev/null || true
    if [[ -n "$xvfb_pid" ]] && kill -0 "$xvfb_pid" 2>/dev/null; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 2' INT TERM HUP

mkdir -p "$tmp/home" "$tmp/cache" "$tmp/data" "$tmp/config"

platform_note=""
if command -v Xvfb >/dev/null 2>&1; then
    # Pick the first display number with neither a lock file nor a socket.
    display=""
    for n in $(seq 90 199); do
        if [[ ! -e "/tmp/.X$n-lock" && ! -e "/tmp/.X11-unix/X$n" ]]; then
            display="$n"
            break
        fi
    done
    if [[ -z "$display" ]]; then
        echo "idle_cpu: no free X display number in 90-199" >&2
        exit 2
    fi
    Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 50); do
        [[ -e "/tmp/.X11-unix/X$display" ]] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    if ! kill -0 "$xvfb_pid" 2>/dev/null || [[ ! -e "/tmp/.X11-unix/X$display" ]]; then
        echo "idle_cpu: Xvfb :$display did not start:" >&2
        cat "$tmp/xvfb.log" >&2
        exit 2
    fi
    export DISPLAY=":$display"
    export QT_QPA_PLATFORM=xcb
    platform_note="Xvfb :$display"
else
    export QT_QPA_PLATFORM=offscreen
    platform_note="offscreen (Xvfb not installed)"
fi

export VORLUNE_HOME="$tmp/home"
export XDG_CACHE_HOME="$tmp/cache"
export XDG_DATA_HOME="$tmp/data"
export XDG_CONFIG_HOME="$tmp/config"

"$app" >"$tmp/app.log" 2>&1 &
app_pid=$!

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
