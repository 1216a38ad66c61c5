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
