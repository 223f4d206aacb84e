#!/usr/bin/env bash
# Times how long the Windows program takes from opening a pack ("&Set
# Directory"'s code path) until its tree shows, against `quillon list` on the
# same generated pack, both under Wine; then the filter box on that pack:
# each filter typed one keystroke at a time, the time of the last keystroke
# until the tree view is redrawn, and of Esc bringing the whole tree back:
#   tools/gui-tree-bench.sh BUILD_WIN_DIR [FILES]   (FILES: 100000)
set -eu
build="${1:?usage: $0 BUILD_WIN_DIR [FILES]}"
files="${2:-100000}"
here="$(cd "$(dirname "$0")" && pwd)"
tests="$build/app/quillon_gui_tests.exe"
cli="$build/quillon.exe"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT

bash "$here/wine-run.sh" "$tests" --write-bench-pack "$dir/pack000.vpk" "$files"
ls -l "$dir/pack000.vpk" | awk '{print "pack: " $5 " bytes, '"$files"' files"}'

now() { date +%s%N; }
ms() { echo $((($2 - $1) / 1000000)); }
bash "$here/wine-run.sh" "$cli" --version >/dev/null  # Wine up and warm
t0=$(now); bash "$here/wine-run.sh" "$cli" --version >/dev/null; t1=$(now)
bash "$here/wine-run.sh" "$cli" list "$dir/pack000.vpk" >/dev/null
t2=$(now); bash "$here/wine-run.sh" "$cli" list "$dir/pack000.vpk" >"$dir/list.txt"; t3=$(now)
echo "quillon.exe --version: $(ms "$t0" "$t1") ms (starting a Wine process)"
echo "quillon.exe list:      $(ms "$t2" "$t3") ms ($(wc -l <"$dir/list.txt") lines)"
bash "$here/gui-test.sh" "$tests" --tree-bench "$dir/pack000.vpk"
bash "$here/gui-test.sh" "$tests" --filter-bench "$dir/pack000.vpk"
