# A hostile protocol peer against one real copy in linked namespaces: lies
# in the menu and in play, floods; the copy refuses and keeps running.
# Needs root (namespaces), Xvfb and xdotool.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  add_test(NAME e2e_hostile
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/test_hostile.py
            --binary $<TARGET_FILE:kelvarin> --peer $<TARGET_FILE:kelvarin_peer> --data ${KELVARIN_DATA_DIR})
  set_tests_properties(e2e_hostile PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE LABELS e2e SKIP_RETURN_CODE 77)
endif()
