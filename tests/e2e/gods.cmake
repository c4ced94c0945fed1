# The gods end to end: prayer, spells, lightning and a death in a fight,
# between two real copies and a protocol peer in linked namespaces. Needs
# root (namespaces), Xvfb and xdotool.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  add_test(NAME e2e_gods
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/test_gods.py
            --binary $<TARGET_FILE:kelvarin> --peer $<TARGET_FILE:kelvarin_peer> --data ${KELVARIN_DATA_DIR})
  set_tests_properties(e2e_gods PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE LABELS "e2e;plain_only" SKIP_RETURN_CODE 77)
endif()
