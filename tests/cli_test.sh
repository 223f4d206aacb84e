#!/usr/bin/env bash
# End-to-end checks of the quillon command line on generated sample data.
# usage: cli_test.sh RUNNER QUILLON QUILLON-SAMPLE REALDATA
# RUNNER is empty natively, or the program that runs Windows executables.
set -u
runner=$1 quillon=$2 sample=$3 realdata=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass=0 fail=0

q() { if [ -n "$runner" ]; then "$runner" "$quillon" "$@"; else "$quillon" "$@"; fi; }
check() {  # check NAME EXPECTED ACTUAL
    if [ "$2" == "$3" ]; then pass=$((pass + 1)); else
        fail=$((fail + 1)); printf 'FAIL %s\n  expected: %q\n  actual:   %q\n' "$1" "$2" "$3"; fi
}

if [ -n "$runner" ]; then "$runner" "$sample" "$work/s"; else "$sample" "$work/s"; fi
R=$work/s/redemption B=$work/s/bloodlines

check "packs nob" "$(printf '0\t18\tdata.nob\n1\t3\tpatch.nob')" "$(q packs "$R/patch.nob" | tr -d '\r')"
check "packs vpk" "$(printf '0\t7\tpack000.vpk\n1\t3\tpack001.vpk\n2\t25\tpack002.vpk')" "$(q packs "$B/PACK001.VPK" | tr -d '\r')"
check "cat: first listed pack wins" "from pack000.vpk: the first listed pack wins" "$(q cat "$B/pack001.vpk" SHARED/COMMON.TXT)"
check "cat: loose file wins" "$(cat "$B/cfg/autoexec.cfg")" "$(q cat "$B/pack000.vpk" 'cfg\autoexec.cfg')"
check "cat: nob, mixed case" "$(printf 'difficulty=2\r\nsubtitles=1\r')" "$(q cat "$R/data.nob" config/game.CFG)"

q cat "$R/data.nob" 'Scripts/Quest/Side.scr' > "$work/side.scr"
check "cat: a file only the second pack holds" "$(printf '// side quest\r') 21" "$(head -1 "$work/side.scr") $(wc -l < "$work/side.scr" | tr -d ' ')"
out=$(q cat "$B/pack000.vpk" no/such.txt 2>&1 >/dev/null); rc=$?
check "cat missing: message" "quillon: no/such.txt: not found" "$(printf '%s' "$out" | tr -d '\r')"
check "cat missing: status" 1 $rc

printf 'a\nb\r\nc\x1a\x00d\n' > "$B/bin.dat"; q cat "$B/pack000.vpk" bin.dat > "$work/bin.out"
check "cat is byte-exact" "" "$(cmp "$B/bin.dat" "$work/bin.out" 2>&1)"

q packs "$work/nothing.vpk" >/dev/null 2>&1; check "missing pack: status" 1 $?
: > "$work/readme.txt"; q packs "$work/readme.txt" >/dev/null 2>&1; check "not a pack: status" 1 $?
q packs >/dev/null 2>&1; check "usage error: status" 2 $?
q frobnicate >/dev/null 2>&1; check "unknown command: status" 2 $?
q cat "$B/pack000.vpk" >/dev/null 2>&1; check "cat without PATH: status" 2 $?
out=$(q cat "$B/pack000.vpk" -- -h 2>&1 >/dev/null); rc=$?
check "after --, -h is a PATH" "quillon: -h: not found 1" "$(printf '%s' "$out" | tr -d '\r') $rc"
q extract "$B/pack000.vpk" --x -o 2>/dev/null; check "option without its value: status" 2 $?
check "help names the commands" 2 "$(q --help | grep -cE '^  (packs|cat) ')"
check "command help" 0 "$(q cat --help >/dev/null; echo $?)"
check "version" "quillon" "$(q --version | cut -d' ' -f1)"

# list: tree order, folders merged ignoring case, --long columns.
check "list vpk" "$(printf 'cfg/autoexec.cfg\ndlg/Hollywood/Isaac.dlg\ndlg/main characters/Regent.dlg\nReadme.txt\nscripts/Intro.lst\nshared/common.txt\nvdata/System/Strings.txt')" "$(q list "$B/pack000.vpk" | tr -d '\r')"
check "list --long" "$(printf '42\tText\t3D/Materials/Stone.nam\n27\tText\tConfig/Game.cfg')" "$(q list "$R/data.nob" --long | grep -E 'Stone.nam|Game.cfg' | tr -d '\r')"
check "list: folder entries are not files" 3 "$(q list "$R/patch.nob" --long | wc -l | tr -d ' ')"

