cmake_minimum_required(VERSION 3.20)
# Fails unless PROGRAM imports only DLLs that every Windows installation has.
# Usage: cmake -DOBJDUMP=<objdump> -DPROGRAM=<exe> -P check_imports.cmake
set(SYSTEM_DLLS kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll
                oleaut32.dll mpr.dll msvcrt.dll comctl32.dll version.dll)

execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM}
                OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} could not read ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
if(NOT lines)
  message(FATAL_ERROR "${PROGRAM} imports nothing: not a program this check understands")
endif()
set(foreign "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll)
  message(STATUS "imports ${dll}")
  if(NOT dll IN_LIST SYSTEM_DLLS)
    list(APPEND foreign ${dll})
  endif()
endforeach()
if(foreign)
  message(FATAL_ERROR "${PROGRAM} imports DLLs that are not part of Windows: ${foreign}")
endif()
