# Cross build for 32-bit Windows (the program's home platform) with the
# mingw-w64 compilers; tests run under 32-bit Wine, emulated where the
# kernel runs no 32-bit code (see wine.sh).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(QUORBEL_MINGW_TARGET i686-w64-mingw32)
set(QUORBEL_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
