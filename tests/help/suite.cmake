# The help page is read as built, beside the engine.
if(TARGET help_page)
  add_dependencies(test_help help_page)
endif()
