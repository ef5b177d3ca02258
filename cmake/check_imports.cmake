cmake_minimum_required(VERSION 3.20)
# Fails unless PROGRAM imports only DLLs that Windows always takes from its system directory,
# whatever the search order: those of its KnownDLLs list that Windows 7 to 11 all have. Any other
# one would be looked for beside the program first, and the program runs elevated. Fails too
# unless the program restricts the search of what it loads later.
# Usage: cmake -DOBJDUMP=<objdump> -DPROGRAM=<exe> -P check_imports.cmake
set(KNOWN_DLLS advapi32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll
               shlwapi.dll user32.dll)

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
  if(NOT dll IN_LIST KNOWN_DLLS)
    list(APPEND foreign ${dll})
  endif()
endforeach()
if(foreign)
  message(FATAL_ERROR "${PROGRAM} imports DLLs that Windows may load from elsewhere than its system directory: ${foreign}")
endif()

# The linker drops what nothing calls: the function's name is in the program only when start-up
# looks it up.
file(STRINGS ${PROGRAM} restriction REGEX "SetDefaultDllDirectories")
if(NOT restriction)
  message(FATAL_ERROR "${PROGRAM} does not restrict where DLLs it loads later are looked for")
endif()
