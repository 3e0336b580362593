#!/usr/bin/env bash
# Builds the libFuzzer harnesses of tests/fuzz into build-fuzz/ (clang, with
# the address and undefined-behaviour sanitizers) and runs each for the given
# number of seconds (default 60). Each first replays the inputs that once
# crashed it (tests/fuzz/crashes/<harness>/), then fuzzes from its seeds,
# copied into a scratch corpus under build-fuzz/corpus/. A crash is kept in
# build-fuzz/crashes/<harness>/ and makes the script fail.
#
#   bash scripts/fuzz.sh [seconds]
#
# BM_FUZZ_JOBS sets the build's parallel jobs (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
bash scripts/setup.sh clang-14 libclang-rt-14-dev sqlite3

cxx=clang++-14
command -v "$cxx" >/dev/null || cxx=clang++
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
build=build-fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
  -DBM_BUILD_FUZZ=ON -DBM_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null

# harness, longest input, seeds beside tests/fuzz/corpus/<harness>
harnesses=(vcard csv sitecodes filter report schemacheck picture web mail caldav)
declare -A maxLen=([vcard]=65536 [csv]=65536 [sitecodes]=65536 [filter]=4096 [report]=65536 [schemacheck]=131072
                   [picture]=65536 [web]=20000 [mail]=4096 [caldav]=65536)
targets=()
for h in "${harnesses[@]}"; do targets+=("fuzz_$h"); done
# The delivered database seeds the inspection's fuzzer.
targets+=(bm_delivered_files)
cmake --build "$build" -j"${BM_FUZZ_JOBS:-2}" --target "${targets[@]}"

# The delivered database and variations of it that the inspection must
# refuse or accept: smaller pages (a small file mutates faster), code of the
# file's own, a newer layout, a table without its key, a missing index, a
# computed field, a table it does not know, a journal mode, cut and damaged.
schemacheckSeeds() {
  local delivered=$1 out=$2
  cp "$delivered" "$out/delivered.mdb"
  cp "$delivered" "$out/small.mdb"
  sqlite3 "$out/small.mdb" "PRAGMA page_size = 512; VACUUM;"
  local -A change=(
    [trigger]='CREATE TRIGGER "Phone spy" AFTER INSERT ON Phone BEGIN DELETE FROM Diary; END;'
    [view]='CREATE VIEW Trips AS SELECT * FROM Booking;'
    [newer]='UPDATE "Schema Version" SET Version = Version + 1;'
    [unmarked]='DROP TABLE "Schema Version";'
    [nokey]='DROP TABLE Diary; CREATE TABLE Diary (ID INTEGER, "Date" TEXT, Subject TEXT, Page TEXT);'
    [noindex]='DROP INDEX "Phone by Name";'
    [computed]='ALTER TABLE Phone ADD COLUMN Shout TEXT GENERATED ALWAYS AS (upper(Name)) VIRTUAL;'
    [unknown]='CREATE TABLE Tides (ID INTEGER PRIMARY KEY, "When" TEXT); CREATE INDEX Odd ON Phone(Name) WHERE Name > 1;'
    [wal]='PRAGMA journal_mode = WAL;'
  )
  local name
  for name in "${!change[@]}"; do
    cp "$out/small.mdb" "$out/$name.mdb"
    sqlite3 "$out/$name.mdb" "${change[$name]}" >/dev/null
  done
  head -c 10000 "$out/small.mdb" >"$out/cut.mdb"
  cp "$out/small.mdb" "$out/zeroed.mdb"
  dd if=/dev/zero of="$out/zeroed.mdb" bs=512 seek=3 count=2 conv=notrunc status=none
}

seeds() {
  local h=$1 out=$2
  cp tests/fuzz/corpus/"$h"/* "$out"/ 2>/dev/null || true
  case $h in
    report) cp reports/*.rpt "$out"/ ;;
    picture) cp packaging/icons/brindlemoor-16.png src/main/icons/22/*.png "$out"/ ;;
    schemacheck) schemacheckSeeds "$build/src/delivered/files/tallow.mdb" "$out" ;;
  esac
}

export QT_QPA_PLATFORM=offscreen
export UBSAN_OPTIONS=print_stacktrace=1
mkdir -p "$build/tmp" "$build/logs"
export TMPDIR=$PWD/$build/tmp # what a crashed run leaves stays here
failed=()
summary=()
for h in "${harnesses[@]}"; do
  bin=$build/tests/fuzz/fuzz_$h
  crashes=$build/crashes/$h
  log=$build/logs/$h.log
  mkdir -p "$crashes"
  options=(-max_len="${maxLen[$h]}" -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$crashes/")
  # The text readers keep limits at the length of a name, a line or a field:
  # their inputs may grow to the longest at once, not a few bytes at a time.
  case $h in vcard | csv) options+=(-len_control=0) ;; esac
  [ -f tests/fuzz/$h.dict ] && options+=(-dict=tests/fuzz/$h.dict)

  # Past crashes first, each run once as a plain input.
  past=(tests/fuzz/crashes/"$h"/*)
  if [ -e "${past[0]}" ] && ! "$bin" "${options[@]}" "${past[@]}" >"$log" 2>&1; then
    input=$(sed -n 's/^Running: //p' "$log" | tail -n 1)
    summary+=("$h: a past crash is back: ${input:-tests/fuzz/crashes/$h/}; log $log")
    failed+=("$h")
    tail -n 40 "$log"
    continue
  fi

  work=$build/corpus/$h
  rm -rf "$work"
  mkdir -p "$work"
  seeds "$h" "$work"
  before=$(find "$crashes" -type f | wc -l)
  rc=0
  "$bin" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 "$work" >"$log" 2>&1 || rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ -z "$runs" ]; then runs=$(grep -o '^#[0-9]*' "$log" | tail -n 1 | tr -d '#'); fi
  after=$(find "$crashes" -type f | wc -l)
  if [ "$rc" -ne 0 ] || [ "$after" -gt "$before" ]; then
    found=$(grep -m1 -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error|.*broken:)' "$log" || true)
    summary+=("$h: ${runs:-?} runs in ${seconds}s, CRASH: ${found:-exit $rc}; input in $crashes/, log $log")
    failed+=("$h")
    tail -n 40 "$log"
  else
    summary+=("$h: ${runs:-?} runs in ${seconds}s, no crash")
  fi
done

echo
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found crashes in: ${failed[*]}"
  exit 1
fi
