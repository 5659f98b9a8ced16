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
ctest --test-dir build --output-on-failure -j "$(nproc)"
