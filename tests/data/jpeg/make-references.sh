#!/usr/bin/env bash
# Regenerates the reference outputs of libjpeg-turbo's own tools that the jpeg tests compare
# with. Needs djpeg and cjpeg (Debian: libjpeg-turbo-progs, the same library version as
# libjpeg62-turbo-dev). Run from anywhere; writes beside this script.
#
# quantized-236.tsv: for every corpus JPEG that "djpeg -dct float -bmp" decodes, the exit code
# and md5 of "djpeg -dct float -colors 236 -bmp": the 8-bit palette output (always used for
# greyscale files, and for colour files on screens of at most 8 bits per pixel).
#
# The encoder reference (card-q90-*.jpg) is written by the encoder test itself, which runs
# cjpeg on the same pixels when the tool is installed: see README.md.
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
