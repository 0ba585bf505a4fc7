# Cross build for 64-bit Windows with the mingw-w64 compilers; tests run
# under 64-bit Wine. It runs the Windows code where 32-bit Wine cannot run
# (a kernel without 32-bit support).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QUORBEL_MINGW_TARGET x86_64-w64-mingw32)
set(QUORBEL_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
