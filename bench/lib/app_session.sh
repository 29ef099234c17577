# Runs vorlune in fresh program, cache and data folders under an Xvfb display of its own.
# Sourced by bench/idle_cpu.sh and docs/screenshot.sh:
#   session_init NAME          temporary folder $tmp, clean-up on exit, fresh VORLUNE_HOME/XDG_*
#   session_start_xvfb NAME    own display (sets DISPLAY); returns 1 when Xvfb is not installed
#   session_start_app APP ...  starts the program in the background ($app_pid, log in $tmp/app.log)

session_cleanup() {
    if [[ -n "${app_pid:-}" ]] && kill -0 "$app_pid" 2>/dev/null; then
        kill "$app_pid" 2>/dev/null || true
        for _ in 1 2 3 4 5 6 7 8 9 10; do
            kill -0 "$app_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$app_pid" 2>/dev/null || true
    fi
    [[ -n "${app_pid:-}" ]] && wait "$app_pid" 2>/dev/null || true
    if [[ -n "${xvfb_pid:-}" ]] && kill -0 "$xvfb_pid" 2>/dev/null; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}

session_init() {
    tmp="$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")"
    app_pid=""
    xvfb_pid=""
    trap session_cleanup EXIT
    trap 'exit 2' INT TERM HUP
    mkdir -p "$tmp/home" "$tmp/cache" "$tmp/data" "$tmp/config"
    export VORLUNE_HOME="$tmp/home" XDG_CACHE_HOME="$tmp/cache" XDG_DATA_HOME="$tmp/data" \
           XDG_CONFIG_HOME="$tmp/config"
}

session_start_xvfb() {
    command -v Xvfb >/dev/null 2>&1 || return 1
    # The first display number with neither a lock file nor a socket.
    local display="" n
    for n in $(seq 90 199); do
        if [[ ! -e "/tmp/.X$n-lock" && ! -e "/tmp/.X11-unix/X$n" ]]; then display="$n"; break; fi
    done
    [[ -n "$display" ]] || { echo "$1: no free X display number in 90-199" >&2; exit 2; }
    Xvfb ":$display" -screen 0 1280x900x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 50); do
        [[ -e "/tmp/.X11-unix/X$display" ]] && break
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    if ! kill -0 "$xvfb_pid" 2>/dev/null || [[ ! -e "/tmp/.X11-unix/X$display" ]]; then
        echo "$1: Xvfb :$display did not start:" >&2
        cat "$tmp/xvfb.log" >&2
        exit 2
    fi
    export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
}

session_start_app() {
    "$@" >"$tmp/app.log" 2>&1 &
    app_pid=$!
}
