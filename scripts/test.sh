#!/usr/bin/env bash
# Sets up the machine, builds, and runs every test (the README's test command).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
# The Windows builds (MinGW-w64): vellicor.exe for x86-64 with its test suites, and for i686 (its
# suites too when 32-bit Wine is installed). The Linux build's tests/wine runs the x86-64 executable.
WINDOWS_TESTS=(test_text test_jet3 test_engine test_lists test_odbc test_form)
./scripts/build-windows.sh x86_64 vellicor "${WINDOWS_TESTS[@]}" test_winui
WINDOWS_DIRS=(build-win64)
if /usr/lib/wine/wine --version >/dev/null 2>&1; then  # 32-bit Wine that runs here
  ./scripts/build-windows.sh i686 vellicor "${WINDOWS_TESTS[@]}"
  WINDOWS_DIRS+=(build-win32)
else
  ./scripts/build-windows.sh i686 vellicor
fi
./scripts/build.sh -DVELLICOR_WINDOWS_EXE="$PWD/build-win64/app/vellicor.exe"
( cd tests/node && [ -d node_modules/mdb-reader ] || npm install --no-audit --no-fund )
# The PostgreSQL stand-in for Oracle runs while the tests do (it exports VELLICOR_PG_*); Windows
# programs run in a Wine prefix of their own in a temporary folder (scripts/wine-env.sh).
VELLICOR_PG_DIR=$(mktemp -d /tmp/vellicor-pg.XXXXXX) && export VELLICOR_PG_DIR
. scripts/wine-env.sh
RESULTS=$(mktemp -d /tmp/vellicor-results.XXXXXX)
trap 'tests/standin/pg_standin.sh stop; wine_env_stop; rm -rf "$RESULTS"' EXIT
PG_ENV=$(tests/standin/pg_standin.sh start)
eval "$PG_ENV"
wine_env_start
status=0
ctest --test-dir build --output-on-failure -j "$(nproc)" 2>&1 | tee "$RESULTS/linux.txt" || status=1
# The non-UI suite again under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan). The Qt
# window is left out there: under ASan it is slow and reports the leaks of Qt's own singletons.
cmake -S . -B build-asan -G Ninja -DVELLICOR_SANITIZE=ON -DVELLICOR_UI=OFF >/dev/null
# Only the command and the test binaries are built there (not the benchmarks, not the Wine runs).
ASAN_TARGETS=(vellicor)
for d in tests/*/; do
  n=$(basename "$d")
  [ "$n" = ui ] || [ "$n" = support ] || [ "$n" = wine ] || [ "$n" = winui ] && continue
  compgen -G "$d*.cpp" >/dev/null && ASAN_TARGETS+=("test_$n")
done
cmake --build build-asan -j "$(nproc)" --target "${ASAN_TARGETS[@]}"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
LSAN_OPTIONS=suppressions=$PWD/tests/hardening/lsan.supp \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)" 2>&1 | tee "$RESULTS/asan.txt" || status=1
# The Windows suites under Wine, one process each.
./scripts/test-windows.sh "${WINDOWS_DIRS[@]}" 2>&1 | tee "$RESULTS/windows.txt" || status=1
# A short run of every libFuzzer target (clang, build-fuzz); longer runs: scripts/fuzz.sh SECONDS.
./scripts/fuzz.sh "${VELLICOR_FUZZ_SECONDS:-25}" || status=1
# One count over the Linux, sanitizer and Windows suites.
passed=0
failed=0
for f in linux asan; do
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$RESULTS/$f.txt" | tail -1)
  if [ -n "$line" ]; then
    fails=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
    total=$(echo "$line" | sed -E 's/.* failed out of ([0-9]+).*/\1/')
    passed=$((passed + total - fails))
    failed=$((failed + fails))
  else
    failed=$((failed + 1))
  fi
done
line=$(grep -E '^windows: [0-9]+ passed, [0-9]+ failed' "$RESULTS/windows.txt" | tail -1)
if [ -n "$line" ]; then
  passed=$((passed + $(echo "$line" | sed -E 's/windows: ([0-9]+) passed.*/\1/')))
  failed=$((failed + $(echo "$line" | sed -E 's/.* ([0-9]+) failed.*/\1/')))
else
  failed=$((failed + 1))
fi
[ "$status" = 0 ] || [ "$failed" != 0 ] || failed=1
echo "tests: $passed passed, $failed failed"
exit $status
