# The board in the browser: the server's API, and the page in Debian's
# Chromium driven by chromium-driver (tools/install-packages --tests). Both
# start their own `quillbar serve` on a free port. Debian's Python is used
# on purpose: python3-selenium belongs to it.
set(QB_TEST_PYTHON /usr/bin/python3 CACHE FILEPATH "Python with Debian's python3-selenium")
set(web_tests ${CMAKE_CURRENT_LIST_DIR})
add_test(NAME web_api COMMAND ${QB_TEST_PYTHON} ${web_tests}/api_test.py
         $<TARGET_FILE:quillbar> ${CMAKE_BINARY_DIR}/tests/fake_engines)
set_tests_properties(web_api PROPERTIES TIMEOUT 300)
# The browser test times the engine's reply: in the optimised build only,
# and alone, so that neither a sanitizer nor other suites eat its time.
if(NOT QB_SANITIZE)
  add_test(NAME web_browser COMMAND ${QB_TEST_PYTHON} ${web_tests}/browser_test.py $<TARGET_FILE:quillbar>)
  set_tests_properties(web_browser PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
endif()
