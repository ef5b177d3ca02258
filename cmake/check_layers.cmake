cmake_minimum_required(VERSION 3.20)
# Fails when a module includes a header of a layer above its own, so that every layer can be
# read, reused and tested with only the layers below it.
# Usage: cmake -DSOURCE_DIR=<src> -P check_layers.cmake
#
# The layers, from the bottom. A module is the folder below src; src/winmain.cpp, the entry
# point, stands above all of them.
set(LAYERS text registry fs kblayout shell uninstall)

get_filename_component(SOURCE_DIR "${SOURCE_DIR}" ABSOLUTE)

file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*/*.cpp ${SOURCE_DIR}/*/*.h)
if(NOT sources)
  message(FATAL_ERROR "no module sources below ${SOURCE_DIR}")
endif()
set(upward "")
foreach(source IN LISTS sources)
  string(REGEX REPLACE "/.*" "" module "${source}")
  list(FIND LAYERS "${module}" level)
  if(level EQUAL -1)
    message(FATAL_ERROR "${source} lies in ${module}, which is no layer: add it to LAYERS")
  endif()
  file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^#include \"[a-z]+/")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([a-z]+)/.*" "\\1" included "${line}")
    list(FIND LAYERS "${included}" includedLevel)
    if(includedLevel GREATER level OR includedLevel EQUAL -1)
      list(APPEND upward "${source} includes ${included}/")
    endif()
  endforeach()
endforeach()
if(upward)
  list(JOIN upward "\n  " listed)
  list(JOIN LAYERS " < " order)
  message(FATAL_ERROR "includes that point upwards (the layers: ${order}):\n  ${listed}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files, every include points to its own layer or one below")
