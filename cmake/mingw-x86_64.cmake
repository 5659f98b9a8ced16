# Toolchain: 64-bit Windows (x86-64) with MinGW-w64. Used by scripts/build-windows.sh.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELLICOR_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
