#!/usr/bin/env bash
# Runs a Windows GUI program of Quillon:
#   tools/gui-run.sh PROGRAM.exe [ARGS...]
# - On Windows it simply runs it.
# - With an X display (DISPLAY set) it runs it under Wine on that display.
# - Without one it runs it under Wine in a private X server
#   (tools/xvfb-session.sh), waits until its window is up and has drawn for a
#   few seconds, saves a screenshot of the whole screen, stops the program and
#   prints the screenshot's path. QUILLON_SCREENSHOT names the file
#   (default: quillon-screenshot.png in the current folder), QUILLON_SHOT_DELAY
#   the seconds to wait after the window appeared (default 5).
set -eu
if [ $# -eq 0 ]; then
    echo "usage: $0 program.exe [arguments...]" >&2
    exit 2
fi
here="$(cd "$(dirname "$0")" && pwd)"

case "$(uname -s)" in
MINGW* | MSYS* | CYGWIN*)
    exec "$@"
    ;;
esac

# Wine may draw Direct3D in child windows offscreen (always so on a server
# without a GPU, such as Xvfb); the 3D view's frames are then copied to the
# screen with GDI as well (see D3dViewer).
export QUILLON_PRESENT_GDI="${QUILLON_PRESENT_GDI:-1}"

if [ -n "${DISPLAY:-}" ] && [ "${QUILLON_GUI_SESSION:-}" != 1 ]; then
    QUILLON_WINE_DISPLAY=1 exec bash "$here/wine-run.sh" "$@"
fi

if [ "${QUILLON_GUI_SESSION:-}" != 1 ]; then
    out="${QUILLON_SCREENSHOT:-quillon-screenshot.png}"
    case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
    export QUILLON_SCREENSHOT="$out"
    QUILLON_GUI_SESSION=1 bash "$here/xvfb-session.sh" bash "$0" "$@"
    echo "screenshot: $out"
    exit 0
fi

# Inside the private X server.
program="$(basename "$1")"
bash "$here/wine-run.sh" "$@" &
pid=$!
# The first start of the session's Wine prefix takes about half a minute.
for _ in $(seq 600); do
    if xwininfo -root -tree 2>/dev/null | grep -iF "\"$program\"" | grep -qE ' [0-9]{3,}x[0-9]{3,}\+'; then
        break
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "gui-run.sh: $program ended before showing its window" >&2
        exit 1
    fi
    sleep 0.2
done
sleep "${QUILLON_SHOT_DELAY:-5}"
import -window root "$QUILLON_SCREENSHOT"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
