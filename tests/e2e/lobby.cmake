# Lobby end-to-end runs: need root (network namespaces), Xvfb and xdotool.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  add_test(NAME e2e_lobby COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/e2e/test_lobby.py)
  set_tests_properties(e2e_lobby PROPERTIES ENVIRONMENT "KELVARIN_BUILD=${CMAKE_BINARY_DIR}" TIMEOUT 240
                       RUN_SERIAL TRUE LABELS e2e)
endif()
