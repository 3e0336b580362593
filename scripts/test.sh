#!/usr/bin/env bash
# Sets up, builds (a warning stops the build) and runs every test, headless,
# then the fuzzers for a few seconds each; the code must be as clang-format
# writes it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
# One version of the formatter, so that every machine formats alike.
find src tests bench -name '*.cpp' -o -name '*.h' | sort | xargs clang-format-14 --dry-run --Werror
export QT_QPA_PLATFORM=offscreen
cd build
ctest --output-on-failure -j"$(nproc)"
# Every reader of outside bytes is fuzzed briefly: past crashes stay fixed.
bash ../scripts/fuzz.sh 10
bash ../scripts/package.sh # the Debian package is built and must pass lintian
