#!/usr/bin/env bash
# The file index at scale: `quillon list` and `quillon cat` of generated .vpk
# packs with regular names (dirNN/subN/fileNNNNNNN.txt) against `tar -tf` of
# a tar of the same names, with the peak memory of each quillon run.
#
#   bench/index_scale.sh BUILD_DIR [SIZES...]     (SIZES: 10000 100000 1000000)
#
# Then a folder of three packs holding 1,200,000 files between them, and a
# folder of 1,000 one-file packs (`quillon packs`, with 512 file descriptors). Every run is checked: list
# must print every file, cat must print the last file generated. Targets,
# from one run: list of 1M files <= 2x tar -tf, <= 12x the list of 100k;
# cat <= 1.2x list; peak memory of list <= 3x the pack's directory + 64 MiB.
# The packs go below TMPDIR (1M files: a 65 MB pack and a 1 GB tar).
set -eu
build="${1:?usage: $0 BUILD_DIR [SIZES...]}"
shift
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10000 100000 1000000)
quillon="$(cd "$build" && pwd)/quillon"
make="$(cd "$build" && pwd)/bench/make_scale_packs"
work="$(mktemp -d "${TMPDIR:-/tmp}/quillon-scale.XXXXXX")"
trap 'rm -rf "$work"' EXIT

fail() { echo "index_scale: $*" >&2; exit 1; }
# Runs a command with its output to $work/out; sets secs and kib (peak RSS).
measure() {
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" >"$work/out" || fail "failed: $*"
    read -r secs kib <"$work/time"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b <= 0) b = 0.01; printf "%.2f", a / b }'; }
# The directory of a .vpk: from the offset in its footer to its end.
dirbytes() { python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(); print(len(d)-struct.unpack_from("<I",d,len(d)-5)[0])' "$1"; }

printf '%-10s %9s %9s %9s %9s %10s %10s %8s\n' files tar-tf list cat list/tar cat/list peak-MiB limit
list100k=""
for n in "${sizes[@]}"; do
    d="$work/p$n"
    mkdir -p "$d"
    last="$("$make" "$d" "$n" 1 --tar)"
    measure tar -tf "$d/names.tar"; tar_s=$secs
    measure "$quillon" list "$d/pack000.vpk"; list_s=$secs; list_kib=$kib
    [ "$(wc -l <"$work/out")" -eq "$n" ] || fail "list of $n files printed $(wc -l <"$work/out") lines"
    measure "$quillon" cat "$d/pack000.vpk" "$last"; cat_s=$secs
    [ "$(cat "$work/out")" = "$last" ] || fail "cat of $last in $n files gave the wrong bytes"
    limit=$(( ($(dirbytes "$d/pack000.vpk") * 3 + 64 * 1048576) / 1048576 ))
    printf '%-10s %9s %9s %9s %9s %10s %10s %8s\n' "$n" "$tar_s" "$list_s" "$cat_s" "$(ratio "$list_s" "$tar_s")" \
        "$(ratio "$cat_s" "$list_s")" "$((list_kib / 1024))" "$limit"
    [ "$n" = 100000 ] && list100k=$list_s
    [ "$n" = 1000000 ] && [ -n "$list100k" ] && echo "list 1M / list 100k: $(ratio "$list_s" "$list100k")"
    rm -rf "$d"
done

# Three packs, 1.2M files: every pack's files must be found, the last one too.
d="$work/three"
mkdir -p "$d"
last="$("$make" "$d" 1200000 3)"
measure "$quillon" packs "$d/pack000.vpk"
echo "three packs, 1,200,000 files: packs $secs s, $((kib / 1024)) MiB"
[ "$(awk -F'\t' '{ s += $2 } END { print s }' "$work/out")" -eq 1200000 ] || fail "the three packs do not count 1.2M files"
for p in pack000 pack001 pack002; do
    measure "$quillon" list "$d/$p.vpk"
    list_s=$secs
    [ "$(wc -l <"$work/out")" -eq 400000 ] || fail "list of $p printed $(wc -l <"$work/out") lines"
done
measure "$quillon" cat "$d/pack000.vpk" "$last"
[ "$(cat "$work/out")" = "$last" ] || fail "cat of $last across three packs gave the wrong bytes"
echo "three packs: list pack002 $list_s s, cat of the last file $secs s ($(ratio "$secs" "$list_s") x list), $((kib / 1024)) MiB"
rm -rf "$d"

# The pack list of a folder of 1,000 packs, with fewer file descriptors than
# packs: packs past the first few hundred must not stay open.
d="$work/many"
mkdir -p "$d"
last="$("$make" "$d" 1000 1000)"
ulimit -n 512
measure "$quillon" packs "$d/pack500.vpk"
[ "$(wc -l <"$work/out")" -eq 1000 ] || fail "packs of 1,000 packs printed $(wc -l <"$work/out") lines"
packs_s=$secs
measure "$quillon" cat "$d/pack000.vpk" "$last"
[ "$(cat "$work/out")" = "$last" ] || fail "cat of $last across 1,000 packs gave the wrong bytes"
echo "1,000 packs: packs $packs_s s, cat $secs s"
