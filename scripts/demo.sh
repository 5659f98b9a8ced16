#!/usr/bin/env bash
# Sets up the machine, builds, and runs the main job: a conversion of the embedded demo source.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh
OUT=${1:-demo-out/demo.mdb}
mkdir -p "$(dirname "$OUT")"
./build/app/vellicor demo "$OUT" --yes
