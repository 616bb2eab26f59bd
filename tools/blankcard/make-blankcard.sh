#!/usr/bin/env bash
# Builds the blank card generator and writes the template data/blankcard.jpg with it.
# BUILD_DIR chooses the build folder (default: build-blankcard in the project).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${BUILD_DIR:-$root/build-blankcard}"

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DVELMORA_BUILD_GUI=OFF -DVELMORA_BUILD_TESTS=OFF
fi
cmake --build "$build" --target velmora-make-blankcard -j2
"$build/tools/blankcard/velmora-make-blankcard" "$root/data/blankcard.jpg"
echo "wrote $root/data/blankcard.jpg"
