# Play on the island: the real game brought into play by a real click, under
# Xvfb in private network namespaces (needs root, Xvfb, xdotool, ImageMagick).
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  add_test(NAME e2e_island COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/e2e/test_island.py)
  set_tests_properties(e2e_island PROPERTIES ENVIRONMENT "KELVARIN_BUILD=${CMAKE_BINARY_DIR}" TIMEOUT 300
                       RUN_SERIAL TRUE LABELS "e2e;plain_only" SKIP_RETURN_CODE 77)
endif()
