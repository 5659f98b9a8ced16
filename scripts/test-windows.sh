#!/usr/bin/env bash
# Runs the Windows test suites (build-win64/tests/test_*.exe, and build-win32's when 32-bit Wine is
# installed) under Wine, one process per suite, then the window driven under Xvfb
# (tests/wine/window_run.sh), and prints "N passed, N failed" for them.
# Needs the Wine environment of scripts/wine-env.sh (WINEPREFIX, VELLICOR_WINE, VELLICOR_WINE_LOCPATH).
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
passed=0
failed=0
for dir in "$@"; do
  for exe in "$dir"/tests/test_*.exe; do
    [ -e "$exe" ] || continue
    [ "$(basename "$exe")" = test_winui.exe ] && continue  # needs a display: run by window_run.sh
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
# The window, driven on a virtual display (its own Wine prefix and Xvfb), with the 64-bit build.
for dir in "$@"; do
  exe="$dir/app/vellicor.exe"
  [ "$(basename "$dir")" = build-win32 ] || [ ! -e "$exe" ] && continue
  log=$(mktemp)
  tests/wine/window_run.sh "$exe" >"$log" 2>&1
  rc=$?
  line=$(grep -E '^window: [0-9]+ passed, [0-9]+ failed' "$log" | tail -1)
  if [ -n "$line" ]; then
    p=$(echo "$line" | sed -E 's/window: ([0-9]+) passed.*/\1/')
    f=$(echo "$line" | sed -E 's/.* ([0-9]+) failed.*/\1/')
  else
    p=0
    f=$([ "$rc" = 0 ] && echo 0 || echo 1)  # skipped (said why), or did not get as far as counting
  fi
  [ "$f" != 0 ] && cat "$log"
  grep -E '^window: skipped' "$log"
  echo "$(basename "$dir")/window: $p passed, $f failed"
  passed=$((passed + p))
  failed=$((failed + f))
  rm -f "$log"
done
echo "windows: $passed passed, $failed failed"
[ "$failed" = 0 ]
