#!/usr/bin/env bash
# Regenerates the reference outputs of libjpeg-turbo's own tools that the jpeg tests compare
# with. Needs djpeg and cjpeg (Debian: libjpeg-turbo-progs, the same library version as
# libjpeg62-turbo-dev). Run from anywhere; writes beside this script.
#
# quantized-236.tsv: for every corpus JPEG that "djpeg -dct float -bmp" decodes, the exit code
# and md5 of "djpeg -dct float -colors 236 -bmp": the 8-bit palette output (always used for
# greyscale files, and for colour files on screens of at most 8 bits per pixel).
#
# card-q90-baseline.jpg, card-q90-progressive.jpg: "cjpeg -quality 90 -baseline [-progressive]
# -dct float" of the test card (CardPixel in tests/jpeg/JpegTestSupport.cpp, mirrored below).
# The encoder tests compare our output with these bytes, and with a live cjpeg when installed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
corpus="${VELMORA_CORPUS_DIR:-$here/../../../../shared/corpus}"
results="$corpus/jpeg/derived-djpeg-2.1.5/RESULTS.tsv"
out="$here/quantized-236.tsv"
{
    echo "# djpeg $(djpeg -version 2>&1 | head -1 | tr '\t' ' '): \"djpeg -dct float -colors 236 -bmp FILE\""
    printf 'file\trc\tmd5\n'
    # Fields: file, then A (rc, output, md5, stderr), then B (rc, ...); B_rc is field 6.
    awk -F'\t' '!/^#/ && $1 != "file" && $6 != 1 { print $1 }' "$results" | while read -r file; do
        set +e
        md5=$(djpeg -dct float -colors 236 -bmp "$corpus/$file" 2>/dev/null | md5sum | cut -d' ' -f1)
        rc=${PIPESTATUS[0]}
        set -e
        printf '%s\t%s\t%s\n' "$file" "$rc" "$md5"
    done
} >"$out"
echo "wrote $out"

card="$(mktemp --suffix=.ppm)"
trap 'rm -f "$card"' EXIT
python3 - "$card" <<'PY'
import sys
def clamp(v): return max(0, min(255, v))
def card_pixel(x, y):  # returns (b, g, r), as CardPixel does
    if x < 2 or y < 2 or x >= 493 or y >= 313: return (0, 0, 0)
    if y >= 220 and (y - 220) % 20 == 0 and 20 <= x < 475: return (0, 0, 0)
    if 30 <= x < 150 and 30 <= y < 90: return (40, 40, 220)
    if 300 <= x < 470 and 40 <= y < 120: return (255, 255, 255)
    if 310 <= x < 460 and 50 <= y < 60:
        return (0, 0, 0) if (x + y) % 2 == 0 else (255, 255, 255)
    t = (x * 7 + y * 13) % 17 - 8
    return (clamp(60 + y * 150 // 315 + t), clamp(90 + x * 100 // 495),
            clamp(200 - (x + y) * 120 // 810 + int(t / 2)))
out = bytearray(b"P6\n495 315\n255\n")
for y in range(315):
    for x in range(495):
        b, g, r = card_pixel(x, y)
        out += bytes((r, g, b))
open(sys.argv[1], "wb").write(out)
PY
cjpeg -quality 90 -baseline -dct float "$card" >"$here/card-q90-baseline.jpg"
cjpeg -quality 90 -baseline -progressive -dct float "$card" >"$here/card-q90-progressive.jpg"
echo "wrote $here/card-q90-baseline.jpg and card-q90-progressive.jpg"
