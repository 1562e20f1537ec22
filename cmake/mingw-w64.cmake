# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QB_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QB_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QB_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QB_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${QB_MINGW_PREFIX}-objdump)

# Libraries built for the target outside Debian's packages (zstd, by
# tools/windows/build-zstd) sit in QB_WINDOWS_DEPS.
set(CMAKE_FIND_ROOT_PATH /usr/${QB_MINGW_PREFIX} ${QB_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs (the tests, and the baseline weights built during the
# build) run under Wine in the build's own prefix, never the user's ~/.wine.
find_program(QB_WINE NAMES wine)
if(QB_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_CURRENT_LIST_DIR}/../tools/windows/wine-run ${CMAKE_BINARY_DIR}/wine-prefix)
endif()
