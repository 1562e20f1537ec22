# The endgame-database suite drives the builder and the driver library. It
# uses only the C interface, from the shared library every test links
# through the engine core: linking the driver's internals beside it would
# put the interface's globals in the program a second time.
target_include_directories(test_tbdrv PRIVATE ${CMAKE_SOURCE_DIR}/tbdrv)
add_dependencies(test_tbdrv tbgen tbdrv)

# The MPI build on this machine's ranks: the same files as one process, and
# a killed rank costs only a rerun.
if(QB_MPI AND NOT CMAKE_CROSSCOMPILING)
  add_test(NAME tbgen_mpi
           COMMAND bash ${dir}/mpi_build.sh $<TARGET_FILE:tbgen> ${MPIEXEC_EXECUTABLE}
                   ${CMAKE_CURRENT_BINARY_DIR}/tbgen_mpi)
  set_tests_properties(tbgen_mpi PROPERTIES TIMEOUT 300)
endif()
