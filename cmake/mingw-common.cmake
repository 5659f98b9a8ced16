# Cross building for Windows with Debian's MinGW-w64 compilers (the POSIX thread model, which gives
# std::thread). Included by mingw-x86_64.cmake and mingw-i686.cmake after they set VELLICOR_MINGW_TRIPLE.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${VELLICOR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELLICOR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELLICOR_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VELLICOR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# One .exe with nothing else to install: the C and C++ runtimes and winpthreads linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Windows 7 and later; the thread-safe localtime_r/gmtime_r of MinGW's time.h.
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -D_POSIX_THREAD_SAFE_FUNCTIONS")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0601 -D_POSIX_THREAD_SAFE_FUNCTIONS")
