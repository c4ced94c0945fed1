# The code's floors: includes run downward only, and the simulation library
# needs no GL, GLU, GLX, X11 or OpenAL symbol.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME floors
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/check_floors.py --nm $<TARGET_FILE:kelvarin_sim>)
# What a battle owns lives in its world: the simulation library keeps at
# most a dozen mutable variables at file scope (docs/design.md names them).
add_test(NAME sim_file_scope_state
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/mutable_globals.py --max 12 $<TARGET_FILE:kelvarin_sim>)
