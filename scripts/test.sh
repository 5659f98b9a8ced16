#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test (the README's test command).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh
( cd tests/node && [ -d node_modules/mdb-reader ] || npm install --no-audit --no-fund )
# The PostgreSQL stand-in for Oracle runs while the tests do (it exports VELLICOR_PG_*).
VELLICOR_PG_DIR=$(mktemp -d /tmp/vellicor-pg.XXXXXX) && export VELLICOR_PG_DIR
trap 'tests/standin/pg_standin.sh stop' EXIT
PG_ENV=$(tests/standin/pg_standin.sh start)
eval "$PG_ENV"
status=0
ctest --test-dir build --output-on-failure -j "$(nproc)" || status=1
# The non-UI suite again under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan). The Qt
# window is left out there: under ASan it is slow and reports the leaks of Qt's own singletons.
cmake -S . -B build-asan -G Ninja -DVELLICOR_SANITIZE=ON -DVELLICOR_UI=OFF >/dev/null
# Only the command and the test binaries are built there (not the benchmarks).
ASAN_TARGETS=(vellicor)
for d in tests/*/; do
  n=$(basename "$d")
  [ "$n" = ui ] || [ "$n" = support ] && continue
  compgen -G "$d*.cpp" >/dev/null && ASAN_TARGETS+=("test_$n")
done
cmake --build build-asan -j "$(nproc)" --target "${ASAN_TARGETS[@]}"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
LSAN_OPTIONS=suppressions=$PWD/tests/hardening/lsan.supp \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)" || status=1
# A short run of every libFuzzer target (clang, build-fuzz); longer runs: scripts/fuzz.sh SECONDS.
./scripts/fuzz.sh "${VELLICOR_FUZZ_SECONDS:-25}" || status=1
exit $status
