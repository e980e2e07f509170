# Shared build helpers.

# Adds the named sub folders that hold a CMakeLists.txt.
function(voq_add_subdirs)
  foreach(dir IN LISTS ARGN)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# Adds every immediate sub folder that holds a CMakeLists.txt, in name order.
function(voq_add_all_subdirs)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(dir IN LISTS children)
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${dir} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()

# voq_add_library(name [STATIC|SHARED] sources...)
# A library of the tree: its headers are included by their path from the top folder.
function(voq_add_library name)
  add_library(${name} ${ARGN})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
endfunction()

# voq_add_gtest(NAME name SOURCES a.cpp ... LIBS lib ... [LABELS l ...] [TEST_PREFIX p] [NEEDS_PG])
# One GoogleTest program; every case becomes a CTest test (named with the prefix, when given).
# NEEDS_PG marks programs whose cases use the private PostgreSQL test cluster (scripts/test).
function(voq_add_gtest)
  cmake_parse_arguments(T "NEEDS_PG" "NAME;TEST_PREFIX" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} voq_test_support GTest::gtest GTest::gtest_main)
  set(props TIMEOUT 300)
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${T_NAME}
    TEST_PREFIX "${T_TEST_PREFIX}"
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()

include(GoogleTest)
