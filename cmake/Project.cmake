# project_library(NAME [DEPS ...]): a static library of every source in the current folder and its
# subfolders (a unit's implementation may sit in a folder named after it).
function(project_library name)
  cmake_parse_arguments(PL "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${PL_DEPS} Threads::Threads)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${PL_DEPS} Threads::Threads)
  endif()
endfunction()

# project_tests(NAME [DEPS ...]): one test program of every *.cpp in the current folder.
function(project_tests name)
  cmake_parse_arguments(PT "" "" "DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  add_executable(${name} ${srcs})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${PT_DEPS} testsupport GTest::gtest GTest::gtest_main)
  # Each test is named after its folder under tests/ ("transport.", "platform.win.") and labelled
  # with that folder's path, so `ctest -R '^transport\.'` or `ctest -L platform/win` picks a folder.
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" "." prefix "${rel}")
  gtest_discover_tests(${name} TEST_PREFIX "${prefix}." DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120 LABELS "${rel}")
endfunction()
