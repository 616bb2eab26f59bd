#!/usr/bin/env bash
# Builds the GIF fuzz target with clang and runs it for SECONDS (default 60) on the corpus
# seeds, one process at low priority. Exits non-zero on any crash, leak, timeout or sanitizer
# report; the input that caused it lands in build-fuzz/artifacts/.
#   bash fuzz/gif/run.sh [SECONDS] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds="${1:-60}"
build="${2:-build-fuzz}"
corpus="${VELMORA_CORPUS_DIR:-$(pwd)/../shared/corpus}"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMORA_FUZZ=ON -DVELMORA_SANITIZE=ON -DVELMORA_BUILD_GUI=OFF -DVELMORA_BUILD_TESTS=OFF \
    -DVELMORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target gif_fuzzer -j2
mkdir -p "$build/corpus-gif" "$build/artifacts"
seeds=()
for dir in gif/ancell-pygif-test-suite gif/giflib/pic fuzz/go-fuzz-corpus/gif/corpus; do
    [ -d "$corpus/$dir" ] && seeds+=("$corpus/$dir")
done
ASAN_OPTIONS=detect_leaks=1 nice -n 10 "$build/fuzz/gif/gif_fuzzer" -max_total_time="$seconds" \
    -rss_limit_mb=3072 -timeout=10 -print_final_stats=1 -artifact_prefix="$build/artifacts/" \
    "$build/corpus-gif" "${seeds[@]}"
