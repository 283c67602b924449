# Cross-compiles the Windows program with mingw-w64 (Debian: g++-mingw-w64-x86-64-posix).
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZANTO_MINGW_PREFIX x86_64-w64-mingw32)

# The posix threads variant is the one Debian installs with the package named above; the
# plain name is the alternative that points at whichever variant the system chose.
find_program(ZANTO_MINGW_CXX NAMES ${ZANTO_MINGW_PREFIX}-g++-posix ${ZANTO_MINGW_PREFIX}-g++
             REQUIRED)
find_program(ZANTO_MINGW_CC NAMES ${ZANTO_MINGW_PREFIX}-gcc-posix ${ZANTO_MINGW_PREFIX}-gcc)
find_program(ZANTO_MINGW_RC NAMES ${ZANTO_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_CXX_COMPILER ${ZANTO_MINGW_CXX})
if(ZANTO_MINGW_CC)
  set(CMAKE_C_COMPILER ${ZANTO_MINGW_CC})
endif()
set(CMAKE_RC_COMPILER ${ZANTO_MINGW_RC})

set(CMAKE_FIND_ROOT_PATH /usr/${ZANTO_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
