#!/usr/bin/env bash
# Measures how much processor time a Windows GUI program of Quillon uses
# while nobody touches it:
#   tools/gui-idle-cpu.sh PROGRAM.exe [ARGS...]
# Runs it under Wine in a private X server (tools/xvfb-session.sh), waits
# QUILLON_IDLE_SETTLE seconds (default 20) for it to start and show what its
# arguments name, then reads the CPU time (user + system, from /proc) of the
# program's process, of the Wine server and of the X server before and after
# QUILLON_IDLE_SECONDS (default 20) and prints each as a share of one core.
set -eu
if [ $# -eq 0 ]; then
    echo "usage: $0 program.exe [arguments...]" >&2
    exit 2
fi
here="$(cd "$(dirname "$0")" && pwd)"
export QUILLON_PRESENT_GDI="${QUILLON_PRESENT_GDI:-1}"

if [ "${QUILLON_GUI_SESSION:-}" != 1 ]; then
    QUILLON_GUI_SESSION=1 exec bash "$here/xvfb-session.sh" bash "$0" "$@"
fi

settle="${QUILLON_IDLE_SETTLE:-20}"
seconds="${QUILLON_IDLE_SECONDS:-20}"
program="$(basename "$1")"
bash "$here/wine-run.sh" "$@" &
runner=$!
sleep "$settle"

# Clock ticks of user + system time of this session's processes whose
# command line matches: other sessions run the same programs, so a Wine
# process must carry this session's prefix, and the X server is the one the
# session started (this script's parent's child).
prefix="$QUILLON_WINEPREFIX"
mine() {
    if [ "$2" = x ]; then
        pgrep -P "$PPID" -f -- "$1" || true
        return
    fi
    local pid
    for pid in $(pgrep -f -- "$1" || true); do
        if { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$prefix"; then
            echo "$pid"
        fi
    done
}
ticks() {
    local total=0 pid t
    for pid in $(mine "$1" "$2"); do
        [ -r "/proc/$pid/stat" ] || continue
        # utime and stime: fields 14 and 15, the 12th and 13th after ") ".
        t=$(sed 's/.*) //' "/proc/$pid/stat" | awk '{print $12 + $13}')
        total=$((total + t))
    done
    echo "$total"
}
hz=$(getconf CLK_TCK)
declare -A pattern=([program]="$program" [wineserver]="wineserver" [xserver]="Xvfb")
declare -A kind=([program]=wine [wineserver]=wine [xserver]=x)
declare -A before
for k in program wineserver xserver; do before[$k]=$(ticks "${pattern[$k]}" "${kind[$k]}"); done
sleep "$seconds"
for k in program wineserver xserver; do
    after=$(ticks "${pattern[$k]}" "${kind[$k]}")
    awk -v a="$after" -v b="${before[$k]}" -v hz="$hz" -v s="$seconds" -v k="$k" \
        'BEGIN { printf "%-10s %6.1f%% of one core over %d s\n", k, (a - b) * 100 / hz / s, s }'
done
kill "$runner" 2>/dev/null || true
wait "$runner" 2>/dev/null || true
