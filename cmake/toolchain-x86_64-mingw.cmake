# Cross build for 64-bit Windows with the mingw-w64 compilers; tests run
# under 64-bit Wine. A quick second check of the same sources: the program
# shipped is the 32-bit one.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QUORBEL_MINGW_TARGET x86_64-w64-mingw32)
set(QUORBEL_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
