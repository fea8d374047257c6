# Cross-building for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64).
#   cmake -S . -B build-windows --toolchain cmake/toolchain-mingw64.cmake
# Tests run through wine's 64-bit loader as the cross-compiling emulator.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BRINDLEMOOR_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