# extract: tree and flat, ITEMs, the summary line.
err=$(q extract "$B/pack000.vpk" -o "$work/x1" 2>&1 >/dev/null | tr -d '\r')
check "extract all: summary" "written 7, skipped 0, failed 0" "$err"
check "extract all: loose file wins" "$(cat "$B/cfg/autoexec.cfg")" "$(cat "$work/x1/cfg/autoexec.cfg")"
check "extract all: packed file" "$(q cat "$B/pack000.vpk" dlg/hollywood/isaac.dlg | md5sum)" "$(md5sum < "$work/x1/dlg/hollywood/isaac.dlg")"
q extract "$R/patch.nob" scripts PATCH/notes.txt --flat -o "$work/x2" 2>/dev/null
check "extract flat items" "notes.txt side.scr" "$(cd "$work/x2" && echo *)"
out=$(q extract "$B/pack000.vpk" nowhere -o "$work/x3" 2>&1); rc=$?
check "extract missing item" "1 quillon: nowhere: not found in $B/pack000.vpk" "$rc $(printf '%s' "$out" | tr -d '\r')"
q extract "$B/pack000.vpk" 2>/dev/null; check "extract without -o" 2 $?

# Patterns: '*' within a name, '**' across folders, any case; without '/' on
# file names in any folder; a folder ITEM selects all below it; tree order,
# each file once; an argument that selects nothing is named (status 1).
check "list patterns" "$(printf 'dlg/Hollywood/Isaac.dlg\ndlg/main characters/Regent.dlg\nReadme.txt')" \
      "$(q list "$B/pack000.vpk" 'readme.*' '*.DLG' dlg/hollywood | tr -d '\r')"
check "list: ** across folders, ? in a name" "$(printf 'scripts/Intro.lst\nvdata/System/Strings.txt')" \
      "$(q list "$B/pack000.vpk" '**/?????.lst' 'vdata/**/s*' | tr -d '\r')"
check "list: * stays in its folder" "Readme.txt" "$(q list "$B/pack000.vpk" '*.txt' 'X/*' 2>/dev/null | head -1 | tr -d '\r')"
out=$(q list "$B/pack000.vpk" '*.txt' 'dlg/*.dlg' 2>&1 >/dev/null); rc=$?
check "list: a pattern that selects nothing" "1 quillon: dlg/*.dlg: not found in $B/pack000.vpk" "$rc $(printf '%s' "$out" | tr -d '\r')"
err=$(q extract "$R/data.nob" '**/*.NPC' config -o "$work/xp" 2>&1 >/dev/null | tr -d '\r')
check "extract patterns: summary" "written 2, skipped 0, failed 0" "$err"
check "extract patterns: files" "$(printf 'config/game.cfg\ndialog/town/elder.npc')" "$(cd "$work/xp" && find . -type f | sed 's|^\./||' | sort)"
out=$(q extract "$R/data.nob" '**/*.NPC' '*.none' -o "$work/xq" 2>&1); rc=$?
check "extract: nothing when one pattern selects nothing" "1 quillon: *.none: not found in $R/data.nob|" "$rc $(printf '%s' "$out" | tr -d '\r')|$(ls "$work/xq" 2>/dev/null)"

# show: text as it is; pictures with their companion text and, with -o, as Targa.
check "show text" "$(printf 'intro.vcd\nhaven.vcd')" "$(q show "$B/pack000.vpk" scripts/INTRO.LST)"
out=$(q show "$B/pack002.vpk" materials/samples/glass.vmt -o "$work/glass.tga" 2>"$work/show.err"); rc=$?
check "show material: status, picture and texture" "0 picture 64x128, translucent|texture 64x128 DXT5, 8 mip levels, flags eightbitalpha" \
      "$rc $(tr -d '\r' < "$work/show.err" | paste -sd'|')"
