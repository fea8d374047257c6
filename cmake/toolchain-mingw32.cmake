# Cross-building for 32-bit Windows with Debian's mingw-w64 (g++-mingw-w64-i686).
#   cmake -S . -B build-windows/i686 --toolchain cmake/toolchain-mingw32.cmake
# Tests run through wine's 32-bit loader (the wine32:i386 package) as the cross-compiling
# emulator.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(BRINDLEMOOR_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
# The x87 unit keeps intermediate results in 80 bits, so sums and products would round otherwise
# than in every other build, and decisions made at a threshold would differ; SSE2 rounds each
# double as the 64-bit builds do (any x86 processor since 2003 has it).
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
