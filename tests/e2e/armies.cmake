# Armies end-to-end runs: real copies in linked namespaces, a protocol peer,
# real X input. Need root (namespaces), Xvfb and xdotool.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  add_test(NAME e2e_armies
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/test_armies.py
            --binary $<TARGET_FILE:kelvarin> --peer $<TARGET_FILE:kelvarin_peer> --data ${KELVARIN_DATA_DIR})
  set_tests_properties(e2e_armies PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE LABELS "e2e;plain_only" SKIP_RETURN_CODE 77)
endif()
