#!/usr/bin/env bash
# Builds the fuzz targets with clang (ASan + UBSan + libFuzzer) and runs each
# for SECONDS (default 600), seeded with the sample packs.
# usage: tools/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}; shift || true
targets=("$@"); [ ${#targets[@]} -gt 0 ] || targets=(fuzz_nob_walk fuzz_vpk_walk fuzz_pack_tree)
build=$PWD/build-fuzz
CC=clang CXX=clang++ cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF -DQUILLON_BENCH=OFF >/dev/null
cmake --build $build -j "$(nproc)" >/dev/null
rm -rf $build/sample && $build/quillon-sample $build/sample
for t in "${targets[@]}"; do
    corpus=$build/corpus-$t; mkdir -p "$corpus"
    case $t in
        *nob*) cp $build/sample/redemption/*.nob "$corpus"/ ;;
        *vpk*) cp $build/sample/bloodlines/*.vpk "$corpus"/
               [ -d ../shared/realdata/bloodlines ] && cp ../shared/realdata/bloodlines/*.vpk "$corpus"/ ;;
        *tree*) for f in $build/sample/redemption/*.nob; do { printf '\x00'; cat "$f"; } > "$corpus/$(basename "$f")"; done
                for f in $build/sample/bloodlines/*.vpk; do { printf '\x01'; cat "$f"; } > "$corpus/$(basename "$f")"; done ;;
    esac
    echo "== $t for ${seconds}s"
    status=0
    $build/fuzz/$t -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -print_final_stats=1 \
        "$corpus" > $build/$t.log 2>&1 || status=$?
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss|==[0-9]+==ERROR|SUMMARY)' $build/$t.log || true
    if [ $status -ne 0 ]; then echo "$t failed (status $status); see $build/$t.log"; failed=1; fi
done
exit ${failed:-0}
