# The endgame-database suite drives the builder and the driver library.
target_link_libraries(test_tbdrv PRIVATE tbdrv_core)
add_dependencies(test_tbdrv tbgen tbdrv)