check "show material: its text" '"LightmappedGeneric"' "$(printf '%s' "$out" | head -1 | tr -d '\r')"
check "show -o: a 32-bit Targa" $((18 + 64 * 128 * 4)) "$(wc -c < "$work/glass.tga" | tr -d ' ')"
check "show nam: picture" "picture 30x20, translucent" "$(q show "$R/data.nob" materials/general/floor.nam 2>&1 >/dev/null | tr -d '\r')"
q show "$B/pack002.vpk" materials/samples/missing.vmt >/dev/null 2>&1; check "show missing texture: status" 1 $?
out=$(q show "$R/data.nob" 3D/Models/knight.nod); rc=$?; out=$(printf '%s' "$out" | tr -d '\r')
check "show nod: motion text, then meshes" "0 // knight motions|mesh 0	body	triangles 2	slot 1	twoSided 1	alpha 0" \
      "$rc $(printf '%s' "$out" | head -1)|$(printf '%s' "$out" | grep '^mesh 0')"
check "show nod: skeleton and motion file" "$(printf 'skeleton\t3 segments\tscale 1\nmotion\t3d\\motions\\knight.nms')" \
      "$(printf '%s' "$out" | tail -2)"
q show "$B/pack002.vpk" materials >/dev/null 2>&1; check "show folder: status" 1 $?

# extract --tga: one Targa per texture pair, the pair's second file skipped.
err=$(q extract "$B/pack002.vpk" materials --tga -o "$work/tga" 2>&1 >/dev/null | tr -d '\r')
check "extract --tga: summary" "written 8, skipped 8, failed 0" "$err"
check "extract --tga: files" 8 "$(ls "$work/tga/materials/samples" | grep -c '\.tga$')"
q extract "$B/pack002.vpk" images --tga --flat -o "$work/tga2" 2>/dev/null
check "extract --tga: images" "Banner.tga Logo.tga" "$(cd "$work/tga2" && echo *)"

# PNG: show -o chooses the format by the extension; extract --png as --tga.
q show "$B/pack002.vpk" materials/samples/glass.vmt -o "$work/glass.png" >/dev/null 2>&1
check "show -o OUT.png: a PNG" "$(printf '\211PNG')" "$(head -c 4 "$work/glass.png")"
err=$(q extract "$B/pack002.vpk" materials --png -o "$work/png" 2>&1 >/dev/null | tr -d '\r')
check "extract --png: summary" "written 8, skipped 8, failed 0" "$err"
check "extract --png: files" "8 0" "$(ls "$work/png/materials/samples" | grep -c '\.png$') $(ls "$work/png/materials/samples" | grep -c '\.tga$')"
q extract "$B/pack002.vpk" --png --tga -o "$work/both" 2>/dev/null; check "extract --png --tga: usage error" 2 $?

# convert: a Targa dropped on a texture becomes the loose pair beside the packs.
cp "$work/glass.tga" "$work/BGRA.tga"
q convert "$B/pack002.vpk" materials/samples/bgra.tth "$work/BGRA.tga" 2> "$work/conv.err"; rc=$?; err=$(tr -d '\r' < "$work/conv.err")
check "convert: status" "0 converted 1, failed 0" "$rc $err"
check "convert: loose pair" "yes yes" "$([ -s "$B/materials/samples/bgra.tth" ] && echo yes) $([ -s "$B/materials/samples/bgra.ttz" ] && echo yes)"
check "convert: read back" "picture 64x128|texture 64x128 BGRA8888, 8 mip levels, flags nolod" \
      "$(q show "$B/pack002.vpk" materials/samples/bgra.ttz 2>&1 >/dev/null | tr -d '\r' | paste -sd'|')"
head -c 60 "$work/glass.png" > "$work/dxt1.png"
q convert "$B/pack002.vpk" materials/samples/bgra.tth "$work/dxt1.png" 2>/dev/null; rc=$?
check "convert .png: a broken PNG writes nothing" "1 no" "$rc $([ -e "$B/materials/samples/dxt1.tth" ] && echo yes || echo no)"
cp "$work/glass.png" "$work/Bgr.png"
q convert "$B/pack002.vpk" materials/samples/bgra.tth "$work/Bgr.png" 2>/dev/null; rc=$?
check "convert .png: read back" "0 picture 64x128" "$rc $(q show "$B/pack002.vpk" materials/samples/bgr.ttz 2>&1 >/dev/null | tr -d '\r' | head -1)"
cp "$work/glass.tga" "$work/nosuch.tga"
q convert "$B/pack002.vpk" materials/samples/bgra.tth "$work/nosuch.tga" 2> "$work/conv.err"; rc=$?; err=$(tr -d '\r' < "$work/conv.err")
check "convert: no such texture" "1 File Not Found In Current Directory.: nosuch" "$rc $(printf '%s' "$err" | head -1)"

