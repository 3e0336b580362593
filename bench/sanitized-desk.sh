#!/usr/bin/env bash
# sanitized-desk.sh address|thread [RUNS]
#
# Builds the busy desk's test (tests/main/test_busydesk.cpp: the invoice,
# booking and reminder windows opened, saved and closed again and again
# while another desk saves to the shared database) under a sanitizer, in a
# folder of its own (build-asan or build-tsan), and runs it RUNS times
# (default 5) against a throwaway PostgreSQL server. Stops at the first run
# the sanitizer, or the test, finds fault with; its report is in
# BUILD/sanitized-desk.log. Qt is not built with the thread sanitizer: a
# suppressions file for Qt's own threads may be given in TSAN_SUPPRESSIONS.
set -Eeuo pipefail

kind="${1:-}"
runs="${2:-5}"
case "$kind" in
  address) build=build-asan ;;
  thread) build=build-tsan ;;
  *)
    echo "usage: $0 address|thread [RUNS]" >&2
    exit 2
    ;;
esac

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBM_SANITIZE="$kind" "${launcher[@]}" >/dev/null
nice -n 10 cmake --build "$build" -j2 --target test_busydesk

state="$(mktemp -d)/pgserver.state"
trap 'bash tests/support/pgcluster.sh stop "$state" >/dev/null 2>&1 || true' EXIT
bash tests/support/pgcluster.sh start "$state" >/dev/null

export QT_QPA_PLATFORM=offscreen BM_TEST_SERVER="$state"
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1${TSAN_SUPPRESSIONS:+:suppressions=$TSAN_SUPPRESSIONS}:${TSAN_OPTIONS:-}"
log="$build/sanitized-desk.log"
for run in $(seq 1 "$runs"); do
  if ! nice -n 10 "$build/tests/main/test_busydesk" >"$log" 2>&1; then
    echo "run $run of $runs failed; see $log" >&2
    grep -m 20 -E "ERROR: |WARNING: ThreadSanitizer|FAIL!|^    #[0-9]+ .* in bm::" "$log" >&2 || true
    exit 1
  fi
  echo "run $run of $runs: clean"
done
