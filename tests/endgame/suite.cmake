# The endgame tests build their databases with tbgen (once per build tree).
add_dependencies(test_endgame tbgen tbdrv)
# They read the driver's answers through its own interface, beside the engine.
target_include_directories(test_endgame PRIVATE ${CMAKE_SOURCE_DIR}/tbdrv)
# A build that makes the default databases lets the tests use them as well
# (sanitizer builds do not make them: too slow there).
if(QB_BUILD_DATABASES)
  add_dependencies(test_endgame databases)
  target_compile_definitions(test_endgame PRIVATE QB_DEFAULT_DB_PIECES=${QB_DB_PIECES})
endif()
