#!/usr/bin/env bash
# Takes the README screenshot of the main window with the plugin settings editor open:
#   docs/screenshot.sh [BUILD_DIR] [OUTPUT.png] [settings|script|run-settings]
# (defaults: build/ at the repository root, docs/main-window.png, settings)
# "script" opens a project with two events and a few actions in the script editor instead;
# "run-settings" opens Settings > Plugin launch and captures that window.
#
# Runs BUILD_DIR/vorlune on examples/hello.vlk under its own Xvfb display with fresh program,
# cache and data folders, double-clicks the first node of the project tree (the plugin settings
# node) and captures only the main window. Needs Xvfb, xdotool and imagemagick's import.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/.." && pwd)"
build_dir="${1:-$repo/build}"
out="${2:-$repo/docs/main-window.png}"
app="$build_dir/vorlune"
project="$repo/examples/hello.vlk"
mode="${3:-settings}"

# Position of the first tree row inside the main window: the tree starts below the menu bar
# (about 21 px) and the tool bar (about 20 px); its first row is about 18 px high.
node_x=60
node_y=50
# Middle of the menu bar's third title, after "Файл" and "Метадата".
settings_menu_x=150

for tool in Xvfb xdotool import; do
    command -v "$tool" >/dev/null 2>&1 || { echo "screenshot: $tool is not installed" >&2; exit 2; }
done
[[ -x "$app" ]] || { echo "screenshot: $app not found or not executable" >&2; exit 2; }

# shellcheck source=../bench/lib/app_session.sh
source "$repo/bench/lib/app_session.sh"
session_init vl-shot
session_start_xvfb screenshot || { echo "screenshot: Xvfb is not installed" >&2; exit 2; }

if [[ "$mode" == script ]]; then
    project="$tmp/two-events.vlk"
    python3 - "$project" <<'PY'
import sys
sep = "&#8291;"
def actn(text):
    return '<actn id="1" args="%s:[%s]%s"/>' % (sep, text, sep)
main = "\u0440h\u0440_m\u0430i\u043f_fil\u0435"
xml = ('<?xml version="1.0" encoding="windows-1251"?><plugin><settings name="Greeter" creator="Me" '
       'version="1.0.0" site="example.com" api="1.0.0" loading="POSTWORLD" main="Greeter\\Main"/>'
       '<phpscripts><%s><ev_1>%s%s%s</ev_1><ev_3>%s</ev_3></%s></phpscripts></plugin>'
       % (main, actn("Greeter is starting"), actn("§6Welcome to the server!"), actn("Ready."),
          actn("Goodbye"), main))
open(sys.argv[1], "wb").write(xml.encode("cp1251", "xmlcharrefreplace"))
PY
fi

session_start_app "$app" "$project"

# The main window is the visible top-level window of this process whose title starts "Vorlune".
win=""
for _ in $(seq 1 100); do
    win="$(xdotool search --onlyvisible --pid "$app_pid" --name '^Vorlune' 2>/dev/null | head -n 1 || true)"
    [[ -n "$win" ]] && break
    kill -0 "$app_pid" 2>/dev/null || { echo "screenshot: vorlune exited:" >&2; cat "$tmp/app.log" >&2; exit 2; }
    sleep 0.1
done
[[ -n "$win" ]] || { echo "screenshot: main window did not appear" >&2; exit 2; }
sleep 1

double_click() {
    xdotool mousemove --window "$win" "$1" "$2"
    sleep 0.3
    xdotool click --repeat 2 --delay 80 1
    sleep 1.5
}
if [[ "$mode" == script ]]; then
    # Rows are about 18 px: expand the scripts node, then open its main script node.
    double_click "$node_x" $((node_y + 18))
    double_click "$node_x" $((node_y + 36))
elif [[ "$mode" == run-settings ]]; then
    # The third title of the menu bar ("Настройки"), then its one item.
    xdotool mousemove --window "$win" "$settings_menu_x" 10 click 1
    sleep 0.8
    xdotool key Down Return
    sleep 1.5
    # By its exact title: xdotool's patterns do not match this Cyrillic one reliably.
    win=""
    for candidate in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
        [[ "$(xdotool getwindowname "$candidate")" == "Настройки запуска" ]] && win="$candidate"
    done
    [[ -n "$win" ]] || { echo "screenshot: the run settings window did not appear" >&2; exit 2; }
else
    double_click "$node_x" "$node_y"
fi
# Move the pointer out of the window so no hover highlight lands in the picture.
xdotool mousemove 1270 890
sleep 0.5

mkdir -p "$(dirname "$out")"
import -window "$win" "$out"
echo "screenshot: wrote $out (window $(xdotool getwindowname "$win"))"
