# The board in the browser: the server's API, and the page in Debian's
# Chromium driven by chromium-driver (tools/install-packages --tests). Both
# start their own `quillbar serve` on a free port. Debian's Python is used
# on purpose: python3-selenium belongs to it.
set(QB_TEST_PYTHON /usr/bin/python3 CACHE FILEPATH "Python with Debian's python3-selenium")
set(web_tests ${CMAKE_CURRENT_LIST_DIR})
add_test(NAME web_api COMMAND ${QB_TEST_PYTHON} ${web_tests}/api_test.py
         $<TARGET_FILE:quillbar> ${CMAKE_BINARY_DIR}/tests/fake_engines)
add_test(NAME web_browser COMMAND ${QB_TEST_PYTHON} ${web_tests}/browser_test.py $<TARGET_FILE:quillbar>)
# The browser test times the engine's reply: alone, so that other suites do
# not eat its time.
set_tests_properties(web_api web_browser PROPERTIES TIMEOUT 300)
set_tests_properties(web_browser PROPERTIES RUN_SERIAL TRUE)
