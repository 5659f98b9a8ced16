#!/usr/bin/env bash
# Cross-builds vellicor.exe for Windows with MinGW-w64: x86-64 into build-win64, i686 into
# build-win32 (a process loads only ODBC drivers of its own width). One static .exe each.
#
#   scripts/build-windows.sh [x86_64|i686|all] [TARGET ...]   (default: all, target vellicor)
set -euo pipefail
cd "$(dirname "$0")/.."
ARCHES=${1:-all}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(vellicor)
case "$ARCHES" in
  all) ARCHES="x86_64 i686" ;;
  x86_64|i686) ;;
  *) echo "usage: $0 [x86_64|i686|all] [TARGET ...]" >&2; exit 2 ;;
esac
LAUNCHER=()
if command -v ccache >/dev/null; then
  LAUNCHER=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
for arch in $ARCHES; do
  case "$arch" in
    x86_64) dir=build-win64 ;;
    i686) dir=build-win32 ;;
  esac
  # No Qt on Windows: the command line only.
  cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -DVELLICOR_UI=OFF \
    -DCMAKE_BUILD_TYPE=Release "${LAUNCHER[@]}" >/dev/null
  cmake --build "$dir" -j "$(nproc)" --target "${TARGETS[@]}"
  echo "$dir/app/vellicor.exe"
done
