# The endgame-database suite drives the builder and the driver library. It
# uses only the C interface, from the shared library every test links
# through the engine core: linking the driver's internals beside it would
# put the interface's globals in the program a second time.
target_include_directories(test_tbdrv PRIVATE ${CMAKE_SOURCE_DIR}/tbdrv)
add_dependencies(test_tbdrv tbgen tbdrv)
