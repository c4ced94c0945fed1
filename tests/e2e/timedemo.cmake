# The timedemo keeps working: closing line, pictures, the same pictures on
# every run, and a clear failure without an eye path (needs root, Xvfb).
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  add_test(NAME e2e_timedemo COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/e2e/test_timedemo.py)
  set_tests_properties(e2e_timedemo PROPERTIES ENVIRONMENT "KELVARIN_BUILD=${CMAKE_BINARY_DIR}" TIMEOUT 300
                       RUN_SERIAL TRUE LABELS "e2e;plain_only" SKIP_RETURN_CODE 77)
endif()
