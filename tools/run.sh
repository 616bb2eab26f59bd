#!/usr/bin/env bash
# Installs what is needed, builds Velmora and starts it in its data folder, where it finds
# "blankcard.jpg" and "VELMORA.HLP".
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset release -DVELMORA_BUILD_TESTS=OFF
cmake --build --preset release --target velmora
cd data
exec ../build/release/src/app/velmora
