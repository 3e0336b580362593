#!/usr/bin/env bash
# Configures and builds into build/ (tests included).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
source scripts/buildflags.sh
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${buildflags[@]}" "${launcher[@]}" "$@" >/dev/null
cmake --build build -j"$(nproc)"
