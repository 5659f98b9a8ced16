#!/usr/bin/env bash
# Takes the window's screenshots under Xvfb: the main window and the selection dialog as PNG files,
# the dialog filled by the object listing from the SQLite demo source when it can be built.
#
#   ui/screenshots/take_screenshots.sh BUILD/app/vellicor OUT_DIR
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
BIN=${1:?usage: take_screenshots.sh VELLICOR_BINARY OUT_DIR}
OUT=${2:?usage: take_screenshots.sh VELLICOR_BINARY OUT_DIR}
mkdir -p "$OUT"
OUT="$(cd "$OUT" && pwd)"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# The demo schema as the source of the listing, when sqlite3 and its ODBC driver are there.
SCHEMA="$ROOT/app/demo/demo_schema.sql"
if [ -f "$SCHEMA" ] && command -v sqlite3 >/dev/null 2>&1 && odbcinst -q -d 2>/dev/null | grep -qx '\[SQLite3\]'; then
  sqlite3 "$WORK/demo.sqlite" < "$SCHEMA"
  export VELLICOR_CONNECT='Driver=SQLite3;Database=%DBQ%'
  export VELLICOR_SCREENSHOT_DBQ="$WORK/demo.sqlite"
  export VELLICOR_SCREENSHOT_UID=demo
else
  echo "take_screenshots: no SQLite demo source; the dialog shows sample names" >&2
fi

# No Oracle client and no pattern file of this machine should show up in the pictures.
unset TNS_ADMIN ORACLE_HOME VELLICOR_NET80 QT_QPA_PLATFORM
export VELLICOR_SCREENSHOT_DIR="$OUT"
export XDG_RUNTIME_DIR="$WORK"
rm -f "$OUT/main.png" "$OUT/dialog.png"
timeout 120 xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$BIN"

for f in main.png dialog.png; do
  [ -s "$OUT/$f" ] || { echo "take_screenshots: $OUT/$f was not written" >&2; exit 1; }
  # A PNG header and more than a blank picture's few hundred bytes.
  [ "$(head -c 8 "$OUT/$f" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || { echo "$f is not a PNG" >&2; exit 1; }
  [ "$(stat -c %s "$OUT/$f")" -gt 5000 ] || { echo "$f looks empty" >&2; exit 1; }
done
echo "screenshots written to $OUT"
