# Cross-building for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64).
#   cmake -S . -B build-windows --toolchain cmake/toolchain-mingw64.cmake
# The posix thread model gives std::thread and std::mutex (the win32 model has neither); the
# runtime is linked statically, so the programs need no DLLs next to them. Tests run through
# wine as the cross-compiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BRINDLEMOOR_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${BRINDLEMOOR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRINDLEMOOR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${BRINDLEMOOR_MINGW_TRIPLET}-windres)

# Libraries cross-built for Windows (scripts/windows.sh) live under BRINDLEMOOR_WINDOWS_PREFIX.
set(CMAKE_FIND_ROOT_PATH /usr/${BRINDLEMOOR_MINGW_TRIPLET} ${BRINDLEMOOR_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
