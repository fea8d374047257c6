# The libraries the file backends need (libsndfile with its codecs, and libsoxr), cross-built
# for Windows by scripts/windows.sh into BRINDLEMOOR_WINDOWS_PREFIX (static). They get the target
# names that pkg-config gives them on Linux, so the rest of the build is the same on both
# platforms.
set(BRINDLEMOOR_WINDOWS_PREFIX "" CACHE PATH "Where the Windows builds of libsndfile and the resampler live")
if(NOT BRINDLEMOOR_WINDOWS_PREFIX)
  message(FATAL_ERROR "set BRINDLEMOOR_WINDOWS_PREFIX (scripts/windows.sh build does)")
endif()

# PkgConfig::target for the static library `library` and its `header`; the static libraries it
# needs follow as further arguments, in link order.
function(brindlemoor_windows_library target header library)
  find_path(${target}_INCLUDE_DIR ${header} PATHS ${BRINDLEMOOR_WINDOWS_PREFIX}/include
            NO_DEFAULT_PATH REQUIRED)
  find_library(${target}_LIBRARY NAMES ${library} PATHS ${BRINDLEMOOR_WINDOWS_PREFIX}/lib
               NO_DEFAULT_PATH REQUIRED)
  add_library(PkgConfig::${target} STATIC IMPORTED GLOBAL)
  set_target_properties(PkgConfig::${target} PROPERTIES
    IMPORTED_LOCATION ${${target}_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${${target}_INCLUDE_DIR})
  set(needed)
  foreach(dependency IN LISTS ARGN)
    find_library(${target}_${dependency}_LIBRARY NAMES ${dependency}
                 PATHS ${BRINDLEMOOR_WINDOWS_PREFIX}/lib NO_DEFAULT_PATH REQUIRED)
    list(APPEND needed ${${target}_${dependency}_LIBRARY})
  endforeach()
  set_target_properties(PkgConfig::${target} PROPERTIES INTERFACE_LINK_LIBRARIES "${needed}")
endfunction()

# libsndfile's codecs: Vorbis on Ogg, FLAC, Opus, and MPEG (mpg123 reads, LAME writes).
brindlemoor_windows_library(SNDFILE sndfile.h sndfile vorbisenc vorbis ogg FLAC opus mpg123
                            mp3lame)
target_link_libraries(PkgConfig::SNDFILE INTERFACE shlwapi)
brindlemoor_windows_library(SOXR soxr.h soxr)

# Files larger than 2 GiB: 64-bit offsets in the C runtime's calls.
add_compile_definitions(_FILE_OFFSET_BITS=64)
