#!/usr/bin/env bash
# Makes the seed corpus from the default world: make_corpus.sh VELDER_WORLDGEN
# Text files are taken as they are; images are shrunk to a few pixels in the formats a world
# maker's editor saves (ImageMagick), DDS files to a small header with short levels.
set -euo pipefail
wg=$1
here=$(cd "$(dirname "$0")" && pwd)
c=$here/corpus
w=$(mktemp -d)
trap 'rm -rf "$w"' EXIT
"$wg" --preset default "$w/world" >/dev/null
W=$w/world
rm -rf "$c"
mkdir -p "$c"/{cfg,param,index,brushes,maps,dds,image,tree,sound,clut}
cp "$W/trees/oak.pg" "$W/trees/pine.pg" "$W/sounds/steps_grass.def" "$W/sounds/steps_snow.def" "$c/cfg/"
cp "$W/trees/"*.pg "$c/tree/"
cp "$W/sounds/"*.def "$c/sound/"
cp "$W/clut/warm.bmp" "$W/clut/cold.bmp" "$c/clut/"
convert "$W/clut/warm.bmp" -crop 64x4+0+0 +repage -type truecolor BMP3:"$c/clut/small24.bmp"
convert "$W/clut/warm.bmp" -crop 8x4+0+0 +repage -type truecoloralpha BMP:"$c/clut/rgba32.bmp"
cp "$W/param.cfg" "$c/param/"
cp "$W/index" "$c/index/"
cp "$W/brushes" "$c/brushes/"
convert "$W/hm.bmp" -resize 12x12 -type truecolor BMP3:"$c/maps/hm24.bmp"
convert "$W/hm.bmp" -resize 12x12 -colorspace gray -type palette BMP3:"$c/maps/hm8.bmp"
convert "$W/hm.bmp" -resize 8x8 -define bmp:subtype=RGB565 BMP:"$c/maps/hm16.bmp"
convert "$W/objmap.bmp" -sample 12x12 -type truecolor BMP3:"$c/maps/objmap24.bmp"
convert "$W/objmap.bmp" -sample 8x8 -type truecoloralpha BMP:"$c/maps/objmap32.bmp"
convert "$W/textures/fern.png" -resize 8x8 PNG32:"$c/image/rgba.png"
convert "$W/textures/fern.png" -resize 8x8 PNG24:"$c/image/rgb.png"
convert "$W/textures/fern.png" -resize 8x8 PNG8:"$c/image/palette.png"
convert "$W/skybox/s_top.png" -resize 6x6 -colorspace gray PNG:"$c/image/grey.png"
# DDS: the default world's header over 8 x 8 (4 levels), 4 x 4 (1 level, no count flag) and
# 16 x 8 DXT5 (5 levels), level bytes from the file itself
python3 - "$W/textures/rock_grey.dds" "$c/dds" <<'PY'
import struct, sys
src = open(sys.argv[1], 'rb').read()
def make(name, w, h, mips, fourcc, flags_off=0):
    head = bytearray(src[:128])
    flags = struct.unpack_from('<I', head, 8)[0] & ~flags_off
    struct.pack_into('<IIII', head, 8, flags, h, w, 0)
    struct.pack_into('<I', head, 28, mips)
    head[84:88] = fourcc
    block = 8 if fourcc == b'DXT1' else 16
    size, lw, lh = 0, w, h
    for _ in range(mips):
        size += max(1, (lw + 3) // 4) * max(1, (lh + 3) // 4) * block
        lw, lh = max(1, lw // 2), max(1, lh // 2)
    open(sys.argv[2] + '/' + name, 'wb').write(bytes(head) + src[128:128 + size])
make('dxt1_8x8.dds', 8, 8, 4, b'DXT1')
make('dxt3_4x4.dds', 4, 4, 1, b'DXT3', 0x20000)
make('dxt5_16x8.dds', 16, 8, 5, b'DXT5')
PY
du -sh "$c"
