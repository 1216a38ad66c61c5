include(GoogleTest)
# Natively every test case is its own ctest entry. Under Wine a process start
# costs about a second, so a Windows test binary is one entry that runs all
# of its cases.
function(tarnbell_add_gtest target)
  if(WIN32)
    add_test(NAME ${target} COMMAND ${target} --gtest_color=no)
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# A Python unittest module run in this build's Wine set-up, with the built
# programs in TARNBELL_BIN and the shared helpers of tests/support importable;
# further arguments are more NAME=VALUE settings.
# Such tests drive one desktop, one tray and one sound device: never two at
# once.
function(tarnbell_add_wine_python_test name module timeout)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_test(NAME ${name}
           COMMAND ${PROJECT_SOURCE_DIR}/scripts/with-wine.sh ${TARNBELL_WINDOWS_BUILD}
                   ${Python3_EXECUTABLE} -m unittest -v ${module}
           WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
  set(environment PYTHONPATH=${PROJECT_SOURCE_DIR}/tests/support
                  TARNBELL_BIN=${CMAKE_BINARY_DIR}/bin
                  TARNBELL_ARTIFACTS=${CMAKE_BINARY_DIR}/e2e-artifacts ${ARGN})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${environment}"
                       RESOURCE_LOCK wine_desktop TIMEOUT ${timeout})
endfunction()
