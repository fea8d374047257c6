# The libraries the file backends need (libsndfile and the resamplers), cross-built for Windows
# by scripts/windows.sh into BRINDLEMOOR_WINDOWS_PREFIX (static, without external codecs). They
# get the target names that pkg-config gives them on Linux, so the rest of the build is the same
# on both platforms.
set(BRINDLEMOOR_WINDOWS_PREFIX "" CACHE PATH "Where the Windows builds of libsndfile and the resampler live")
if(NOT BRINDLEMOOR_WINDOWS_PREFIX)
  message(FATAL_ERROR "set BRINDLEMOOR_WINDOWS_PREFIX (scripts/windows.sh build does)")
endif()

function(brindlemoor_windows_library target header library)
  find_path(${target}_INCLUDE_DIR ${header} PATHS ${BRINDLEMOOR_WINDOWS_PREFIX}/include
            NO_DEFAULT_PATH REQUIRED)
  find_library(${target}_LIBRARY NAMES ${library} PATHS ${BRINDLEMOOR_WINDOWS_PREFIX}/lib
               NO_DEFAULT_PATH REQUIRED)
  add_library(PkgConfig::${target} STATIC IMPORTED GLOBAL)
  set_target_properties(PkgConfig::${target} PROPERTIES
    IMPORTED_LOCATION ${${target}_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${${target}_INCLUDE_DIR})
endfunction()

brindlemoor_windows_library(SNDFILE sndfile.h sndfile)
brindlemoor_windows_library(SAMPLERATE samplerate.h samplerate)
brindlemoor_windows_library(SOXR soxr.h soxr)

# Files larger than 2 GiB: 64-bit offsets in the C runtime's calls.
add_compile_definitions(_FILE_OFFSET_BITS=64)