# Models as DirectX .x meshes, read back by an independent reader (assimp:
# "VERTICES FACES MATERIALS" of a raw import, which gives every face its own
# three vertices) and dropped back with modify.
xinfo() {
    if ! command -v assimp >/dev/null; then echo "assimp missing"; return; fi
    assimp info "$1" -r 2>/dev/null | tr -d '\r' | awk '/^Vertices:/{v=$2} /^Faces:/{f=$2} /^Materials:/{m=$2} END{print v, f, m}'
}
err=$(q extract "$B/pack002.vpk" models --x -o "$work/x" 2>&1 >/dev/null | tr -d '\r')
check "extract --x: the pair counts once" "written 1, skipped 0, failed 0" "$err"
check "extract --x: mesh and found textures" "Lamp.x lampbase.tga lampshade.tga" "$(cd "$work/x/models/samples" && echo *)"
check "extract --x: assimp reads it" "24 8 3" "$(xinfo "$work/x/models/samples/Lamp.x")"
# glTF: one .glb per model (the pair's second file adds nothing), assimp
# reads it; the missing texture is named.
err=$(q extract "$B/pack002.vpk" models --gltf -o "$work/gltf" 2>&1 >/dev/null | tr -d '\r')
check "extract --gltf: summary" "quillon: models/samples/Lamp.glb: texture lampcord could not be loaded|written 1, skipped 0, failed 0" \
      "$(printf '%s' "$err" | paste -sd'|')"
check "extract --gltf: one file" "Lamp.glb" "$(cd "$work/gltf/models/samples" && echo *)"
# (13 vertices: each mesh keeps the ones it uses; assimp adds a default material)
check "extract --gltf: assimp reads it" "13 8 4" "$(xinfo "$work/gltf/models/samples/Lamp.glb")"
err=$(q extract "$R/data.nob" 3D/Models --gltf -o "$work/gltf" 2>&1 >/dev/null | tr -d '\r' | tail -1)
check "extract --gltf: a Redemption model" "written 1, skipped 0, failed 0" "$err"
q cat "$B/pack002.vpk" models/samples/lamp.mdl > "$work/lamp.packed"
q modify "$B/pack002.vpk" models/samples/Lamp.dx80.vtx "$work/x/models/samples/Lamp.x" 2>/dev/null; rc=$?
check "modify: unchanged .x gives the packed model" "0 same" "$rc $(cmp -s "$work/lamp.packed" "$B/models/samples/Lamp.mdl" && echo same)"
sed 's/^\t-4.000000;12.000000;-4.000000;,/\t-5.500000;12.000000;-4.000000;,/' "$work/x/models/samples/Lamp.x" > "$work/lamp.x"
q modify "$B/pack002.vpk" models/samples/lamp.mdl "$work/lamp.x" 2>/dev/null
check "modify: one moved vertex changes one byte" 1 "$(cmp -l "$work/lamp.packed" "$B/models/samples/Lamp.mdl" | wc -l | tr -d ' ')"
check "modify: read back" "mesh 0	lampshade	triangles 1	slot 1	twoSided 0	alpha 1" "$(q show "$B/pack002.vpk" models/samples/lamp.mdl 2>/dev/null | tr -d '\r' | grep '^mesh 0')"
check "show mdl: a model without bones" "bones 0" "$(q show "$B/pack002.vpk" models/samples/lamp.mdl 2>/dev/null | tr -d '\r' | grep -E '^(bones|animation) ')"
mkdir -p "$work/bad"; sed 's/^\t13;$/\t12;/' "$work/lamp.x" > "$work/bad/lamp.x"
cp "$B/models/samples/Lamp.mdl" "$work/lamp.before"
err=$(q modify "$B/pack002.vpk" models/samples/lamp.mdl "$work/bad/lamp.x" 2>&1 >/dev/null); rc=$?; err=$(printf '%s' "$err" | tr -d '\r')
check "modify: count mismatch" "1 ERROR!: Vertex Count Does Not Match Original File!" "$rc $(printf '%s' "$err" | head -1)"
check "modify: nothing changed" same "$(cmp -s "$work/lamp.before" "$B/models/samples/Lamp.mdl" && echo same)"
cp "$work/lamp.x" "$work/third.x"
err=$(q modify "$B/pack002.vpk" models/samples/lamp.mdl "$work/third.x" 2>&1 >/dev/null | head -1 | tr -d '\r')
check "modify: a refusal no box tells names the file" "quillon: $work/third.x: no model named third.mdl beside the drop target" "$err"
# glTF back: the export, unedited, puts the vertex the .x moved back where
# the packed model has it; saved under another name, the file's root node
# names the model; a cut file is refused with its reason and exit 1.
q modify "$B/pack002.vpk" models/samples/lamp.mdl "$work/gltf/models/samples/Lamp.glb" 2>/dev/null; rc=$?
check "modify .glb: the export gives the packed model" "0 same" "$rc $(cmp -s "$work/lamp.packed" "$B/models/samples/Lamp.mdl" && echo same)"
cp "$work/gltf/models/samples/Lamp.glb" "$work/Blender export.glb"
err=$(q modify "$B/pack002.vpk" models/samples/lamp.mdl "$work/Blender export.glb" 2>&1 >/dev/null | head -1 | tr -d '\r' | tr '\\' /)
check "modify .glb: another name writes the model of its root node" "$work/Blender export.glb: wrote models/samples/Lamp.mdl" "$err"
head -c 100 "$work/gltf/models/samples/Lamp.glb" > "$work/cut.glb"
err=$(q modify "$B/pack002.vpk" models/samples/lamp.mdl "$work/cut.glb" 2>&1 >/dev/null); rc=$?; err=$(printf '%s' "$err" | head -1 | tr -d '\r')
check "modify .glb: a cut file" "1 ERROR!: cut.glb: the binary glTF file says it holds" "$rc ${err%% $(wc -c < "$work/gltf/models/samples/Lamp.glb") bytes*}"

