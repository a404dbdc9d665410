find_package(GTest REQUIRED)
include(GoogleTest)

# korvane_add_gtest(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2)
function(korvane_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main korvane_warnings)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# Real cameras as emulation files, for table tests: the copies in tests/cameras, or the folder
# KORVANE_REAL_CAMERAS names (a test also takes that variable from its environment), so that
# further cameras can be run without adding them to the tree.
set(KORVANE_REAL_CAMERAS "" CACHE PATH "Folder of real cameras' emulation files")
function(korvane_use_real_cameras target)
  set(folder "${KORVANE_REAL_CAMERAS}")
  if(NOT folder)
    set(folder "${CMAKE_SOURCE_DIR}/tests/cameras")
  endif()
  target_compile_definitions(${target} PRIVATE KORVANE_REAL_CAMERAS="${folder}")
endfunction()
