# GoogleTest for the mingw-w64 build: Debian ships its sources, not a Windows build, so it is
# compiled here with the cross compiler, once, beside the project's own targets.
set(brocade_googletest_source /usr/src/googletest)
include(${CMAKE_CURRENT_LIST_DIR}/require_debian_file.cmake)
brocade_require_debian_file(GTest ${brocade_googletest_source}/CMakeLists.txt
  "GoogleTest sources not found in ${brocade_googletest_source} (libgtest-dev)")
if(NOT TARGET gtest)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${brocade_googletest_source} ${CMAKE_BINARY_DIR}/third-party/googletest
                   EXCLUDE_FROM_ALL)
endif()
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
set(GTest_FOUND TRUE)
