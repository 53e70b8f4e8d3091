# Read by ctest after the discovered cases: the window tests run on the offscreen platform.
foreach(test IN LISTS ui_main_tests_TESTS)
  set_tests_properties("${test}" PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endforeach()
