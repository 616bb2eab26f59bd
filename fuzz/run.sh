#!/usr/bin/env bash
# Builds one reader's fuzz target with clang and runs it for SECONDS (default 60) on the corpus
# seeds, one process at low priority. Exits non-zero on any crash, leak, timeout or sanitizer
# report; the input that caused it lands in BUILD_DIR/artifacts/.
#   bash fuzz/run.sh bmp|gif|jpeg|tjpeg|adif [SECONDS] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
reader="${1:?usage: fuzz/run.sh bmp|gif|jpeg|tjpeg|adif [SECONDS] [BUILD_DIR]}"
seconds="${2:-60}"
build="${3:-build-fuzz}"
corpus="${VELMORA_CORPUS_DIR:-$(pwd)/../shared/corpus}"
case "$reader" in
    bmp)
        seed_dirs=(bmp/g bmp/q bmp/b bmp/x fuzz/go-fuzz-corpus/bmp/corpus)
        limits=(-rss_limit_mb=3072 -timeout=10) ;;
    gif)
        seed_dirs=(gif/ancell-pygif-test-suite gif/giflib/pic fuzz/go-fuzz-corpus/gif/corpus)
        limits=(-rss_limit_mb=3072 -timeout=10) ;;
    jpeg | tjpeg)
        seed_dirs=(fuzz/go-fuzz-corpus/jpeg/corpus jpeg)
        limits=(-max_len=200000 -rss_limit_mb=2048 -timeout=20) ;;
    adif)
        # Logs of our own (fuzz/adif/seeds). Megabyte inputs are in the unit tests; 128 KiB is
        # enough for a quadratic scan to time out.
        seed_dirs=("$(pwd)/fuzz/adif/seeds")
        limits=(-max_len=131072 -rss_limit_mb=2048 -timeout=10) ;;
    *)
        echo "fuzz/run.sh: unknown reader '$reader'" >&2
        exit 2 ;;
esac
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMORA_FUZZ=ON -DVELMORA_SANITIZE=ON -DVELMORA_BUILD_GUI=OFF -DVELMORA_BUILD_TESTS=OFF \
    -DVELMORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target "${reader}_fuzzer" -j2
mkdir -p "$build/corpus-$reader" "$build/artifacts"
seeds=()
for dir in "${seed_dirs[@]}"; do
    case "$dir" in
        /*) [ -d "$dir" ] && seeds+=("$dir") ;;
        *) [ -d "$corpus/$dir" ] && seeds+=("$corpus/$dir") ;;
    esac
done
ASAN_OPTIONS=detect_leaks=1 nice -n 10 "$build/fuzz/$reader/${reader}_fuzzer" \
    -max_total_time="$seconds" "${limits[@]}" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/" "$build/corpus-$reader" "${seeds[@]}"
