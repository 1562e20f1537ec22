# The library suite builds a small endgame database with tbgen.
if(TARGET tbgen)
  add_dependencies(test_library tbgen)
endif()