# A crafted pack whose paths climb out: refused, named, counted, nothing escapes.
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
mkdir -p "$work/evil/data"
{   # a .vpk: data "fine" "bad", directory of two entries, footer
    printf 'finebad'
    printf "$(le32 6)ok.txt$(le32 0)$(le32 4)"
    printf "$(le32 17)../../escaped.txt$(le32 4)$(le32 3)"
    printf "$(le32 2)$(le32 7)\\x00"
} > "$work/evil/data/p.vpk"
q extract "$work/evil/data/p.vpk" -o "$work/evil/out" 2> "$work/evil.err" >/dev/null; rc=$?
err=$(tr -d '\r' < "$work/evil.err")
check "unsafe: status" 1 $rc
check "unsafe: named and counted" "1 1" "$(printf '%s' "$err" | grep -c 'escaped.txt: unsafe') $(printf '%s' "$err" | grep -c 'written 1, skipped 0, failed 1')"
check "unsafe: listed as it is" "../../escaped.txt" "$(q list "$work/evil/data/p.vpk" | tr -d '\r' | head -1)"
check "unsafe: nothing outside" "" "$(ls "$work/escaped.txt" "$work/evil/escaped.txt" 2>/dev/null)"

# Files that are not packs of their kind are said so once, naming the file.
mkdir -p "$work/bad"
: > "$work/bad/empty.vpk"
printf 'just some text\nnot a pack at all\n' > "$work/bad/text.vpk"
head -c 102400 /dev/urandom > "$work/bad/random.vpk"
printf '\377\377\377\377\0\0\0\0\0' > "$work/bad/count.vpk"
printf 'short' > "$work/bad/short.nob"
for f in empty text random count; do
    err=$(q list "$work/bad/$f.vpk" 2>&1 >"$work/bad/out"); rc=$?
    check "bad pack $f: status, one line naming it" "1 1 1" \
        "$rc $(printf '%s\n' "$err" | wc -l | tr -d ' ') $(printf '%s' "$err" | grep -c "^quillon: .*$f.vpk: not a pack: ")"
    check "bad pack $f: nothing listed" 0 "$(wc -c < "$work/bad/out" | tr -d ' ')"
done
check "bad pack: the reason" "quillon: $work/bad/count.vpk: not a pack: its entries end before the first one" \
    "$(q list "$work/bad/count.vpk" 2>&1 | tr -d '\r')"
err=$(q list "$work/bad/short.nob" 2>&1); rc=$?
check "bad nob" "1 quillon: $work/bad/short.nob: not a pack: too short for its first entry header" "$rc $(printf '%s' "$err" | tr -d '\r')"

