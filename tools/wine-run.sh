#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest (CMAKE_CROSSCOMPILING_EMULATOR)
# and by hand: tools/wine-run.sh build-win/quillon.exe list ...
#
# - The prefix is private to Quillon, so a user's own Wine setup is neither
#   used nor disturbed. QUILLON_WINEPREFIX overrides where it lives.
# - The first run creates it (about ten seconds). ctest -j starts many runs at
#   once, so creation is serialised with flock and marked done only when
#   finished.
# - The Wine server then stays up QUILLON_WINE_LINGER seconds (30) after the
#   last program ends, so a run of many short tests starts Wine only once.
# - The program's stdout is passed on untouched (`quillon cat` writes file
#   bytes there), once the program has ended; then its stderr. Wine's own messages are silenced (WINEDEBUG=-all) and
#   everything wineboot says goes to a log file.
# - No display is needed: console programs never open a window, and an empty
#   DISPLAY keeps Wine from trying to reach an X server. Callers that need
#   one (the GUI tests under xvfb-run) set QUILLON_WINE_DISPLAY=1.
# - The program's exit status is this script's exit status.
set -eu

if [ $# -eq 0 ]; then
    echo "usage: $0 program.exe [arguments...]" >&2
    exit 2
fi

if command -v wine >/dev/null 2>&1; then
    wine=wine
    wineserver=wineserver
elif [ -x /usr/lib/wine/wine64 ]; then
    wine=/usr/lib/wine/wine64
    wineserver=/usr/lib/wine/wineserver64
else
    echo "wine-run.sh: wine is not installed (tools/install-deps.sh installs it)" >&2
    exit 127
fi

# /tmp is shared between users, so the fallback carries the user id.
prefix="${QUILLON_WINEPREFIX:-${XDG_RUNTIME_DIR:-/tmp}/quillon-wine-$(id -u)}"

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# Mono and Gecko are never needed; without this, wineboot offers to download
# them.
export WINEDLLOVERRIDES="mscoree=;mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
if [ "${QUILLON_WINE_DISPLAY:-0}" != 1 ]; then
    export DISPLAY=
    unset WAYLAND_DISPLAY
fi

linger="${QUILLON_WINE_LINGER:-30}"
mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ ! -e "$prefix/.quillon-ready" ]; then
        # An interrupted creation is simply run again: wineboot -i completes
        # a half-made prefix. Nothing is deleted, in case QUILLON_WINEPREFIX
        # names a prefix someone uses for other things.
        mkdir -p "$prefix"
        if ! "$wine" wineboot -i >"$prefix.log" 2>&1 </dev/null 9>&-; then
            echo "wine-run.sh: creating the Wine prefix $prefix failed; see $prefix.log" >&2
            exit 1
        fi
        # wineboot returns before the registry is written out.
        "$wineserver" -w >>"$prefix.log" 2>&1 9>&- || true
        touch "$prefix/.quillon-ready"
    fi
    # Debian's wineserver quits the moment its last program ends, so every
    # test would pay for a fresh start of Wine's services. Keep one server
    # alive for a while instead (it refuses to start when one already runs),
    # and start the services from here with no stdio: ctest waits until
    # every holder of a test's output pipe has gone, and the services would
    # otherwise inherit it from the first test and hold it for seconds.
    # Neither may inherit the lock, or it would stay held while they run.
    if "$wineserver" -p"$linger" </dev/null >/dev/null 2>&1 9>&-; then
        "$wine" wineboot </dev/null >/dev/null 2>&1 9>&- || true
    fi
) 9>"$prefix.lock"

# Programs with a window (QUILLON_WINE_DISPLAY=1) are simply run: callers
# wait for them and stop them by their process.
if [ "${QUILLON_WINE_DISPLAY:-0}" = 1 ]; then
    exec "$wine" "$@"
fi

# Rarely (about one start in two thousand on a busy machine) Wine ends a
# program with status 1 before it has run a line, printing nothing. None of
# our programs fails without saying why, so a run that ends that way is
# started again, up to twice. The output is kept until the run is over so
# that a retried run shows only its own; then standard output comes first,
# byte for byte, then standard error.
out="$(mktemp)"
err="$(mktemp)"
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2 3; do
    status=0
    "$wine" "$@" >"$out" 2>"$err" || status=$?
    if [ "$status" -ne 1 ] || [ -s "$out" ] || [ -s "$err" ]; then
        break
    fi
done
cat "$out"
cat "$err" >&2
exit "$status"
