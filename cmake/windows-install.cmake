# What `cmake --install` puts in a Windows folder (the portable zip and the installer are made
# from it by scripts/windows.sh release): every program the tools folder builds, the README and
# the licence as text files with CR LF, and the example recording in examples\.
get_property(tool_targets DIRECTORY ${PROJECT_SOURCE_DIR}/tools PROPERTY BUILDSYSTEM_TARGETS)
foreach(target IN LISTS tool_targets)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    install(TARGETS ${target} RUNTIME DESTINATION .)
  endif()
endforeach()

# README.md and LICENSE as README.txt and LICENSE.txt with Windows line ends, made again when
# either changes.
foreach(document README.md LICENSE)
  set(source ${PROJECT_SOURCE_DIR}/${document})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  get_filename_component(name ${document} NAME_WE)
  file(WRITE ${PROJECT_BINARY_DIR}/${name}.txt "${text}")
  install(FILES ${PROJECT_BINARY_DIR}/${name}.txt DESTINATION .)
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/examples/hello.wav DESTINATION examples)
