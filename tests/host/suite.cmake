# The host tests link the host's library and drive the quillbar program and
# stand-in engine libraries as separate processes.
target_link_libraries(test_host PRIVATE quillbar_host)
add_dependencies(test_host quillbar)

set(fake_engine_dir ${CMAKE_BINARY_DIR}/tests/fake_engines)
foreach(mode first illegal crash hang)
  add_library(fake_engine_${mode} SHARED
    ${CMAKE_CURRENT_LIST_DIR}/fake_engine/fake_engine.cpp
    ${CMAKE_SOURCE_DIR}/engine/board/movegen.cpp
    ${CMAKE_SOURCE_DIR}/engine/board/position.cpp
    ${CMAKE_SOURCE_DIR}/engine/board/fen.cpp)
  string(TOUPPER ${mode} mode_upper)
  target_compile_definitions(fake_engine_${mode} PRIVATE FAKE_MODE_${mode_upper})
  target_include_directories(fake_engine_${mode} PRIVATE ${CMAKE_SOURCE_DIR}/engine)
  set_target_properties(fake_engine_${mode} PROPERTIES
    LIBRARY_OUTPUT_DIRECTORY ${fake_engine_dir} CXX_VISIBILITY_PRESET hidden)
  add_dependencies(test_host fake_engine_${mode})
endforeach()
target_compile_definitions(test_host PRIVATE QB_FAKE_ENGINE_DIR="${fake_engine_dir}")
target_link_libraries(test_host PRIVATE quillbar_serve)

# Every program's --help and its refusal of a mistake, one table.
if(TARGET selfplay)
  add_test(NAME command_lines COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/command_lines.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(command_lines PROPERTIES TIMEOUT 120)
endif()
