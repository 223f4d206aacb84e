#!/usr/bin/env bash
# Runs a command inside a private X server with a compositing manager:
#   tools/xvfb-session.sh COMMAND [ARGS...]
# Xvfb picks a free display itself (-displayfd), so parallel runs and other
# users' servers do not collide. xcompmgr is needed for Direct3D frames in
# Wine's child windows to reach the screen (and so screenshots); pixel tests
# read the back buffer and do not depend on it. The command sees DISPLAY and
# QUILLON_WINE_DISPLAY=1 (tools/wine-run.sh then keeps the display). The
# command's exit status is this script's; both servers are stopped after it.
#
# The session uses its own Wine prefix (the usual one with "-display" and a
# number for the checkout appended) whose Wine server is stopped when the session ends: a server left
# running would keep serving the next session from the old, dead display
# (wrong screen size, no desktop). Console runs in the usual prefix, such as
# parallel ctest runs, are not touched.
#
# The server has no window manager, so Wine is told to place and size its
# windows itself (X11 Driver "Managed" = N, in Quillon's private prefix):
# otherwise every window shown or hidden waits up to two seconds for a
# manager that never answers, and maximising does nothing.
set -eu

if [ $# -eq 0 ]; then
    echo "usage: $0 command [arguments...]" >&2
    exit 2
fi
for tool in Xvfb xcompmgr; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "xvfb-session.sh: $tool is not installed (tools/install-deps.sh installs it)" >&2
        exit 127
    fi
done

geometry="${QUILLON_SCREEN:-1280x1024x24}"
base="${QUILLON_WINEPREFIX:-${XDG_RUNTIME_DIR:-/tmp}/quillon-wine-$(id -u)}"
# One display prefix per checkout: a session stops its prefix's Wine server
# when it starts and ends, which would kill a session of another checkout
# (a second work tree's tests) running at the same time.
checkout="$(cd "$(dirname "$0")/.." && pwd)"
export QUILLON_WINEPREFIX="$base-display-$(printf '%s' "$checkout" | cksum | cut -d' ' -f1)"
if command -v wineserver >/dev/null 2>&1; then
    wineserver=wineserver
else
    wineserver=/usr/lib/wine/wineserver64
fi
stop_wine() {
    if [ -d "$QUILLON_WINEPREFIX" ]; then
        WINEPREFIX="$QUILLON_WINEPREFIX" "$wineserver" -k >/dev/null 2>&1 || true
        WINEPREFIX="$QUILLON_WINEPREFIX" "$wineserver" -w >/dev/null 2>&1 || true
    fi
}
stop_wine
dir="$(mktemp -d)"
xvfb_pid=
comp_pid=
cleanup() {
    stop_wine
    [ -n "$comp_pid" ] && kill "$comp_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$dir/display" ] && break
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
        echo "xvfb-session.sh: Xvfb did not start:" >&2
        cat "$dir/xvfb.log" >&2
        exit 1
    fi
    sleep 0.1
done
if [ ! -s "$dir/display" ]; then
    echo "xvfb-session.sh: Xvfb gave no display number" >&2
    exit 1
fi
export DISPLAY=":$(head -n1 "$dir/display")"
export QUILLON_WINE_DISPLAY=1
xcompmgr ${QUILLON_XCOMPMGR_OPTIONS:-} >"$dir/xcompmgr.log" 2>&1 &
comp_pid=$!

here="$(cd "$(dirname "$0")" && pwd)"
bash "$here/wine-run.sh" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true

status=0
"$@" || status=$?
exit $status
