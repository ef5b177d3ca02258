cmake_minimum_required(VERSION 3.20)
# Fails when an object file has constructors to run before WinMain: the shipped program starts at
# its own entry point, without the C runtime's start-up code that would run them.
# Usage: cmake -DOBJDUMP=<objdump> "-DOBJECTS=<object>;..." -P check_constructors.cmake
if(NOT OBJECTS)
  message(FATAL_ERROR "no object files to check")
endif()
foreach(object IN LISTS OBJECTS)
  execute_process(COMMAND ${OBJDUMP} -h ${object} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} could not read ${object}")
  endif()
  if(dump MATCHES "[ \t]\\.(ctors|init_array)")
    message(FATAL_ERROR "${object} has constructors that nothing would run")
  endif()
endforeach()
