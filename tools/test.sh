#!/usr/bin/env bash
# Installs what is needed, builds everything (program, tests, command-line tool) and runs every
# test. Window tests use Qt's offscreen platform, so no display is needed. Arguments go to the
# configure step (CI passes -DVELMORA_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset debug "$@"
cmake --build --preset debug
ctest --preset debug -j2
