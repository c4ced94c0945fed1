# The city survey: the placement files must hold up on many islands. For 50
# seeds it builds the island and the city and reports the share of wall points
# and buildings above the water line and whether the gate can be reached on
# foot; it fails when the means fall below the thresholds given.
add_executable(city_survey ${CMAKE_SOURCE_DIR}/tools/city_survey.cpp)
target_link_libraries(city_survey PRIVATE kelvarin_game)
add_test(NAME city_survey COMMAND city_survey ${CMAKE_SOURCE_DIR}/data 50 0.9 0.97)
set_tests_properties(city_survey PROPERTIES TIMEOUT 300)
