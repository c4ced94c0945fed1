# Checks of the generated textures and sounds (the `assets` target). Included
# from tests/CMakeLists.txt; the tests read the files from the data directory.
if(TARGET assets)
  if(NOT TARGET GTest::gtest_main)
    find_package(GTest REQUIRED)
  endif()
  include(GoogleTest)
  add_executable(test_assets ${CMAKE_CURRENT_LIST_DIR}/test_assets.cpp)
  target_link_libraries(test_assets PRIVATE GTest::gtest_main)
  target_compile_definitions(test_assets PRIVATE KELVARIN_ASSET_DIR="${KELVARIN_DATA_DIR}")
  add_dependencies(test_assets assets)
  gtest_discover_tests(test_assets WORKING_DIRECTORY ${KELVARIN_DATA_DIR} DISCOVERY_TIMEOUT 30)

  # The generators' building blocks: noise, filters, plucked strings, file writers.
  add_executable(test_asset_tools ${CMAKE_CURRENT_LIST_DIR}/test_asset_tools.cpp)
  target_link_libraries(test_asset_tools PRIVATE asset_toolkit GTest::gtest_main)
  gtest_discover_tests(test_asset_tools WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} DISCOVERY_TIMEOUT 30)
endif()
