# install.cmake -- what `cmake --install` puts in the prefix: the programs, the player library
# with its public headers and audio devices (not the demo's frame buffer or keyboard), a CMake package (find_package(QuorbelaPlayer) gives
# quorbela::player) and a pkg-config file (quorbela-player)
#
# The static libraries are installed as plain archives and described by a package file
# written here, not exported: the build's targets carry the source tree's include path and
# the project's warning flags, which have no business in a user's build.
include(GNUInstallDirs)

foreach(program quorbela xmplay quorbela-capture)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# In link order: each library before the ones it needs.
set(QUORBELA_PLAYER_LIBRARIES
  quorbela_player quorbela_audio_sdl quorbela_audio_virtual quorbela_audio)
install(TARGETS ${QUORBELA_PLAYER_LIBRARIES} ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
# The player, and the device choice every program makes before sound_open.
set(quorbela_include_dir ${CMAKE_INSTALL_INCLUDEDIR}/quorbela)
install(FILES player/player.h DESTINATION ${quorbela_include_dir}/player)
install(FILES platform/audio.h DESTINATION ${quorbela_include_dir}/platform)
install(FILES platform/sdl/sdl_audio.h DESTINATION ${quorbela_include_dir}/platform/sdl)
install(FILES platform/virtual/virtual_audio.h DESTINATION ${quorbela_include_dir}/platform/virtual)

# Both package files find the prefix from where they lie, so the tree can be installed with
# --prefix anywhere or moved.
set(quorbela_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/QuorbelaPlayer)
file(RELATIVE_PATH quorbela_cmake_to_prefix /prefix/${quorbela_cmake_dir} /prefix)
file(RELATIVE_PATH quorbela_pc_to_prefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)

file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/install/QuorbelaPlayerConfig.cmake @ONLY CONTENT [=[
# QuorbelaPlayerConfig.cmake -- quorbela::player: the XM player with the SDL2 and virtual
# sound devices (headers: player/player.h, platform/audio.h and each device's own header).
# The SDL device loads SDL2 itself when it opens, so nothing of SDL is linked.
include(CMakeFindDependencyMacro)
find_dependency(Threads)

get_filename_component(_quorbela_prefix "${CMAKE_CURRENT_LIST_DIR}/@quorbela_cmake_to_prefix@" ABSOLUTE)
if(NOT TARGET quorbela::player)
  foreach(_quorbela_lib player audio_sdl audio_virtual audio)
    add_library(quorbela::${_quorbela_lib} STATIC IMPORTED)
    set_target_properties(quorbela::${_quorbela_lib} PROPERTIES
      IMPORTED_LOCATION "${_quorbela_prefix}/@CMAKE_INSTALL_LIBDIR@/libquorbela_${_quorbela_lib}.a")
  endforeach()
  set_target_properties(quorbela::audio PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${_quorbela_prefix}/@quorbela_include_dir@")
  set_target_properties(quorbela::audio PROPERTIES
    INTERFACE_LINK_LIBRARIES "Threads::Threads;${CMAKE_DL_LIBS}")
  set_target_properties(quorbela::audio_sdl quorbela::audio_virtual PROPERTIES
    INTERFACE_LINK_LIBRARIES quorbela::audio)
  set_target_properties(quorbela::player PROPERTIES
    INTERFACE_LINK_LIBRARIES "quorbela::audio_sdl;quorbela::audio_virtual;quorbela::audio"
    INTERFACE_COMPILE_FEATURES cxx_std_20)
endif()
unset(_quorbela_prefix)
]=])
include(CMakePackageConfigHelpers)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/install/QuorbelaPlayerConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/install/QuorbelaPlayerConfig.cmake
  ${PROJECT_BINARY_DIR}/install/QuorbelaPlayerConfigVersion.cmake
  DESTINATION ${quorbela_cmake_dir})

file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/install/quorbela-player.pc @ONLY CONTENT [=[
prefix=${pcfiledir}/@quorbela_pc_to_prefix@
libdir=${prefix}/@CMAKE_INSTALL_LIBDIR@
includedir=${prefix}/@quorbela_include_dir@

Name: quorbela-player
Description: XM module player: loader, replay, mixer and output thread, SDL2 and virtual sound devices
Version: @PROJECT_VERSION@
Libs: -L${libdir} -lquorbela_player -lquorbela_audio_sdl -lquorbela_audio_virtual -lquorbela_audio -pthread -ldl
Cflags: -I${includedir}
]=])
install(FILES ${PROJECT_BINARY_DIR}/install/quorbela-player.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
