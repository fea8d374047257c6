# The Win32 window's tests (included from tests/windows/windows-tests.cmake). Its resources and
# text conversions need no display; the window itself runs on a virtual X display, and end to
# end on the loopback sound server with screenshots left in build-windows/artifacts.
add_executable(test_win32 win32/test_resources.cpp win32/test_text.cpp win32/dialog_template.cpp)
target_link_libraries(test_win32 PRIVATE brindlemoor_win32 brindlemoor_win32_resources
                      GTest::gtest_main version)
target_include_directories(test_win32 PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/win32)
target_compile_definitions(test_win32 PRIVATE BRINDLEMOOR_TEST_PROGRAM_NAME="test_win32")
gtest_discover_tests(test_win32 DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                     PROPERTIES LABELS win32)

# One ctest test for the whole program, in a virtual desktop on a virtual display of its own (a
# display for each case would cost seconds).
add_executable(test_win32_window win32/test_window.cpp)
target_link_libraries(test_win32_window PRIVATE brindlemoor_win32
                      brindlemoor_win32_resources brindlemoor_testing GTest::gtest_main)
# The program itself too, for its message boxes.
target_compile_definitions(test_win32_window PRIVATE
                           BRINDLEMOOR_WINDOW_PROGRAM="$<TARGET_FILE:brindlemoor>")
add_dependencies(test_win32_window brindlemoor)
add_test(NAME win32_window
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/on_virtual_desktop.sh
                 ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:test_win32_window>)
set_tests_properties(win32_window PROPERTIES LABELS "win32;window" SKIP_RETURN_CODE 77
                     TIMEOUT 120)

add_test(NAME window_wine_live
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/win32/window_wine_test.sh
                 $<TARGET_FILE:brindlemoor> ${CMAKE_CURRENT_SOURCE_DIR}/win32/katakana.wav
                 ${PROJECT_BINARY_DIR}/artifacts)
set_tests_properties(window_wine_live PROPERTIES LABELS "win32;window;live" SKIP_RETURN_CODE 77
                     TIMEOUT 180 RUN_SERIAL TRUE)
