#!/usr/bin/env bash
# Installs what is missing, builds everything into build/ and runs every test through CTest.
# Extra arguments go to cmake's configure step (e.g. ./test.sh -DQXM_SANITIZE=ON).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
BUILD_DIR=${QXM_BUILD_DIR:-build}
./scripts/configure.sh "$BUILD_DIR" "$@"
cmake --build "$BUILD_DIR" -j2
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD_DIR" --output-on-failure -j2 --timeout 600
