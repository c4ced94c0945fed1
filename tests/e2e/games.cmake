# Two games in one run of a copy, against a fresh copy's first game on the
# same seed. Needs root (namespaces), Xvfb and xdotool.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  add_test(NAME e2e_games
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/test_games.py
            --binary $<TARGET_FILE:kelvarin> --peer $<TARGET_FILE:kelvarin_peer> --data ${KELVARIN_DATA_DIR})
  set_tests_properties(e2e_games PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE LABELS "e2e;plain_only" SKIP_RETURN_CODE 77)
endif()
