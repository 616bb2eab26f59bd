# Read by ctest after the discovered tests of qt_clipboard_tests (TEST_INCLUDE_FILES).
if(qt_clipboard_tests_TESTS)
  set_tests_properties(${qt_clipboard_tests_TESTS} PROPERTIES RESOURCE_LOCK desktop_clipboard)
endif()
