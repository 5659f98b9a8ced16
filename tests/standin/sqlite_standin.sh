#!/usr/bin/env bash
# Builds the embedded stand-in for Oracle by hand: a SQLite file from app/demo/demo_schema.sql,
# read through the SQLite ODBC driver. Prints the export line of its connect template.
#
#   eval "$(tests/standin/sqlite_standin.sh /tmp/demo.sqlite)"
#   build/app/vellicor run -s /tmp/demo.sqlite -u demo -o out.mdb --connect "$VELLICOR_CONNECT"
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
FILE=${1:?usage: $0 FILE.sqlite}
command -v sqlite3 >/dev/null || { echo "sqlite3 not found (install the package sqlite3)" >&2; exit 1; }
rm -f "$FILE"
sqlite3 -bail "$FILE" <"$HERE/../../app/demo/demo_schema.sql"
# NoCreat: a mistyped file name fails at connect instead of opening a new, empty database.
echo "export VELLICOR_CONNECT='Driver=SQLite3;Database=%DBQ%;NoCreat=1;'"
