#!/usr/bin/env bash
# Runs the Windows test suites (build-win64/tests/test_*.exe, and build-win32's when 32-bit Wine is
# installed) under Wine, one process per suite, and prints "N passed, N failed" for them.
# Needs the Wine environment of scripts/wine-env.sh (WINEPREFIX, VELLICOR_WINE, VELLICOR_WINE_LOCPATH).
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
passed=0
failed=0
for dir in "$@"; do
  for exe in "$dir"/tests/test_*.exe; do
    [ -e "$exe" ] || continue
    name="$(basename "$dir")/$(basename "$exe")"
    log=$(mktemp)
    loader=$VELLICOR_WINE
    [ "$(basename "$dir")" = build-win32 ] && loader=/usr/lib/wine/wine  # 32-bit Wine
    LOCPATH="$VELLICOR_WINE_LOCPATH" LC_ALL=ja_JP.UTF-8 "$loader" "$exe" --gtest_brief=1 >"$log" 2>&1
    rc=$?
    p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
    f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*, listed below:/\1/p' "$log" | tail -1)
    p=${p:-0}
    f=${f:-0}
    if [ "$rc" != 0 ] && [ "$f" = 0 ]; then
      f=1  # crashed or did not start: counted as one failure
    fi
    if [ "$f" != 0 ]; then cat "$log"; fi
    echo "$name: $p passed, $f failed"
    passed=$((passed + p))
    failed=$((failed + f))
    rm -f "$log"
  done
done
echo "windows: $passed passed, $failed failed"
[ "$failed" = 0 ]
