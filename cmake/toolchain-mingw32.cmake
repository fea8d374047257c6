# Cross-building for 32-bit Windows with Debian's mingw-w64 (g++-mingw-w64-i686).
#   cmake -S . -B build-windows/i686 --toolchain cmake/toolchain-mingw32.cmake
# Tests run through wine's 32-bit loader (the wine32:i386 package) as the cross-compiling
# emulator.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(BRINDLEMOOR_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
