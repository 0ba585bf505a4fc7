# The tests of a Windows build: a check of the executable's image, and the
# unit tests and whole runs under Wine (see cmake/wine.sh).

# Which image the toolchain must have made, as objdump names its format.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(QUORBEL_IMAGE_FORMAT pei-i386)
else()
  set(QUORBEL_IMAGE_FORMAT pei-x86-64)
endif()
add_test(NAME windows_image
         COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP}
                 -DIMAGE=$<TARGET_FILE:quorbel>
                 -DFORMAT=${QUORBEL_IMAGE_FORMAT}
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/check_windows_image.cmake)

# Off only where Wine cannot run the build's programs (a 64-bit kernel
# without 32-bit support cannot run 32-bit Wine): the build and the image
# check still run.
option(QUORBEL_WINE_TESTS "Run the Windows build's tests under Wine" ON)
if(NOT QUORBEL_WINE_TESTS)
  message(WARNING "QUORBEL_WINE_TESTS is OFF: no test runs under Wine")
  return()
endif()

execute_process(COMMAND ${QUORBEL_WINE} setup COMMAND_ERROR_IS_FATAL ANY)

# One server for the whole test run.
add_test(NAME wine_start COMMAND ${QUORBEL_WINE} start)
add_test(NAME wine_stop COMMAND ${QUORBEL_WINE} stop)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)

# Wine's start-up makes the listing slower than the default allows.
gtest_discover_tests(quorbel_tests
                     DISCOVERY_TIMEOUT 120
                     PROPERTIES FIXTURES_REQUIRED wine)

add_test(NAME windows_missing_input
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows_missing_input_test.sh
                 ${CMAKE_CURRENT_BINARY_DIR}/windows_missing_input
                 ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:quorbel>)
set_tests_properties(windows_missing_input PROPERTIES FIXTURES_REQUIRED wine)
