#!/usr/bin/env bash
# Runs a Windows GUI program of Quillon, and replays a user's session in it:
#   tools/gui-run.sh PROGRAM.exe [ARGS...] [-- STEP...]
# - On Windows it simply runs it (steps need the X tools: see below).
# - With an X display (DISPLAY set) and no steps, it runs it under Wine on
#   that display, for you to use.
# - Otherwise it runs it under Wine in a private X server
#   (tools/xvfb-session.sh, a 1280x1024 screen), waits until its window is
#   up and has drawn for a few seconds, replays the STEPs in order, stops the
#   program and prints the path of every screenshot it took.
#
# A STEP is one argument:
#   shot:NAME      a screenshot of the whole screen into NAME (.png added
#                  when it has no extension; relative to QUILLON_SHOT_DIR,
#                  default the current folder)
#   wait:SECONDS   a pause (fractions allowed)
#   anything else  an xdotool command with its arguments, as real input:
#                  'mousemove 1130 190', 'mousedown 1', 'mouseup 1',
#                  'mousemove_relative -- 40 0', 'click 3', 'click --repeat 2 1',
#                  'key Home', 'key Escape', 'type col_e' (the text after
#                  'type ' is typed as it stands, spaces included)
# After every step the script waits QUILLON_STEP_DELAY seconds (default 0.3)
# so the program can answer before the next one.
# Without steps it takes one screenshot, QUILLON_SCREENSHOT (default
# quillon-screenshot.png), as `make run` does.
#
# Where things are on the private server's screen with the program
# maximised: the 3D view is the square at the top right, about x 990-1270,
# y 45-330; the tree is the column at the left from y 90 down; the filter box
# is above it at about (150, 70).
#
# QUILLON_SHOT_DELAY: seconds to wait after the window appeared (default 5).
set -eu
if [ $# -eq 0 ]; then
    echo "usage: $0 program.exe [arguments...] [-- step...]" >&2
    exit 2
fi
here="$(cd "$(dirname "$0")" && pwd)"

program_args=()
steps=()
seen_steps=0
for arg in "$@"; do
    if [ "$seen_steps" = 0 ] && [ "$arg" = "--" ]; then
        seen_steps=1
    elif [ "$seen_steps" = 1 ]; then
        steps+=("$arg")
    else
        program_args+=("$arg")
    fi
done

case "$(uname -s)" in
MINGW* | MSYS* | CYGWIN*)
    exec "${program_args[@]}"
    ;;
esac

# Wine may draw Direct3D in child windows offscreen (always so on a server
# without a GPU, such as Xvfb); the 3D view's frames are then copied to the
# screen with GDI as well (see D3dViewer).
export QUILLON_PRESENT_GDI="${QUILLON_PRESENT_GDI:-1}"

if [ -n "${DISPLAY:-}" ] && [ "${QUILLON_GUI_SESSION:-}" != 1 ] && [ ${#steps[@]} -eq 0 ]; then
    QUILLON_WINE_DISPLAY=1 exec bash "$here/wine-run.sh" "${program_args[@]}"
fi

if [ "${QUILLON_GUI_SESSION:-}" != 1 ]; then
    if [ ${#steps[@]} -gt 0 ] && ! command -v xdotool >/dev/null 2>&1; then
        echo "gui-run.sh: xdotool is not installed (tools/install-deps.sh installs it)" >&2
        exit 127
    fi
    shots="${QUILLON_SHOT_DIR:-$PWD}"
    case "$shots" in /*) ;; *) shots="$PWD/$shots" ;; esac
    export QUILLON_SHOT_DIR="$shots"
    out="${QUILLON_SCREENSHOT:-quillon-screenshot.png}"
    case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
    export QUILLON_SCREENSHOT="$out"
    list="$(mktemp)"
    status=0
    QUILLON_GUI_SESSION=1 QUILLON_SHOT_LIST="$list" bash "$here/xvfb-session.sh" bash "$0" "$@" || status=$?
    while IFS= read -r shot; do echo "screenshot: $shot"; done <"$list"
    rm -f "$list"
    exit $status
fi

# Inside the private X server.
program="$(basename "${program_args[0]}")"
bash "$here/wine-run.sh" "${program_args[@]}" &
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

shoot() {
    local name="$1"
    case "$name" in /*) ;; *) name="$QUILLON_SHOT_DIR/$name" ;; esac
    case "$(basename "$name")" in *.*) ;; *) name="$name.png" ;; esac
    mkdir -p "$(dirname "$name")"
    import -window root "$name"
    echo "$name" >>"$QUILLON_SHOT_LIST"
}

status=0
if [ ${#steps[@]} -eq 0 ]; then
    shoot "$QUILLON_SCREENSHOT"
else
    for step in "${steps[@]}"; do
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "gui-run.sh: $program ended before the step '$step'" >&2
            status=1
            break
        fi
        case "$step" in
        shot:*) shoot "${step#shot:}" ;;
        wait:*) sleep "${step#wait:}" ;;
        "type "*) xdotool type --delay 60 -- "${step#type }" ;;
        *)
            # shellcheck disable=SC2086
            xdotool $step
            ;;
        esac
        sleep "${QUILLON_STEP_DELAY:-0.3}"
    done
fi
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
exit $status
