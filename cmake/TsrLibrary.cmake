# One static library per folder: every .cpp directly in the folder.
# Headers are included by their path from the repository root.
function(tsr_library name folder)
  file(GLOB _src CONFIGURE_DEPENDS ${Tessarune_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT _src)
    set(_src ${Tessarune_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${Tessarune_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARGN})
  target_compile_definitions(${name} PRIVATE TSR_VERSION="${PROJECT_VERSION}")
endfunction()

# Link a library with wxWidgets (only for ui/ and wx/ folders and subsystems 4-8).
function(tsr_use_wx name)
  target_include_directories(${name} SYSTEM PUBLIC ${wxWidgets_INCLUDE_DIRS})
  target_compile_definitions(${name} PUBLIC ${wxWidgets_DEFINITIONS})
  target_compile_options(${name} PUBLIC ${wxWidgets_CXX_FLAGS})
  target_link_libraries(${name} PUBLIC ${wxWidgets_LIBRARIES})
endfunction()

# One GoogleTest executable per library: every .cpp in tests/<folder>.
# Labels for its tests come from TSR_TEST_LABELS when the caller sets it; a test
# labelled "display" is run as tsr_display_test runs it.
function(tsr_test name folder)
  file(GLOB _src CONFIGURE_DEPENDS ${Tessarune_SOURCE_DIR}/tests/${folder}/*.cpp)
  if(NOT _src)
    return()
  endif()
  add_executable(${name} ${_src})
  target_link_libraries(${name} PRIVATE tsr_testsupport ${ARGN})
  set(_props ENVIRONMENT "TSR_SOURCE_DIR=${Tessarune_SOURCE_DIR}")
  if(TSR_TEST_LABELS)
    list(APPEND _props LABELS "${TSR_TEST_LABELS}")
  endif()
  if("display" IN_LIST TSR_TEST_LABELS)
    # One at a time even under ctest -j: they share the screen, the pointer
    # and the keyboard focus.
    list(APPEND _props FAIL_REGULAR_EXPRESSION "${TSR_DISPLAY_FAILURES}"
                       FIXTURES_REQUIRED tsr_window_manager RESOURCE_LOCK tsr_display)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${Tessarune_BINARY_DIR}
    PROPERTIES ${_props})
endfunction()

# Tests that need a display: label "display" (scripts/test runs them under
# xvfb-run), fail on any Gtk-CRITICAL or Gtk-WARNING in their output, and run
# under the window manager that the tsr_window_manager fixture starts.
#   tsr_display_test(tsr_foo_ui_tests foo_ui tsr_foo_ui)
set(TSR_DISPLAY_FAILURES "Gtk-CRITICAL|Gtk-WARNING")
function(tsr_display_test name folder)
  set(TSR_TEST_LABELS display)
  tsr_test(${name} ${folder} ${ARGN})
endfunction()

# Starts the window manager before the first display test and stops it after
# the last one (also when ctest runs only a subset of them).
function(tsr_window_manager_fixture)
  set(_wm ${Tessarune_SOURCE_DIR}/tests/common/window_manager)
  add_test(NAME tsr_window_manager_start COMMAND ${_wm} start ${Tessarune_BINARY_DIR})
  add_test(NAME tsr_window_manager_stop COMMAND ${_wm} stop ${Tessarune_BINARY_DIR})
  set_tests_properties(tsr_window_manager_start PROPERTIES FIXTURES_SETUP tsr_window_manager LABELS display)
  set_tests_properties(tsr_window_manager_stop PROPERTIES FIXTURES_CLEANUP tsr_window_manager LABELS display)
endfunction()
