# Checks a Windows executable: the expected image format, a console program,
# and no DLL beside the system's own.
#   cmake -DOBJDUMP=... -DIMAGE=... -DFORMAT=pei-i386 -P check_windows_image.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${OBJDUMP} -p ${IMAGE}
                OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)

if(NOT headers MATCHES "file format ${FORMAT}\n")
  message(FATAL_ERROR "${IMAGE} is not of the format ${FORMAT}")
endif()
if(NOT headers MATCHES "\nSubsystem[\t ]+00000003")
  message(FATAL_ERROR "${IMAGE} is not a console program")
endif()

set(systemDlls KERNEL32.dll msvcrt.dll USER32.dll ADVAPI32.dll ntdll.dll)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
if(NOT imports)
  message(FATAL_ERROR "${IMAGE} imports no DLL at all")
endif()
foreach(import IN LISTS imports)
  string(REPLACE "DLL Name: " "" dll "${import}")
  if(NOT dll IN_LIST systemDlls)
    message(FATAL_ERROR "${IMAGE} needs ${dll}, which Windows does not have")
  endif()
endforeach()
