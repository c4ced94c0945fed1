# The city survey: the placement files must hold up on many islands. Built
# only once the terrain generator is part of the tree.
if(EXISTS ${CMAKE_SOURCE_DIR}/world/terrain.h)
  add_executable(city_survey ${CMAKE_SOURCE_DIR}/tools/city_survey.cpp)
  target_link_libraries(city_survey PRIVATE kelvarin_game)
  add_test(NAME city_survey COMMAND city_survey ${CMAKE_SOURCE_DIR}/data 50 0.9 0.97)
  set_tests_properties(city_survey PROPERTIES TIMEOUT 300)
endif()
