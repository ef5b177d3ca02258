# The shipped program: a 32-bit Windows GUI program.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# In a 64-bit prefix the 64-bit loader hands a 32-bit program to 32-bit Wine, which runs it as a
# WOW64 process; a 32-bit prefix needs 32-bit Wine's own loader.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
set(WINE32_LOADER /usr/lib/wine/wine)
set(OBJDUMP i686-w64-mingw32-objdump)
