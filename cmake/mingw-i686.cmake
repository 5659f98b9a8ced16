# Toolchain: 32-bit Windows (i686) with MinGW-w64, for 32-bit ODBC drivers (a process loads only
# drivers of its own width). Used by scripts/build-windows.sh.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VELLICOR_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
