#!/usr/bin/env bash
# Drives the Windows window under Wine on a virtual display (Xvfb, xdotool): the server picked from
# the list read through NET80 in Wine's registry, user and password typed, a pattern of seltable.dat
# chosen, the selection dialog opened on the SQLite stand-in and one more object moved, the output
# file chosen in the save dialog, the run started; then the file (mdb-export) and its log are checked.
# With OUT_DIR, pictures of both windows are written there (main-windows.png, dialog-windows.png).
#
# The view's own suite (BUILD/tests/test_winui.exe, when built) runs first on the same display.
#
#   tests/wine/window_run.sh build-win64/app/vellicor.exe [OUT_DIR]
# Prints "window: N passed, N failed"; a missing tool is said and counts as skipped (exit 0).
set -uo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
EXE=$(realpath "${1:?usage: window_run.sh VELLICOR_EXE [OUT_DIR]}")
SHOTS=${2:-}
for tool in Xvfb xdotool sqlite3 mdb-export iconv; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "window: skipped ($tool is not installed: scripts/setup.sh installs it)"
    exit 0
  fi
done
if [ -n "$SHOTS" ] && ! command -v import >/dev/null 2>&1; then
  echo "window: skipped (imagemagick's import is not installed: scripts/setup.sh installs it)"
  exit 0
