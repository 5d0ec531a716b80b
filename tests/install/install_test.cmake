# install_test.cmake -- installs the build into a fresh prefix, then builds the example there
# through find_package and again through pkg-config, and runs what was installed.
# cmake -DBUILD_DIR= -DEXAMPLES_DIR= -DWORK_DIR= -DSONG= -DVERSION= -DCXX= [-DLINK_FLAGS=] -P

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL 0)
    message(FATAL_ERROR "${what} failed (${code}):\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# The package is the player: no archive of it carries the demo's frame buffer, key state or
# window handles.
file(GLOB_RECURSE archives ${prefix}/*.a)
list(LENGTH archives archive_count)
if(archive_count EQUAL 0)
  message(FATAL_ERROR "no libraries installed under ${prefix}")
endif()
foreach(archive ${archives})
  run("nm ${archive}" nm -C --defined-only ${archive})
  foreach(demo_global frame_buffer key_state main_window show_command)
    if(run_output MATCHES "platform::${demo_global}\n")
      message(FATAL_ERROR "${archive} defines the demo's platform::${demo_global}")
    endif()
  endforeach()
endforeach()

run("xmplay --version" ${prefix}/bin/xmplay --version)
if(NOT run_output STREQUAL "xmplay ${VERSION}\n")
  message(FATAL_ERROR "xmplay --version printed '${run_output}'")
endif()

run("configuring the example" ${CMAKE_COMMAND} -S ${EXAMPLES_DIR} -B ${WORK_DIR}/build
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release
  "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
run("building the example" ${CMAKE_COMMAND} --build ${WORK_DIR}/build)

file(GLOB_RECURSE pc_file ${prefix}/quorbela-player.pc)
get_filename_component(pc_dir "${pc_file}" DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
run("pkg-config" pkg-config --cflags --libs quorbela-player)
separate_arguments(pc_flags UNIX_COMMAND "${run_output}")
run("building the example with pkg-config" ${CXX} -std=c++20 ${LINK_FLAGS}
  ${EXAMPLES_DIR}/play_xm.cpp -o ${WORK_DIR}/play_xm_pc ${pc_flags})

# SDL's dummy driver accepts the sound and plays it nowhere; the closed input is the Enter.
set(ENV{SDL_AUDIODRIVER} dummy)
foreach(program ${WORK_DIR}/build/play_xm ${WORK_DIR}/play_xm_pc)
  execute_process(COMMAND ${program} ${SONG} INPUT_FILE /dev/null
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT code EQUAL 0 OR NOT out MATCHES "^playing")
    message(FATAL_ERROR "${program} ${SONG} gave ${code}:\n${out}\n${err}")
  endif()
  execute_process(COMMAND ${program} ${WORK_DIR}/missing.xm INPUT_FILE /dev/null
    RESULT_VARIABLE code ERROR_VARIABLE err)
  if(NOT code EQUAL 1 OR NOT err MATCHES "^play_xm: .*missing.xm: ")
    message(FATAL_ERROR "${program} on a missing file gave ${code}: ${err}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
