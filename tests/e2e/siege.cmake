# Siege end-to-end run: two copies and a protocol peer in bridged
# namespaces; needs root, Xvfb and xdotool (exit 77 = skipped).
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  add_test(NAME e2e_siege COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/e2e/test_siege.py
           --binary ${CMAKE_BINARY_DIR}/kelvarin --data ${KELVARIN_DATA_DIR}
           --peer ${CMAKE_BINARY_DIR}/tools/kelvarin_peer)
  set_tests_properties(e2e_siege PROPERTIES TIMEOUT 400 RUN_SERIAL TRUE LABELS "e2e;plain_only" SKIP_RETURN_CODE 77)
endif()
