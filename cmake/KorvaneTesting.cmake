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

# Real cameras as emulation files, for table tests: a folder beside the source tree, or the one
# KORVANE_REAL_CAMERAS names (a test also takes that variable from its environment), so that a
# camera added there is run too.
set(KORVANE_REAL_CAMERAS "" CACHE PATH "Folder of real cameras' emulation files")
function(korvane_use_real_cameras target)
  set(folder "${KORVANE_REAL_CAMERAS}")
  foreach(candidate "${CMAKE_SOURCE_DIR}/../shared/cameras"
                    "${CMAKE_SOURCE_DIR}/../../shared/cameras")
    if(NOT folder AND IS_DIRECTORY "${candidate}")
      get_filename_component(folder "${candidate}" ABSOLUTE)
    endif()
  endforeach()
  target_compile_definitions(${target} PRIVATE KORVANE_REAL_CAMERAS="${folder}")
endfunction()
