# The Windows test suite (included from tests/CMakeLists.txt), run under wine as the
# cross-compiling emulator by scripts/windows.sh test: the core's suites and the file backends,
# cross-built from the same sources as on Linux, and the wave-in device on wine's sound service.

# The suites whose subject exists on both platforms; the rest need PortAudio, Qt, the channel
# simulator or POSIX processes and FIFOs.
set(windows_suites
  dsp/test_spectrum_analyzer.cpp
  capture/test_capture_tap.cpp
  capture/test_eight_bit_quantisers.cpp
  capture/test_header_queue.cpp
  capture/test_replay_device.cpp
  capture/test_wave_in_conformance.cpp
  capture/test_wave_capture.cpp
  capture/test_wave_capture_threads.cpp
  files/test_recording_formats.cpp
  files/test_text_files.cpp
  receiver/test_decide_byte.cpp
  receiver/test_receive_tick.cpp
  receiver/test_symbol_trace_format.cpp
  receiver/test_tick_text.cpp
  dialog/test_dialog_units.cpp
  dialog/test_no_allocation.cpp
  dialog/test_receiver_dialog.cpp
  dialog/test_round_trip.cpp
  synth/test_sender_synth.cpp
  synth/test_symbol_synth.cpp
)
foreach(subsystem dsp capture files receiver dialog synth)
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

# The wave-in device on the system's sound service (winepulse under wine), inside a private
# loopback PulseAudio; skipped (77) when PulseAudio is not installed.
add_executable(test_winmm ${CMAKE_CURRENT_SOURCE_DIR}/live/test_winmm_device.cpp)
target_link_libraries(test_winmm PRIVATE brindlemoor_live brindlemoor_testing GTest::gtest_main)
add_test(NAME winmm_wave_in_device
         COMMAND ${PROJECT_SOURCE_DIR}/scripts/pulse-loopback.sh run
                 ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:test_winmm>)
# The tests that use wine's sound service take turns: two at once can leave one of them without
# a driver.
set_tests_properties(winmm_wave_in_device PROPERTIES LABELS "winmm;live" SKIP_RETURN_CODE 77
                     TIMEOUT 120 RESOURCE_LOCK wine_sound)

# The programs as installed files (icon, manifest, version block) and the wave-in mutex.
add_executable(test_windows_programs ${CMAKE_CURRENT_SOURCE_DIR}/windows/test_windows_programs.cpp)
target_link_libraries(test_windows_programs PRIVATE brindlemoor_live brindlemoor_platform
                      GTest::gtest_main)
target_compile_definitions(test_windows_programs PRIVATE
  BRINDLEMOOR_WINDOW_PROGRAM="$<TARGET_FILE:brindlemoor>"
  BRINDLEMOOR_RECEIVE_PROGRAM="$<TARGET_FILE:brindlemoor-receive>"
  BRINDLEMOOR_SEND_PROGRAM="$<TARGET_FILE:brindlemoor-send>"
  BRINDLEMOOR_CHANNEL_PROGRAM="$<TARGET_FILE:brindlemoor-channel>")
add_dependencies(test_windows_programs brindlemoor brindlemoor-receive brindlemoor-send
                 brindlemoor-channel)
gtest_discover_tests(test_windows_programs DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                     PROPERTIES LABELS tools)

# brindlemoor-receive.exe end to end: listening while a message is played into a private
# loopback PulseAudio, and replaying recordings byte for byte like the Linux receiver, whose
# programs (BRINDLEMOOR_LINUX_TOOLS) synthesise the messages. Skipped (77) without them.
set(BRINDLEMOOR_LINUX_TOOLS ${PROJECT_SOURCE_DIR}/build/tools CACHE PATH
    "The Linux build's tools folder, for the end-to-end tests under wine")
foreach(scenario live calibrated no-input replay names sender)
  add_test(NAME wine_receive_${scenario}
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/windows/receive_wine_test.sh
                   ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:brindlemoor-receive>
                   ${BRINDLEMOOR_LINUX_TOOLS} ${scenario})
  set_tests_properties(wine_receive_${scenario} PROPERTIES LABELS "tools;live" SKIP_RETURN_CODE 77
                       TIMEOUT 120 RESOURCE_LOCK wine_sound)
endforeach()

# The Win32 window: its resources, services and dialog, and end to end under wine.
include(${CMAKE_CURRENT_SOURCE_DIR}/win32/win32-tests.cmake)
