# The release packages, made by `cmake --build <build> --target package`:
# a zip laid out as a Windows checkers program's folder expects, or a tarball
# that plays from wherever it is unpacked. Both hold the engine, its driver,
# the weights, the book, the 5-piece win/loss/draw databases and the
# moves-to-conversion databases (a quarter of the size of distance-to-win,
# and enough to drive a won ending home).

# The databases are the same files for every platform: a cross build may take
# them from a native build rather than build them again under Wine.
set(QB_PACKAGE_DATABASES ${QB_ENGINE_DIR} CACHE PATH "Folder holding the db/ and mtc/ databases to package")
# What the packaged engine must report: the win/loss/draw databases' pieces.
set(QB_PACKAGE_DB_PIECES ${QB_DB_PIECES})

set(engine_data ${QB_ENGINE_DIR}/weights_v3.bin ${QB_ENGINE_DIR}/weights_nk_v3.bin
    ${QB_ENGINE_DIR}/Quillbar.odb)
install(PROGRAMS $<TARGET_FILE:quillbar_engine> $<TARGET_FILE:tbdrv> DESTINATION engines)
install(FILES ${engine_data} DESTINATION engines)
install(FILES ${QB_ENGINE_DIR}/QuillbarHelp.htm DESTINATION engines)
install(DIRECTORY ${QB_PACKAGE_DATABASES}/db ${QB_PACKAGE_DATABASES}/mtc DESTINATION engines)
install(PROGRAMS $<TARGET_FILE:quillbar> DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/data/openings/three-move-deck.txt DESTINATION openings)

if(WIN32)
  # Windows finds a DLL's own imports beside the host program, not beside
  # the DLL: the driver goes to the top as well.
  install(PROGRAMS $<TARGET_FILE:tbdrv> DESTINATION .)
  set(readme_source ${CMAKE_SOURCE_DIR}/tools/package/README-windows.txt.in)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME Quillbar-${QB_VERSION}-win64)
else()
  set(readme_source ${CMAKE_SOURCE_DIR}/tools/package/README-linux.txt.in)
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME quillbar-${QB_VERSION}-linux-x86_64)
endif()
if(WIN32)
  set(readme_newlines CRLF)  # Notepad shows anything, but older editors do not
else()
  set(readme_newlines UNIX)
endif()
configure_file(${readme_source} ${CMAKE_BINARY_DIR}/package/README.txt @ONLY
               NEWLINE_STYLE ${readme_newlines})
install(FILES ${CMAKE_BINARY_DIR}/package/README.txt DESTINATION .)
if(EXISTS ${CMAKE_SOURCE_DIR}/LICENSE)
  install(FILES ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .)
endif()

set(CPACK_PACKAGE_NAME Quillbar)
set(CPACK_PACKAGE_VERSION ${QB_VERSION})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)

# The host the package test plays through (tools/package/test-package).
add_executable(package_host EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tools/package/package_host.cpp)
target_link_libraries(package_host PRIVATE qb_board ${CMAKE_DL_LIBS})
target_compile_definitions(package_host PRIVATE QB_EXPECTED_DB_PIECES="${QB_PACKAGE_DB_PIECES}")
