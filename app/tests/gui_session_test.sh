#!/usr/bin/env bash
# A user's session replayed on the real program, as `make run` starts it
# (under Wine in a private X server, the 3D view's frames copied to the
# screen with GDI): tools/gui-run.sh opens the sample lamp and xdotool turns,
# resets, pans, zooms and resets it with the real mouse and keyboard. The
# view's part of each screenshot must change where the camera moved and come
# back exactly where it was reset.
#   app/tests/gui_session_test.sh QuillonEdit.exe quillon-sample.exe
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
tools="$here/../../tools"
program="$1"
sample="$2"
for tool in xdotool compare convert; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "gui_session_test.sh: $tool is not installed (tools/install-deps.sh installs it)" >&2
        exit 1
    fi
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
bash "$tools/wine-run.sh" "$sample" "Z:$work/data" >/dev/null

# The program maximised on the 1280 x 1024 screen puts its view's square at
# about x 984-1274, y 25-315; these points and the compared square lie well
# inside it.
mid="1129 170"
QUILLON_SHOT_DIR="$work/shots" QUILLON_STEP_DELAY=0.5 bash "$tools/gui-run.sh" "$program" \
    "Z:$work/data/bloodlines/pack002.vpk" models/samples/Lamp.mdl -- \
    shot:start \
    "mousemove $mid" "mousedown 1" "mousemove_relative -- 20 0" "mousemove_relative -- 20 0" "mouseup 1" \
    shot:turned \
    "click --repeat 2 --delay 80 1" shot:reset \
    "mousedown 3" "mousemove_relative -- 0 30" "mouseup 3" shot:panned \
    "key Home" shot:home \
    "click 4" "click 4" shot:zoomed >"$work/run.log" 2>&1 || { cat "$work/run.log" >&2; exit 1; }

view() { convert "$work/shots/$1.png" -crop 240x240+1009+50 +repage "$work/$1-view.png"; }
differing() {
    compare -metric AE "$work/$1-view.png" "$work/$2-view.png" null: 2>&1 | cut -d' ' -f1 || true
}
failed=0
for shot in start turned reset panned home zoomed; do
    [ -f "$work/shots/$shot.png" ] || { echo "FAIL no screenshot $shot" >&2; cat "$work/run.log" >&2; exit 1; }
    view "$shot"
done
expect() {
    local what="$1" a="$2" b="$3" want="$4" n
    n="$(differing "$a" "$b")"
    if { [ "$want" = same ] && [ "$n" != 0 ]; } || { [ "$want" = changed ] && [ "$n" -lt 500 ]; }; then
        echo "FAIL $what: $a and $b differ in $n pixels of the view (expected $want)" >&2
        failed=1
    else
        echo "ok   $what: $n pixels of the view differ"
    fi
}
expect "left drag turns" start turned changed
expect "double-click goes back" start reset same
expect "right drag pans" start panned changed
expect "Home goes back" start home same
expect "the wheel zooms" start zoomed changed
if [ "$failed" != 0 ]; then
    mkdir -p "${TMPDIR:-/tmp}/quillon-session-shots"
    cp "$work"/shots/*.png "${TMPDIR:-/tmp}/quillon-session-shots/"
    echo "screenshots kept in ${TMPDIR:-/tmp}/quillon-session-shots" >&2
fi
exit $failed
