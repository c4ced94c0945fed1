# Lobby end-to-end runs: need root (network namespaces), Xvfb and xdotool
# (exit 77 = skipped).
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  add_test(NAME e2e_lobby COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/e2e/test_lobby.py
           --binary $<TARGET_FILE:kelvarin> --peer $<TARGET_FILE:kelvarin_peer> --data ${KELVARIN_DATA_DIR})
  set_tests_properties(e2e_lobby PROPERTIES TIMEOUT 240 RUN_SERIAL TRUE LABELS e2e SKIP_RETURN_CODE 77)
endif()
