# The Windows test suite (included from tests/CMakeLists.txt), run under wine as the
# cross-compiling emulator by scripts/windows.sh test: the core's suites and the file backends,
# cross-built from the same sources as on Linux, and the wave-in device on wine's sound service.
add_library(brindlemoor_testing STATIC testing/fake_wave_in_device.cpp testing/fake_window.cpp)
target_include_directories(brindlemoor_testing PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(brindlemoor_testing PUBLIC brindlemoor_io GTest::gtest)

# The suites whose subject exists on both platforms; the rest need PortAudio, Qt, the channel
# simulator, POSIX processes or POSIX temporary folders.
set(windows_suites
  dsp/test_spectrum_analyzer.cpp
  capture/test_capture_tap.cpp
  capture/test_header_queue.cpp
  capture/test_replay_device.cpp
  capture/test_wave_capture.cpp
  capture/test_wave_capture_threads.cpp
  receiver/test_decide_byte.cpp
  receiver/test_receive_tick.cpp
  receiver/test_symbol_trace_format.cpp
  receiver/test_tick_text.cpp
  receiver/test_text_files.cpp
  app/test_dialog_units.cpp
  app/test_receiver_dialog.cpp
)
foreach(subsystem dsp capture receiver app)
  set(sources ${windows_suites})
  list(FILTER sources INCLUDE REGEX "^${subsystem}/")
  list(TRANSFORM sources PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
  add_executable(test_${subsystem} ${sources})
  target_link_libraries(test_${subsystem} PRIVATE brindlemoor_testing GTest::gtest_main
                        Threads::Threads)
  target_compile_definitions(test_${subsystem} PRIVATE
    BRINDLEMOOR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(test_${subsystem} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS ${subsystem})
endforeach()

# The Win32 window: its resources, services and dialog, and end to end under wine.
include(${CMAKE_CURRENT_SOURCE_DIR}/app/win32/win32-tests.cmake)
