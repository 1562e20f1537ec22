# The trainer's tests link its library (features, model, data files).
target_link_libraries(test_train PRIVATE qb_train)

# The self-play generator stopped and resumed (a POSIX tool: it forks).
if(TARGET selfplay AND NOT CMAKE_CROSSCOMPILING)
  add_test(NAME selfplay_resume
           COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/selfplay_resume.sh $<TARGET_FILE:selfplay>
                   ${CMAKE_CURRENT_BINARY_DIR}/selfplay_resume
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(selfplay_resume PROPERTIES TIMEOUT 300)
endif()
