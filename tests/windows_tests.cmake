# The tests of a Windows build: a check of the executable's image, then the
# unit tests and the end-to-end suite under Wine (see cmake/wine.sh). The
# end-to-end suite runs the program as a child process, which only its
# POSIX build can do: it is built for this machine beside the Windows build
# and given the Windows program to run.

# The programs a Windows user gets, each with its image checked; the
# end-to-end suite runs them all.
set(QUORBEL_WINDOWS_PROGRAMS quorbel quorbel-preview)

# Which image the toolchain must have made, as objdump names its format.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(QUORBEL_IMAGE_FORMAT pei-i386)
else()
  set(QUORBEL_IMAGE_FORMAT pei-x86-64)
endif()
foreach(program IN LISTS QUORBEL_WINDOWS_PROGRAMS)
  add_test(NAME ${program}_windows_image
           COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP}
                   -DIMAGE=$<TARGET_FILE:${program}>
                   -DFORMAT=${QUORBEL_IMAGE_FORMAT}
                   -P ${CMAKE_CURRENT_SOURCE_DIR}/check_windows_image.cmake)
endforeach()

# A Wine that cannot run the build's programs fails here, at configure
# time. A change to the emulation's mmap fix configures again, which
# rebuilds it.
execute_process(COMMAND ${QUORBEL_WINE} setup COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/cmake/wine_mmap_noreplace.c)

# One server for the whole test run.
add_test(NAME wine_start COMMAND ${QUORBEL_WINE} start)
add_test(NAME wine_stop COMMAND ${QUORBEL_WINE} stop)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)

foreach(target IN LISTS QUORBEL_UNIT_TESTS)
  # Wine's start-up makes the listing slower than the default allows.
  gtest_discover_tests(${target}
                       DISCOVERY_TIMEOUT 120
                       PROPERTIES FIXTURES_REQUIRED wine)
endforeach()

add_test(NAME windows_missing_input
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows_missing_input_test.sh
                 ${CMAKE_CURRENT_BINARY_DIR}/windows_missing_input
                 ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:quorbel>)
set_tests_properties(windows_missing_input PROPERTIES FIXTURES_REQUIRED wine)

# CTest gets a program's output when the program ends, whatever it leaves
# running. Skipped where Wine starts no child of a program (emulated 32-bit
# Wine), which the program tells.
add_executable(lingering_child lingering_child.cc)
add_test(NAME wine_capture
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/wine_capture_test.sh
                 ${CMAKE_CROSSCOMPILING_EMULATOR}
                 $<TARGET_FILE:lingering_child>)
set_tests_properties(wine_capture PROPERTIES FIXTURES_REQUIRED wine
                     SKIP_RETURN_CODE 77)

include(ExternalProject)
ExternalProject_Add(native_end_to_end
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/native
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
  BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR>
                --target quorbel_end_to_end_tests
  BUILD_ALWAYS ON
  INSTALL_COMMAND "")

# The whole suite against the Windows programs, answered with CR LF as the
# console types, in two shards that run side by side. The suite's tests of
# its own child-process runner ran in the native build already. The
# programs get the runner's own pipes, as some cases close one early; the
# runner stops waiting for them when the program ends.
list(JOIN QUORBEL_WINE " " wrapper)
string(APPEND wrapper " run")
set(shards 2)
math(EXPR lastShard "${shards} - 1")
foreach(shard RANGE ${lastShard})
  set(test windows_end_to_end_${shard})
  add_test(NAME ${test}
           COMMAND ${CMAKE_BINARY_DIR}/native/tests/quorbel_end_to_end_tests
                   --gtest_filter=-RunCommandTest.*)
  set_tests_properties(${test} PROPERTIES
    FIXTURES_REQUIRED wine
    ENVIRONMENT "QUORBEL_EXE=$<TARGET_FILE:quorbel>;QUORBEL_PREVIEW_EXE=$<TARGET_FILE:quorbel-preview>;QUORBEL_WRAPPER=${wrapper};QUORBEL_ANSWER_END=CRLF;GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${shard}")
endforeach()
