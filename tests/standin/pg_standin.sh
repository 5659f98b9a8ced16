#!/usr/bin/env bash
# Starts and stops the PostgreSQL stand-in for Oracle: a private cluster on loopback with password
# authentication and the schema of pg_schema.sql. "start" prints the export lines the tests read.
#
#   eval "$(tests/standin/pg_standin.sh start)"   ...   tests/standin/pg_standin.sh stop
#
# The cluster lives in $VELLICOR_PG_DIR (default /tmp/vellicor-pg). As root, the server runs as the
# user postgres, which must exist (the Debian package creates it).
set -euo pipefail
HERE="$(cd "$(dirname "$0")" && pwd)"
DIR=${VELLICOR_PG_DIR:-/tmp/vellicor-pg}
DATA="$DIR/data"
PG_USER=scott
# A password with a semicolon and a closing brace: the connect string must quote it to log in.
PG_PASSWORD='ti;g}er'
PG_DATABASE=vellicor

bindir() {
  if command -v pg_config >/dev/null 2>&1 && [ -x "$(pg_config --bindir)/initdb" ]; then
    pg_config --bindir
    return
  fi
  local d
  d=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
  [ -n "$d" ] || { echo "PostgreSQL server binaries not found (install the package postgresql)" >&2; exit 1; }
  echo "$d"
}
BIN=$(bindir)

# Runs a command as the cluster's owner.
as_owner() {
  if [ "$(id -u)" = 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

port_free() {
  ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

print_env() {
  local port
  port=$(cat "$DIR/port")
  echo "export VELLICOR_PG_CONNECT='Driver={PostgreSQL Unicode};Servername=%DBQ%;Port=$port;Database=$PG_DATABASE;UID=%UID%;PWD=%PWD%;UseDeclareFetch=1;Fetch=1000;BoolsAsChar=0;CommLog=0;Debug=0;'"
  echo "export VELLICOR_PG_SERVER=127.0.0.1"
  echo "export VELLICOR_PG_USER=$PG_USER"
  printf "export VELLICOR_PG_PASSWORD=%q\n" "$PG_PASSWORD"
  echo "export VELLICOR_PG_PORT=$port"
}

start() {
  if [ -f "$DIR/port" ] && as_owner "$BIN/pg_ctl" -D "$DATA" status >/dev/null 2>&1; then
    print_env
    return
  fi
  rm -rf "$DIR"
  mkdir -p "$DIR"
  if [ "$(id -u)" = 0 ]; then chown postgres: "$DIR"; fi
  local port=54329
  while ! port_free "$port"; do port=$((port + 1)); done
  as_owner sh -c "echo '$port' > '$DIR/port'"
  local pwfile="$DIR/admin.pw"
  as_owner sh -c "echo admin-secret > '$pwfile' && chmod 600 '$pwfile'"
  as_owner "$BIN/initdb" -D "$DATA" -U vellicor_admin --pwfile="$pwfile" -E UTF8 --locale=C.UTF-8 \
    --auth-local=trust --auth-host=scram-sha-256 >"$DIR/initdb.log" 2>&1 \
    || { cat "$DIR/initdb.log" >&2; exit 1; }
  as_owner "$BIN/pg_ctl" -D "$DATA" -l "$DIR/server.log" -w \
    -o "-p $port -k $DIR -c listen_addresses=127.0.0.1" start >/dev/null \
    || { cat "$DIR/server.log" >&2; exit 1; }
  local psql=("$BIN/psql" -X -q -v ON_ERROR_STOP=1 -h "$DIR" -p "$port")
  as_owner "${psql[@]}" -U vellicor_admin -d postgres >/dev/null <<SQL
CREATE ROLE $PG_USER LOGIN PASSWORD '$(printf "%s" "$PG_PASSWORD" | sed "s/'/''/g")';
CREATE DATABASE $PG_DATABASE OWNER $PG_USER ENCODING 'UTF8';
SQL
  as_owner "${psql[@]}" -U "$PG_USER" -d "$PG_DATABASE" -f - >/dev/null <"$HERE/pg_schema.sql"
  print_env
}

stop() {
  if [ -d "$DATA" ]; then
    as_owner "$BIN/pg_ctl" -D "$DATA" -m fast -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$DIR"
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  env) print_env ;;
  *) echo "usage: $0 start|stop|env" >&2; exit 2 ;;
esac
