#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, build-fuzz/) and runs each in turn for
# SECONDS (default 600) from its seed corpus in fuzz/corpus/<target>/. New
# inputs collect in fuzz/corpus-<target>/ (not kept in the repository); with
# --merge they are minimized into the seed corpus afterwards. A crash, leak
# or timeout is written to build-fuzz/findings/<target>/ and ends the script
# with status 1.
#
#   scripts/fuzz.sh [--merge] [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

MERGE=0
if [ "${1:-}" = "--merge" ]; then
  MERGE=1
  shift
fi
SECONDS_EACH=${1:-600}
shift || true

BUILD=${TESMAR_FUZZ_BUILD_DIR:-build-fuzz}
CXX=clang++ cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESMAR_FUZZ=ON \
  -DTESMAR_GUI=OFF -DTESMAR_TESTS=OFF -DTESMAR_BENCH=OFF >/dev/null
cmake --build "$BUILD" -- -j2

TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then
  for f in fuzz/fuzz_*.cpp; do TARGETS+=("$(basename "$f" .cpp)"); done
fi

failed=0
for t in "${TARGETS[@]}"; do
  seeds="$ROOT/fuzz/corpus/$t"
  work="$ROOT/fuzz/corpus-$t"
  findings="$ROOT/$BUILD/findings/$t"
  scratch="$ROOT/$BUILD/scratch/$t"  # the targets write files where they run
  mkdir -p "$seeds" "$work" "$findings" "$scratch"
  log="$ROOT/$BUILD/findings/$t.log"
  echo "== $t: ${SECONDS_EACH}s from $(find "$seeds" -type f | wc -l) seeds"
  # The corpus paths are absolute: some targets change the current directory.
  if (cd "$scratch" && "$ROOT/$BUILD/bin/$t" -max_total_time="$SECONDS_EACH" -timeout=25 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/" "$work" "$seeds") >"$log" 2>&1; then
    runs=$(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || true)
    secs=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" | tail -1 | grep -o 'in [0-9]*' | grep -o '[0-9]*' || true)
    echo "   runs: ${runs:-?} in ${secs:-?} s, corpus: $(find "$work" "$seeds" -type f | wc -l) files, no finding"
  else
    failed=1
    echo "   FINDING: see $log and $findings/"
    continue
  fi
  if [ "$MERGE" = 1 ]; then
    merged="$ROOT/$BUILD/merged-$t"
    rm -rf "$merged" && mkdir -p "$merged"
    (cd "$scratch" && "$ROOT/$BUILD/bin/$t" -merge=1 "$merged" "$seeds" "$work") >>"$log" 2>&1
    rm -rf "$seeds" && mv "$merged" "$seeds"
    echo "   seed corpus now $(find "$seeds" -type f | wc -l) files, $(cat "$seeds"/* | wc -c) bytes"
  fi
done
exit $failed
