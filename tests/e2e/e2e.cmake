# End-to-end tests: the real binary under a private X server (Xvfb), inside
# private network namespaces, driven with real X input.  Included from
# tests/CMakeLists.txt.  They need root (network namespaces) and exit with
# 77 (skipped) without it.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(KELVARIN_E2E_DIR ${CMAKE_CURRENT_LIST_DIR})

# The harness itself: namespaces, bridges, multicast, Xvfb, screenshot
# decoding.  Needs no game binary.
add_test(NAME e2e_harness
  COMMAND ${Python3_EXECUTABLE} ${KELVARIN_E2E_DIR}/test_harness.py)
set_tests_properties(e2e_harness PROPERTIES
  LABELS e2e TIMEOUT 300 SKIP_RETURN_CODE 77)

# Window, screenshot and the ways the program ends.
add_test(NAME e2e_core
  COMMAND ${Python3_EXECUTABLE} ${KELVARIN_E2E_DIR}/test_core.py
          --binary $<TARGET_FILE:kelvarin> --data ${KELVARIN_DATA_DIR})
set_tests_properties(e2e_core PROPERTIES
  LABELS e2e TIMEOUT 600 SKIP_RETURN_CODE 77)
