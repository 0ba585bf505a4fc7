# Shared by the mingw-w64 toolchain files, which set QUORBEL_MINGW_TARGET
# (the compilers' target triplet) and QUORBEL_WINE_ARCH (win32 or win64)
# first.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: GoogleTest does not build with the win32 one.
set(CMAKE_C_COMPILER ${QUORBEL_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORBEL_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORBEL_MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORBEL_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ runtime and the thread library go into the executable, so that it
# needs no DLL beside the system's own (a missing libwinpthread-1.dll makes
# Wine end the program with code 53 and no message).
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Windows programs built here (tests and test discovery) run under Wine, in
# a prefix inside the build folder: QUORBEL_WINE is the command for wine.sh.
# CTest and the test listing wait for the end of a program's output, which
# a Wine helper that the program starts may hold open: they get it once the
# program ends.
set(QUORBEL_WINE ${CMAKE_CURRENT_LIST_DIR}/wine.sh ${QUORBEL_WINE_ARCH}
    ${CMAKE_BINARY_DIR}/wine-prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORBEL_WINE} capture)