if [ -f "$realdata/bloodlines/pack103.vpk" ]; then
    D=$realdata/bloodlines
    err=$(q list "$D/pack102.vpk" 2>&1 >"$work/real102"); rc=$?
    check "real pack102: an empty pack, no complaint" "0  0" "$rc $err $(wc -c < "$work/real102" | tr -d ' ')"
    check "real packs" "$(printf '0\t0\tpack102.vpk\n1\t7\tpack103.vpk')" "$(q packs "$D/pack103.vpk" | tr -d '\r')"
    q cat "$D/pack103.vpk" 'DLG/Main Characters/Regent.DLG' > "$work/regent.dlg"
    check "real regent.dlg size" 129781 "$(wc -c < "$work/regent.dlg" | tr -d ' ')"
    check "real regent.dlg bytes" "$(tail -c +115454 "$D/pack103.vpk" | head -c 129781 | md5sum)" "$(md5sum < "$work/regent.dlg")"
    check "real list" "dlg/hollywood/isaac.dlg dlg/main characters/regent.dlg" "$(q list "$D/pack103.vpk" | head -2 | tr -d '\r' | paste -sd' ')"
    err=$(q extract "$D/pack103.vpk" -o "$work/real" 2>&1 >/dev/null | tr -d '\r')
    check "real extract: all seven" "written 7, skipped 0, failed 0" "$err"
    check "real extract: regent.dlg" "$(md5sum < "$work/regent.dlg")" "$(md5sum < "$work/real/dlg/main characters/regent.dlg")"
    check "real extract: strings.txt" "$(tail -c +330425 "$D/pack103.vpk" | head -c 24490 | md5sum)" "$(md5sum < "$work/real/vdata/system/strings.txt")"
    # The real sounds, packed with a cut-off copy of one: their facts on
    # stderr (the lengths agree with sox's decoding, to the hundredth: the
    # ADPCM file by its fact chunk), patterns over their folders.
    mkdir -p "$work/snd/bad"; head -c 100 "$D/sound/character/male/italian_accent/laugh_insane_start_3.wav" > "$work/snd/bad/cut.wav"
    cp -r "$D/sound" "$work/snd/"
    mapfile -t sounds < <(cd "$work/snd" && find . -type f | sed 's|^\./||' | sort)
    if [ -n "$runner" ]; then "$runner" "$sample" --pack "$work/snd/pack000.vpk" "$work/snd" "${sounds[@]}"; else "$sample" --pack "$work/snd/pack000.vpk" "$work/snd" "${sounds[@]}"; fi
    S=$work/snd/pack000.vpk
    facts() { q show "$S" "$1" 2>&1 >/dev/null | tr -d '\r'; }
    check "real adpcm wav" "sound wav 22050Hz 1ch 1.33s" "$(facts 'sound/character/dlg/santa monica/thug/line11_col_e.wav')"
    check "real pcm wav" "sound wav 22050Hz 1ch 2.34s" "$(facts sound/character/male/italian_accent/laugh_insane_start_3.wav)"
    check "real mp3 with tags" "sound mp3 44100Hz 1ch 1.67s" "$(facts sound/character/dlg/chinatown/mandarin/line131_col_e.mp3)"
    check "real mp3" "sound mp3 44100Hz 1ch 2.66s" "$(facts 'sound/character/dlg/santa monica/tourette/line15_col_e.mp3')"
    out=$(facts bad/cut.wav; echo "status ${PIPESTATUS[0]}")
    check "cut-off wav" "quillon: bad/cut.wav: not a sound file Quillon can read: a chunk runs past the end of the file" "$(printf '%s' "$out" | head -1)"
    q show "$S" bad/cut.wav >/dev/null 2>&1; check "cut-off wav: status" 1 $?
    check "real list: sounds are Sound, lip-sync is Text" "$(printf 'Text\nSound\nSound')" \
          "$(q list "$S" --long '**/santa monica/**' | cut -f2 | tr -d '\r')"
    check "real list: patterns" "$(printf 'sound/character/dlg/chinatown/mandarin/line131_col_e.mp3\nsound/character/dlg/santa monica/tourette/line15_col_e.mp3\nsound/character/male/italian_accent/laugh_insane_start_3.wav')" \
          "$(q list "$S" '*.MP3' 'sound/*/male/**' | tr -d '\r')"
    err=$(q extract "$S" 'sound/character/dlg/**/line1??_col_e.*' -o "$work/sndx" 2>&1 >/dev/null | tr -d '\r')
    check "real extract pattern" "written 1, skipped 0, failed 0" "$err"
    check "real extract pattern: bytes" "$(md5sum < "$D/sound/character/dlg/chinatown/mandarin/line131_col_e.mp3")" \
          "$(md5sum < "$work/sndx/sound/character/dlg/chinatown/mandarin/line131_col_e.mp3")"
    # The real models, packed with their materials into a pack of their own.
    mkdir -p "$work/realm"
    files=$(cd "$D" && find materials models -type f | sort)
    if [ -n "$runner" ]; then "$runner" "$sample" --pack "$work/realm/pack000.vpk" "$D" $files; else "$sample" --pack "$work/realm/pack000.vpk" "$D" $files; fi
    err=$(q extract "$work/realm/pack000.vpk" models --x -o "$work/realx" 2>&1 >/dev/null | tr -d '\r')
    check "real extract --x: every model, once" "written 10, skipped 0, failed 0" "$(printf '%s' "$err" | tail -1)"
    # Triangle counts as Assimp reads them: vertices (three per face), faces, materials.
    for m in "scenery/furniture/computer/mouseb 180 60 1" "weapons/broadsword/world/g_sword 1260 420 4" \
             "items/license/ground/lisense 132 44 1" "items/license/info/info_lisense 132 44 1" \
             "scenery/misc/plates/crapy 564 188 1" "scenery/structural/warrens/warr_00_map 360 120 1" \
             "scenery/misc/wineglass/wineglass.mdl_female 996 332 1" \
             "cinematic/santa_monica/courtroom/courtroom_bip1 7488 2496 4"; do
        set -- $m
        check "real $(basename "$1"): assimp" "$2 $3 $4" "$(xinfo "$work/realx/models/$1.x")"
    done
    check "real g_sword: textures" 4 "$(ls "$work/realx/models/weapons/broadsword/world" | grep -c '\.tga$')"
    # Bones and animations after the meshes; every real model as glTF, the
    # rigged ones with their skins.
    check "real br: bones and animations" \
        "bones 68|animation @Brujah_Female_Idle2 75 frames 30 fps|animation @Brujah_Female_ArmOut2 101 frames 30 fps|animation @ragdoll 7 frames 30 fps" \
        "$(q show "$work/realm/pack000.vpk" models/character/shared/female/pc/br.mdl | tr -d '\r' | grep -E '^(bones|animation) ' | paste -sd'|')"
    check "real g_sword: one bone, one animation" "bones 1|animation @idle 31 frames 7 fps" \
        "$(q show "$work/realm/pack000.vpk" models/weapons/broadsword/world/g_sword.mdl | tr -d '\r' | grep -E '^(bones|animation) ' | paste -sd'|')"
    err=$(q extract "$work/realm/pack000.vpk" models --gltf -o "$work/realg" 2>&1 >/dev/null | tr -d '\r')
    check "real extract --gltf: every model, once" "written 10, skipped 0, failed 0" "$(printf '%s' "$err" | tail -1)"
    # An unchanged .x dropped back: packed models byte for byte, float ones
    # within the six decimals of the text (same size).
    for m in items/license/ground/lisense scenery/misc/plates/crapy scenery/structural/warrens/warr_00_map \
             weapons/broadsword/world/g_sword; do
        q cat "$work/realm/pack000.vpk" "models/$m.mdl" > "$work/packed.mdl"
        q modify "$work/realm/pack000.vpk" "models/$m.mdl" "$work/realx/models/$m.x" 2>/dev/null
        if [ "$m" = weapons/broadsword/world/g_sword ]; then
            check "real g_sword: dropped back" "$(wc -c < "$work/packed.mdl")" "$(wc -c < "$work/realm/models/$m.mdl")"
        else
            check "real $(basename "$m"): dropped back byte for byte" same "$(cmp -s "$work/packed.mdl" "$work/realm/models/$m.mdl" && echo same)"
        fi
    done
    # Every other kind of real file, packed at its path: what selecting it shows.
    mkdir -p "$work/realv"
    files=$(cd "$D" && find maps particles materials/art materials/fonts models/weapons/broadsword/world -type f | sort)
    if [ -n "$runner" ]; then "$runner" "$sample" --pack "$work/realv/pack000.vpk" "$D" $files; else "$sample" --pack "$work/realv/pack000.vpk" "$D" $files; fi
    V=$work/realv/pack000.vpk
    # A run-length Targa: the same pixels as netpbm reads from the game's file.
    err=$(q show "$V" particles/animalismhalow.tga -o "$work/halo.tga" 2>&1 >/dev/null | tr -d '\r'); rc=$?
    check "real run-length Targa: shown" "0 picture 128x128" "$rc $err"
    tgatoppm -alphaout="$work/halo-a.pgm" "$D/particles/animalismhalow.tga" > "$work/halo-theirs.ppm" 2>/dev/null
    tgatoppm -alphaout="$work/halo-b.pgm" "$work/halo.tga" > "$work/halo-ours.ppm" 2>/dev/null
    check "real run-length Targa: colour as netpbm reads it" "$(md5sum < "$work/halo-theirs.ppm")" "$(md5sum < "$work/halo-ours.ppm")"
    check "real run-length Targa: alpha as netpbm reads it" "$(md5sum < "$work/halo-a.pgm")" "$(md5sum < "$work/halo-b.pgm")"
    # A map: its header, lumps, pakfile (as Python's zipfile lists the lump) and entities.
    q show "$V" maps/sp_genesisdevice_1.bsp > "$work/map.txt"; rc=$?
    check "real map: header" "0 map version 17, map revision 1516, 99836 bytes" "$rc $(head -1 "$work/map.txt" | tr -d '\r')"
    check "real map: the entity lump" "4614" "$(sed -n 's/^   0  entities  *[0-9]*  *\([0-9]*\)\r*$/\1/p' "$work/map.txt")"
    theirs=$(python3 -c 'import io, sys, zipfile
d = open(sys.argv[1], "rb").read()[91652:91652 + 3560]
for i in zipfile.ZipFile(io.BytesIO(d)).infolist(): print("%10d  %s" % (i.file_size, i.filename))' "$D/maps/sp_genesisdevice_1.bsp")
    check "real map: pakfile as zipfile lists it" "$theirs" "$(sed -n '/^pakfile: /,/^$/p' "$work/map.txt" | tr -d '\r' | sed '1d;$d')"
    check "real map: entities" '"classname" "info_player_start"' "$(grep -m1 info_player_start "$work/map.txt" | tr -d '\r')"
    # A material whose texture is not in the packs: its text, and which texture.
    out=$(q show "$V" materials/art/librarysign1.vmt 2>"$work/sign.err"); rc=$?
    check "real material without its texture" \
        "1 quillon: materials/art/librarysign1.vmt: \$basetexture art/librarysign1: not in the packs or the data folder" \
        "$rc $(tr -d '\r' < "$work/sign.err")"
    check "real material without its texture: its text" "$(cat "$D/materials/art/librarysign1.vmt")" "$(printf '%s' "$out" | tr -d '\r')"
    # A binary font: a hex view; --hex for any file.
    out=$(q show "$V" materials/fonts/vamp_dialog_intimidate_25_900_000.fnt); rc=$?
    check "real font: hex view" "0 00000000  01 00 00 00 cc 21 00 00  01 00 00 00 08 00 00 00  |.....!..........||(end of file: 8708 bytes)" \
        "$rc $(printf '%s' "$out" | tr -d '\r' | sed -n '1p;$p' | paste -sd'|')"
    check "real font: 545 lines of 16 bytes and the end" 546 "$(printf '%s\n' "$out" | wc -l | tr -d ' ')"
    check "show --hex: a material's bytes" '00000000  22 4c 69 67 68 74 6d 61  70 70 65 64 47 65 6e 65  |"LightmappedGene|' \
        "$(q show --hex "$V" materials/art/librarysign1.vmt | head -1 | tr -d '\r')"
    q show --hex "$V" materials/art/librarysign1.vmt -o "$work/x.png" >/dev/null 2>&1; check "show --hex -o: usage error" 2 $?
    # Every companion of a model leads to it.
    q show "$V" models/weapons/broadsword/world/g_sword.mdl > "$work/sword.txt"
    for f in g_sword.dx80.vtx g_sword.dx7_2bone.vtx g_sword.phy; do
        check "real $f: the model" "$(md5sum < "$work/sword.txt")" "$(q show "$V" "models/weapons/broadsword/world/$f" | md5sum)"
    done
    check "real g_sword: four meshes" 4 "$(grep -c '^mesh ' "$work/sword.txt")"
fi

echo "$pass passed, $fail failed"
[ $fail -eq 0 ]
