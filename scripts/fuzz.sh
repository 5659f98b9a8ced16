#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/, clang, own build directory) and runs each for a while:
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]   (default 25 s, every target)
# Seeds: fuzz/corpus/<target>/ plus, for the .mdb reader, the reference Access 97 files up to 200 KB.
# New inputs go to a scratch corpus; findings (crash-*, timeout-*, oom-*) to $FUZZ_ARTIFACTS.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_PER_TARGET=${1:-25}
shift || true
TARGETS=("$@")
if [ ${#TARGETS[@]} -eq 0 ]; then
  TARGETS=(mdb_reader pattern_file tnsnames selection_text connect_string journal)
fi
FUZZ_BUILD=${FUZZ_BUILD:-build-fuzz}
FUZZ_ARTIFACTS=${FUZZ_ARTIFACTS:-$FUZZ_BUILD/findings}
if [ ! -f "$FUZZ_BUILD/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$FUZZ_BUILD" -G Ninja -DVELLICOR_FUZZ=ON -DVELLICOR_UI=OFF >/dev/null
fi
cmake --build "$FUZZ_BUILD" -j "${FUZZ_JOBS:-$(nproc)}" --target $(printf 'fuzz_%s ' "${TARGETS[@]}")
mkdir -p "$FUZZ_ARTIFACTS"
status=0
for t in "${TARGETS[@]}"; do
  work="$FUZZ_BUILD/corpus-$t"
  mkdir -p "$work"
  seeds=("fuzz/corpus/$t")
  max_len=4096
  if [ "$t" = mdb_reader ]; then
    max_len=200000
    ref="$(dirname "$PWD")/shared/reference-mdb"
    if [ -d "$ref" ]; then
      mkdir -p "$FUZZ_BUILD/seeds-mdb"
      find "$ref" -name '*.mdb' -size -200k -exec cp -f {} "$FUZZ_BUILD/seeds-mdb/" \;
      chmod u+w "$FUZZ_BUILD"/seeds-mdb/* 2>/dev/null || true
      seeds+=("$FUZZ_BUILD/seeds-mdb")
    fi
  fi
  echo "== fuzz_$t for ${SECONDS_PER_TARGET}s"
  if ! "$FUZZ_BUILD/fuzz/fuzz_$t" "$work" "${seeds[@]}" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 \
       -rss_limit_mb=2048 -max_len="$max_len" -artifact_prefix="$FUZZ_ARTIFACTS/$t-" -print_final_stats=1 \
       >"$FUZZ_BUILD/fuzz-$t.log" 2>&1; then
    echo "fuzz_$t found a fault; see $FUZZ_BUILD/fuzz-$t.log and $FUZZ_ARTIFACTS" >&2
    tail -40 "$FUZZ_BUILD/fuzz-$t.log" >&2
    status=1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$FUZZ_BUILD/fuzz-$t.log" || true
done
exit $status
