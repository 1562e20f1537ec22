# Command-line parsing for the programs: CLI11, header-only, from Debian's
# libcli11-dev. A cross build takes the same headers copied into its own
# tree, so that no other header of the build machine's /usr/include can
# shadow the target's.
if(CMAKE_CROSSCOMPILING)
  set(QB_CLI11_HEADERS /usr/include/CLI CACHE PATH "CLI11's headers for the cross build")
  if(NOT EXISTS ${QB_CLI11_HEADERS}/CLI.hpp)
    message(FATAL_ERROR "CLI11's headers not found in ${QB_CLI11_HEADERS} (Debian: libcli11-dev)")
  endif()
  file(COPY ${QB_CLI11_HEADERS} DESTINATION ${CMAKE_BINARY_DIR}/_deps/cli11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
  target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/_deps/cli11)
else()
  find_package(CLI11 2.1 CONFIG REQUIRED GLOBAL)
endif()
