# Windows specifics. Every program and library links its runtime statically
# (libgcc, libstdc++, winpthread), so Quillbar64.dll and the programs need no
# runtime DLLs beside them.
add_link_options(-static -static-libgcc -static-libstdc++)

# The C99 printf family (%zu, %lld, %a) rather than the old system runtime's.
# GCC for MinGW still checks [[gnu::format(printf, ...)]] functions against
# the old runtime's rules and rejects %zu; the native build checks every
# format string, so the check is left to it.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)
add_compile_options(-Wno-format)

# A cross build has no GoogleTest for the target: build Debian's sources.
if(CMAKE_CROSSCOMPILING AND QB_BUILD_TESTS AND NOT TARGET GTest::gtest)
  set(QB_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for the cross build")
  if(NOT EXISTS ${QB_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found in ${QB_GTEST_SOURCE} (Debian: libgtest-dev)")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # GoogleTest's assertions inside a bare if warn about the else they hide
  # when its headers come from here rather than the system include folder;
  # the native build keeps the warning for the project's own code.
  add_compile_options(-Wno-dangling-else)
  # Defines GTest::gtest and GTest::gtest_main itself.
  add_subdirectory(${QB_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()
