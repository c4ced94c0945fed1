# The installed game: cmake --install into a staging directory, the files a
# package holds, the program's exit codes, and the installed program from an
# empty directory under Xvfb through the settings pages into a game.
add_test(NAME e2e_install
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/test_install.py --binary $<TARGET_FILE:kelvarin>)
set_tests_properties(e2e_install PROPERTIES LABELS "e2e;plain_only" TIMEOUT 300 RUN_SERIAL TRUE SKIP_RETURN_CODE 77)
