#!/usr/bin/env bash
# Installs what the build, the demo and the tests need (Debian packages, npm packages for the tests).
set -euo pipefail
SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  unixodbc unixodbc-dev odbc-postgresql libsqliteodbc sqlite3 postgresql
  mdbtools xz-utils
  qt6-base-dev qt6-base-dev-tools libgl-dev fonts-noto-cjk xvfb xauth qt6-translations-l10n
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest wine64 ccache locales
)
# 32-bit Wine (wine32:i386) is not installed: it needs the kernel to run 32-bit programs, which the
# project's machines do not; there the i686 executable is built and not run (scripts/test.sh).
# Node.js (for the independent mdb-reader checks) only when the machine has none: a machine
# image may bring its own Node.js, which Debian's nodejs/npm packages conflict with.
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  PACKAGES+=(nodejs npm)
fi
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi
