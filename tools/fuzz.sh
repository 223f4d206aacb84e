#!/usr/bin/env bash
# Builds the fuzz targets with clang (ASan + UBSan + libFuzzer) and runs each
# for SECONDS (default 600), seeded with the sample packs and textures.
# usage: tools/fuzz.sh [SECONDS] [TARGET...]
# FUZZ_BUILD names another build folder, so that two runs do not share one.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}; shift || true
targets=("$@"); [ ${#targets[@]} -gt 0 ] || targets=(fuzz_nob_walk fuzz_vpk_walk fuzz_pack_tree fuzz_texture fuzz_bmp fuzz_tga fuzz_png fuzz_material fuzz_mdl fuzz_nod fuzz_x fuzz_gltf fuzz_sound fuzz_map)
build=${FUZZ_BUILD:-$PWD/build-fuzz}
CC=clang CXX=clang++ cmake -S . -B $build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUILLON_FUZZ=ON -DQUILLON_TESTS=OFF -DQUILLON_BENCH=OFF >/dev/null
cmake --build $build -j "$(nproc)" >/dev/null
rm -rf $build/sample && $build/quillon-sample $build/sample
# A texture seed: two bytes (little-endian) of .tth length, the .tth, the .ttz.
pair() { local n; n=$(stat -c %s "$1")
         printf "\\x$(printf %02x $((n & 255)))\\x$(printf %02x $((n >> 8 & 255)))" > "$3"; cat "$1" "$2" >> "$3"; }
for t in "${targets[@]}"; do
    corpus=$build/corpus-$t; mkdir -p "$corpus"
    case $t in
        *nob*) cp $build/sample/redemption/*.nob "$corpus"/ ;;
        *vpk*) cp $build/sample/bloodlines/*.vpk "$corpus"/
               [ -d ../shared/realdata/bloodlines ] && cp ../shared/realdata/bloodlines/*.vpk "$corpus"/ ;;
        *tree*) for f in $build/sample/redemption/*.nob; do { printf '\x00'; cat "$f"; } > "$corpus/$(basename "$f")"; done
                for f in $build/sample/bloodlines/*.vpk; do { printf '\x01'; cat "$f"; } > "$corpus/$(basename "$f")"; done ;;
        *texture*)
            q=$build/quillon; pack=$build/sample/bloodlines/pack002.vpk; s=$build/sample/bloodlines/materials/samples
            for item in $($q list $pack | grep '\.tth$'); do
                $q cat $pack "$item" > $build/seed.tth; $q cat $pack "${item%h}z" > $build/seed.ttz
                pair $build/seed.tth $build/seed.ttz "$corpus/sample-$(basename "${item%.tth}")"
            done
            # Our own encoder's layout: the sample Targa and a 3 x 2 one,
            # converted onto two sample textures.
            $q cat $pack images/Banner.tga > $build/bgra.tga
            { printf '\0\0\2\0\0\0\0\0\0\0\0\0\3\0\2\0\40\10'; for i in 1 2 3 4 5 6; do printf '\1\2\3\4'; done; } > $build/bgr.tga
            if $q convert $pack materials/samples/bgra.tth $build/bgra.tga $build/bgr.tga >/dev/null; then
                for name in bgra bgr; do pair $s/$name.tth $s/$name.ttz "$corpus/encoded-$name"; done
            fi
            if [ -d ../shared/realdata/bloodlines/materials ]; then
                find ../shared/realdata/bloodlines/materials -name '*.tth' | while read -r f; do
                    pair "$f" "${f%h}z" "$corpus/real-$(basename "$(dirname "$f")")-$(basename "${f%.tth}")"
                done
            fi ;;
        # Picture seeds: small ones written here, and every layout the readers
        # take as ImageMagick writes it, when it is installed.
        *bmp*)
            # 2 x 2, 8 bits, two palette entries, top row first.
            printf 'BM\x46\0\0\0\0\0\0\0\x3e\0\0\0\x28\0\0\0\2\0\0\0\xfe\xff\xff\xff\1\0\x08\0\0\0\0\0\x08\0\0\0\0\0\0\0\0\0\0\0\2\0\0\0\0\0\0\0\x10\x20\x30\0\xf0\xe0\xd0\x80\0\1\0\0\1\0\0\0' \
                > "$corpus/topdown-8.bmp"
            if [ -x /usr/bin/convert ]; then
                src="-seed 1 -size 5x3 plasma:fractal"
                /usr/bin/convert $src -type TrueColor BMP3:"$corpus/im-24.bmp"
                /usr/bin/convert $src -type TrueColor BMP:"$corpus/im-24-v5.bmp"
                /usr/bin/convert $src -type Palette -compress None BMP3:"$corpus/im-8.bmp"
                /usr/bin/convert $src -type Palette -compress None BMP:"$corpus/im-8-v5.bmp"
            fi ;;
        *tga*)
            # ID field "abc", a two-entry colour map, two pixels; then our own layout.
            printf '\3\1\2\0\0\2\0\x18\0\0\0\0\2\0\1\0\x18\0abc\1\2\3\4\5\6\x10\x20\x30\x40\x50\x60' > "$corpus/id-map.tga"
            { printf '\0\0\2\0\0\0\0\0\0\0\0\0\3\0\2\0\x20\x08'; for i in 1 2 3 4 5 6; do printf "\\$i\x80\x40\xff"; done; } > "$corpus/ours.tga"
            if [ -x /usr/bin/convert ]; then
                src="-seed 1 -size 5x3 plasma:fractal"
                /usr/bin/convert $src -type TrueColor -compress None "$corpus/im-24.tga"
                /usr/bin/convert $src -alpha set -channel A -fx 'i/5' +channel -compress None "$corpus/im-32.tga"
                /usr/bin/convert $src -compress RLE "$corpus/im-rle.tga"
                /usr/bin/convert $src -colorspace Gray -compress RLE "$corpus/im-grey-rle.tga"
                /usr/bin/convert $src -type Palette -compress RLE "$corpus/im-mapped-rle.tga"
                /usr/bin/convert $src -orient TopRight -depth 5 "$corpus/im-16-top-right.tga"
            fi
            [ ! -f ../shared/realdata/bloodlines/particles/animalismhalow.tga ] ||
                cp ../shared/realdata/bloodlines/particles/animalismhalow.tga "$corpus/real-rle.tga" ;;
        *png*)
            # Our own encoding of the sample textures, and every colour type
            # and depth ImageMagick writes, when it is installed.
            $build/quillon extract $build/sample/bloodlines/pack002.vpk materials --png -o $build/png-seed >/dev/null 2>&1 || true
            find $build/png-seed -name '*.png' -size -16k -exec cp {} "$corpus"/ \; 2>/dev/null || true
            if [ -x /usr/bin/convert ]; then
                src="-seed 1 -size 7x5 plasma:fractal -channel A -fx i/7 +channel"
                for kind in PNG8 PNG24 PNG32 PNG48 PNG64; do /usr/bin/convert $src $kind:"$corpus/im-$kind.png"; done
                /usr/bin/convert $src -colorspace Gray -depth 8 "$corpus/im-grey.png"
                /usr/bin/convert $src -interlace PNG "$corpus/im-interlaced.png"
            fi ;;
        *material*)  # first byte: bit 0 .nam instead of .vmt, bit 1 show the text
            q=$build/quillon; b=$build/sample/bloodlines/pack002.vpk; r=$build/sample/redemption/data.nob
            { printf '\x00'; $q cat $b materials/samples/crate.vmt; } > "$corpus/crate"
            { printf '\x02'; $q cat $b materials/samples/glass.vmt; } > "$corpus/glass"
            { printf '\x01'; $q cat $r 3d/materials/stone.nam; } > "$corpus/stone"
            { printf '\x03'; $q cat $r materials/general/floor.nam; } > "$corpus/floor" ;;
        *nod*)  # the sample Redemption model
            $build/quillon cat $build/sample/redemption/data.nob 3d/models/knight.nod > "$corpus/knight" ;;
        *fuzz_x*)  # the export of a six-vertex model, and the sample lamp's
            { printf 'xof 0303txt 0032\n\nMesh\n{\n\t6;\n'
              for i in 0 1 2 3 4; do printf '\t%d.000000;20%d.500000;-1%d.250000;,\n' $i $i $i; done
              printf '\t5.000000;205.000000;105.000000;;\n\t1;\n\t3;0,1,2;;\n\n}\n'; } > "$corpus/six"
            $build/quillon extract $build/sample/bloodlines/pack002.vpk models --x -o $build/x-seed >/dev/null 2>&1 || true
            cp $build/x-seed/models/samples/Lamp.x "$corpus/lamp" 2>/dev/null || true ;;
        *map*)  # the real map, and a small one with a two-file pakfile
            [ ! -f ../shared/realdata/bloodlines/maps/sp_genesisdevice_1.bsp ] ||
                cp ../shared/realdata/bloodlines/maps/sp_genesisdevice_1.bsp "$corpus/real.bsp"
            $build/fuzz/map_seeds "$corpus" ;;
        *gltf*)  # our export of the fuzzed models: .glb, .gltf, and without the vertex map
            $build/fuzz/gltf_seeds "$corpus" ;;
        *sound*)  # the real sounds, and a tagged two-frame MP3 with a Xing summary
            [ ! -d ../shared/realdata/bloodlines/sound ] ||
                find ../shared/realdata/bloodlines/sound -name '*.wav' -o -name '*.mp3' | while read -r f; do
                    cp "$f" "$corpus/real-$(basename "$f")"; done
            { printf 'ID3\3\0\0\0\0\0\4abcd'
              for i in 1 2; do printf '\xff\xfb\x50\xc0'; head -c 17 /dev/zero
                  if [ $i = 1 ]; then printf 'Xing\0\0\0\1\0\0\0\2'; head -c 175 /dev/zero
                  else head -c 187 /dev/zero; fi; done; } > "$corpus/xing.mp3" ;;
        *mdl*)  # two bytes of .mdl length, the .mdl, the .dx80.vtx
            q=$build/quillon; pack=$build/sample/bloodlines/pack002.vpk
            $q cat $pack models/samples/lamp.mdl > $build/seed.mdl; $q cat $pack models/samples/lamp.dx80.vtx > $build/seed.vtx
            pair $build/seed.mdl $build/seed.vtx "$corpus/sample-lamp"
            $build/fuzz/mdl_seeds "$corpus"
            if [ -d ../shared/realdata/bloodlines/models ]; then
                find ../shared/realdata/bloodlines/models -name '*.mdl' | while read -r f; do
                    pair "$f" "${f%.mdl}.dx80.vtx" "$corpus/real-$(basename "${f%.mdl}")"
                done
            fi ;;
    esac
    echo "== $t for ${seconds}s"
    status=0
    $build/fuzz/$t -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$build/" \
        "$corpus" > $build/$t.log 2>&1 || status=$?
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss|==[0-9]+==ERROR|SUMMARY)' $build/$t.log || true
    if [ $status -ne 0 ]; then echo "$t failed (status $status); see $build/$t.log"; failed=1; fi
done
exit ${failed:-0}
