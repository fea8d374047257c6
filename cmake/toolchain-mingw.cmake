# What both Windows toolchain files share (toolchain-mingw64.cmake for x86_64,
# toolchain-mingw32.cmake for i686); they set BRINDLEMOOR_MINGW_TRIPLET, CMAKE_SYSTEM_PROCESSOR
# and the wine loader that runs the tests, then include this file.
# The posix thread model gives std::thread and std::mutex (the win32 model has neither); the
# runtime is linked statically, so the programs need no DLLs next to them.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${BRINDLEMOOR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRINDLEMOOR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${BRINDLEMOOR_MINGW_TRIPLET}-windres)
set(CMAKE_OBJCOPY ${BRINDLEMOOR_MINGW_TRIPLET}-objcopy)
set(CMAKE_STRIP ${BRINDLEMOOR_MINGW_TRIPLET}-strip)

# Libraries cross-built for Windows (scripts/windows.sh) live under BRINDLEMOOR_WINDOWS_PREFIX.
set(CMAKE_FIND_ROOT_PATH /usr/${BRINDLEMOOR_MINGW_TRIPLET} ${BRINDLEMOOR_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