fi
. "$ROOT/scripts/wine-env.sh"
WORK=$(mktemp -d /tmp/vellicor-window.XXXXXX)
XVFB_PID=""
EXE_PID=""
cleanup() {
  [ -n "$EXE_PID" ] && kill "$EXE_PID" 2>/dev/null
  wine_env_stop
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

passed=0
failed=0
check() {  # check WHAT COMMAND...
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "window: FAILED: $what" >&2
  fi
}
finish() {
  echo "window: $passed passed, $failed failed"
  [ "$failed" = 0 ]
  exit
}
# Polls COMMAND every 0.2 s for up to SECONDS; true once it succeeds.
wait_for() {
  local seconds=$1
  shift
  local end=$((SECONDS + seconds))
  while [ $SECONDS -lt $end ]; do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  return 1
}

# A display of our own, 96 dots per inch, and the prefix.
for n in $(seq 90 140); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  wait_for 10 xdotool getdisplaygeometry && break
  kill "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
done
[ -n "$XVFB_PID" ] || { echo "window: skipped (Xvfb did not start)"; exit 0; }
wine_env_start
reg() { wine_run reg add "$@" /f >/dev/null 2>&1; }
# Wine draws the frames and captions itself (there is no window manager). The Japanese UI fonts
# that Windows has are IPA P Gothic here (made to the metrics of the MS fonts), else Noto Sans CJK.
reg 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N
CJK_FONT="Noto Sans CJK JP"
fc-list 2>/dev/null | grep -q IPAPGothic && CJK_FONT=IPAPGothic
for font in "MS UI Gothic" "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma" "MS Gothic" "MS PGothic"; do
  reg 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d "$CJK_FONT"
  reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' /v "$font" /d "$CJK_FONT"
done
# Programs started from now on see the fonts as replaced: the server saves the registry as it ends.
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null

# The window's view on its own (tests/winui), when built beside the executable.
VIEW_TESTS="$(dirname "$EXE")/../tests/test_winui.exe"
if [ -e "$VIEW_TESTS" ]; then
  wine_run "$VIEW_TESTS" --gtest_brief=1 >"$WORK/view-tests.txt" 2>&1
  p=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$WORK/view-tests.txt" | tail -1)
  f=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*, listed below:/\1/p' "$WORK/view-tests.txt" | tail -1)
  [ "${f:-0}" != 0 ] || [ -z "$p" ] && cat "$WORK/view-tests.txt" >&2
  [ -z "$p" ] && [ -z "$f" ] && f=1  # crashed or did not start
  passed=$((passed + ${p:-0}))
  failed=$((failed + ${f:-0}))
fi

# The Oracle client as the window finds it: NET80 in the registry, its ADMIN folder's tnsnames.ora.
mkdir -p "$WORK/net80/ADMIN" "$WORK/app" "$WORK/out"
printf 'DEMODB.WORLD =\r\n  (DESCRIPTION =\r\n    (ADDRESS = (PROTOCOL = TCP)(HOST = dbhost)(PORT = 1521))\r\n    (CONNECT_DATA = (SERVICE_NAME = demo))\r\n  )\r\n' \
  >"$WORK/net80/ADMIN/tnsnames.ora"
reg 'HKLM\SOFTWARE\ORACLE' /v NET80 /d "Z:${WORK//\//\\}\\net80"
# The service name chooses the SQLite stand-in's file.
sqlite3 "$WORK/DEMODB.sqlite" <"$ROOT/app/demo/demo_schema.sql"
export VELLICOR_CONNECT="Driver=SQLite3;Database=$WORK/%DBQ%.sqlite"
unset TNS_ADMIN ORACLE_HOME VELLICOR_NET80
cp "$EXE" "$WORK/app/vellicor.exe"
printf '# seltable.dat\r\n#人事\r\nDepartments\r\nemployees\r\n' | iconv -f UTF-8 -t CP932 >"$WORK/app/seltable.dat"

wine_run "$WORK/app/vellicor.exe" >"$WORK/stdout.txt" 2>&1 &
EXE_PID=$!
find_window() { xdotool search --onlyvisible --name "^$1\$" | head -1; }
MAIN=""
wait_for 120 find_window 'Vellicor変換' && MAIN=$(find_window 'Vellicor変換')
check "the main window opens" test -n "$MAIN"
[ -n "$MAIN" ] || finish

# Twips as pixels at 96 dpi, and a click at the centre of a control of the main window (in its
# panel unless "window" follows): the client area lies inside Wine's frame and caption.
px() { echo $(( ($1 * 96 + 720) / 1440 )); }
read -r GX GY GW GH < <(xdotool getwindowgeometry --shell "$MAIN" | sed -n 's/^[XYWIDTHEG]*=//p' | tr '\n' ' ')
CW=$(px 6630)
CH=$(px 5520)
BORDER=$(( (GW - CW) / 2 ))
CX=$((GX + BORDER))
CY=$((GY + GH - BORDER - CH))
click_main() {  # LEFT TOP WIDTH HEIGHT [window]
  local x=$((CX + $(px $(($1 + $3 / 2))))) y=$((CY + $(px $(($2 + $4 / 2)))))
  if [ "${5:-}" != window ]; then x=$((x + $(px 120) + 2)); y=$((y + $(px 120) + 2)); fi
  xdotool mousemove "$x" "$y" click 1
  sleep 0.3
}
key() { xdotool key --delay 80 "$@"; sleep 0.2; }
type_text() { xdotool type --delay 60 "$1"; sleep 0.2; }

# The server from the list (the first entry the combo box offers); user and password reached with
# the tab key (the tab order goes server, user, password).
click_main 1800 240 2175 300
key Down
key Tab
type_text demo
key Tab
type_text secret
# The pattern "人事": its list goes into the selection text.
click_main 1800 2160 2535 300
key Down Return
[ -n "$SHOTS" ] && mkdir -p "$SHOTS"

# The selection dialog: the pattern's objects start on the right; ALL_TYPES is added with ">".
click_main 1800 2640 1695 315
DIALOG=""
wait_for 120 find_window 'オブジェクト選択' && DIALOG=$(find_window 'オブジェクト選択')
check "the selection dialog opens after the listing" test -n "$DIALOG"
[ -n "$DIALOG" ] || finish
read -r DX DY DW DH < <(xdotool getwindowgeometry --shell "$DIALOG" | sed -n 's/^[XYWIDTHEG]*=//p' | tr '\n' ' ')
DB=$(( (DW - $(px 11055)) / 2 ))
DCX=$((DX + DB))
DCY=$((DY + DH - DB - $(px 4965)))
click_dialog() {  # LEFT TOP WIDTH HEIGHT, or LEFT TOP for a point
  xdotool mousemove $((DCX + $(px $(($1 + ${3:-0} / 2))))) $((DCY + $(px $(($2 + ${4:-0} / 2))))) click 1
  sleep 0.3
}
# The first row of lstExport (sorted: ALL_TYPES) selected. Neither Enter nor Escape ends the dialog.
click_dialog 300 560
[ -n "$SHOTS" ] && check "picture of the selection dialog" import -window "$DIALOG" "$SHOTS/dialog-windows.png"
key Return Escape
sleep 1
check "Enter and Escape leave the dialog open" test -n "$(find_window 'オブジェクト選択')"
click_dialog 5280 1800 495 255   # ">"
click_dialog 9840 4440 1095 375  # "決 定"
gone() { ! xdotool search --onlyvisible --name '^オブジェクト選択$' >/dev/null; }
check "the dialog closes with 決 定" wait_for 30 gone
sleep 1

# The output file through the save dialog: its name field takes a whole path.
click_main 720 4140 855 255
SAVE=""
wait_for 60 find_window 'MDB出力先指定' && SAVE=$(find_window 'MDB出力先指定')
check "the save dialog opens" test -n "$SAVE"
[ -n "$SAVE" ] || finish
OUT="$WORK/out/jinji.mdb"
xdotool mousemove --window "$SAVE" 40 40  # keys go where the pointer is: over the dialog, not clicking
sleep 0.5
type_text "Z:${OUT//\//\\}"
key Return
saved() { ! xdotool search --onlyvisible --name '^MDB出力先指定$' >/dev/null; }
check "the save dialog closes with the path" wait_for 30 saved
sleep 1

# The run, to its end box "完了通知".
click_main 4680 4500 1575 375
DONE=""
wait_for 180 find_window '完了通知' && DONE=$(find_window '完了通知')
check "the run ends with its completion box" test -n "$DONE"
if [ -n "$DONE" ]; then
  xdotool mousemove --window "$DONE" 20 20
  key Return
fi

sleep 1
# The window after the run: the output path, the last status lines.
[ -n "$SHOTS" ] && check "picture of the main window" import -window "$MAIN" "$SHOTS/main-windows.png"
check "the output file is written" test -s "$OUT"
tables=$(mdb-tables -1 "$OUT" 2>/dev/null | sort | tr '\n' ' ')
check "the file holds the chosen tables, no others (got: $tables)" test "$tables" = "ALL_TYPES DEPARTMENTS EMPLOYEES "
# Rows end with a marker of their own: values may hold line ends.
rows() { MDB_JET3_CHARSET=CP932 mdb-export -H -R '<ROW>' "$OUT" "$1" 2>/dev/null | grep -ao '<ROW>' | wc -l; }
for t in DEPARTMENTS EMPLOYEES ALL_TYPES; do
  want=$(sqlite3 "$WORK/DEMODB.sqlite" "select count(*) from $t")
  check "$t holds its $want rows" test "$(rows "$t")" = "$want"
done
names=$(MDB_JET3_CHARSET=CP932 mdb-export -H "$OUT" DEPARTMENTS 2>/dev/null | cut -d, -f2 | tr -d '"' | LC_ALL=C sort | tr '\n' ' ')
check "Japanese texts read back (got: $names)" test "$names" = "品質保証部 営業部 総務部 開発部 "
log=$(iconv -f CP932 -t UTF-8 "$OUT.log" 2>/dev/null | tr -d '\r')
check "the log names each table with its row count" \
  bash -c '[ "$(grep -c "^テーブル .* レコード件数 = [0-9]* 件$" <<<"$1")" = 3 ]' _ "$log"

# Closing the window ends the program.
xdotool mousemove --window "$MAIN" 100 100
key alt+F4
ended() { ! kill -0 "$EXE_PID" 2>/dev/null; }
check "closing the window ends the program" wait_for 60 ended
EXE_PID=""
finish
