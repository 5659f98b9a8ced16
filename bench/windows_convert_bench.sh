#!/usr/bin/env bash
# The Windows build against the Linux build on the 1,000,000-row table of bench/convert_bench: the
# same `vellicor run` (PostgreSQL stand-in, schema vellicor_r_bench, table BIG10) by build/app/vellicor
# and by build-win64/app/vellicor.exe under Wine, alternating, best of three each; prints both times
# and their ratio. Needs the stand-in's variables (eval "$(tests/standin/pg_standin.sh start)").
#   bench/windows_convert_bench.sh [LINUX_EXE] [WINDOWS_EXE]
set -euo pipefail
cd "$(dirname "$0")/.."
LINUX_EXE=${1:-build/app/vellicor}
WINDOWS_EXE=${2:-build-win64/app/vellicor.exe}
ROUNDS=${VELLICOR_BENCH_ROUNDS:-3}
: "${VELLICOR_PG_CONNECT:?eval \"\$(tests/standin/pg_standin.sh start)\" first}"
SCHEMA=vellicor_r_bench
ROWS=1000000
. scripts/wine-env.sh
OWN_PREFIX=0
if [ -z "${WINEPREFIX:-}" ]; then
  wine_env_start
  OWN_PREFIX=1
fi
wineserver -p 2>/dev/null || true  # kept up, as wine_env_start does
WORK=$(mktemp -d /tmp/vellicor-wbench.XXXXXX)
trap '[ "$OWN_PREFIX" = 1 ] && wine_env_stop; rm -rf "$WORK"' EXIT

# The table of bench/convert_bench, made here when that bench has not made it yet.
PGOPTIONS="-c client_min_messages=warning" PGPASSWORD=$VELLICOR_PG_PASSWORD psql -X -q -v ON_ERROR_STOP=1 -h "$VELLICOR_PG_SERVER" -p "$VELLICOR_PG_PORT" \
  -U "$VELLICOR_PG_USER" -d vellicor -c "create schema if not exists $SCHEMA;
  create table if not exists $SCHEMA.big10 as select n as c1, n % 1000 as c2, (n * 7)::integer as c3,
  n * 1.5::float8 as c4, n / 3.0::float8 as c5, ('row ' || n)::varchar(20) as c6,
  md5(n::text)::varchar(32) as c7, ('名前' || (n % 977))::varchar(20) as c8,
  timestamp '2000-01-01' + n * interval '1 minute' as c9, (n % 30000)::smallint as c10
  from generate_series(1, $ROWS) as n" >/dev/null

TEMPLATE="${VELLICOR_PG_CONNECT}ConnSettings=set search_path to $SCHEMA,public;"
export VELLICOR_PASSWORD=$VELLICOR_PG_PASSWORD
# Seconds of one run (wall clock), the output removed before it; fails when the run does not complete.
one_run() {
  local out=$WORK/big10.mdb
  rm -f "$out" "$out.log"
  local t0 t1
  t0=$(date +%s.%N)
  "$@" run -s "$VELLICOR_PG_SERVER" -u "$VELLICOR_PG_USER" -o "$out" --connect "$TEMPLATE" --select BIG10 \
    --yes --quiet >/dev/null 2>"$WORK/err" || { cat "$WORK/err" >&2; return 1; }
  t1=$(date +%s.%N)
  echo "$t0 $t1" | awk '{printf "%.2f", $2 - $1}'
}
best_linux=""
best_windows=""
rounds=""
for ((r = 1; r <= ROUNDS; r++)); do
  l=$(one_run "$LINUX_EXE")
  w=$(one_run wine_run "$WINDOWS_EXE")
  rounds+="${rounds:+, }$w/$l"
  best_linux=$(echo "$l ${best_linux:-$l}" | awk '{print ($1 < $2) ? $1 : $2}')
  best_windows=$(echo "$w ${best_windows:-$w}" | awk '{print ($1 < $2) ? $1 : $2}')
done
echo "rows: $ROWS (best of $ROUNDS alternating rounds each)"
echo "rounds (Windows under Wine/Linux, s): $rounds"
echo "$best_windows $best_linux" |
  awk '{printf "Windows build under Wine: %.2f s  Linux build: %.2f s  ratio: %.2fx (target <= 1.5x)\n", $1, $2, $1 / $2}'
