# Profile-guided optimization of a release build with GCC.
#
# An instrumented copy of the program is built from the same sources in
# pgo/instrumented (an external project, so that its flags stay its own) and
# runs a training job, scripts/train-profile: the bundled example through
# random repair and iterative deepening, and every common statement shape
# (bench/statement-shapes) in a loop. The program's own code is then compiled
# with the branch and call counts that run recorded, which tells the compiler
# which paths of the interpreter are hot (inlining, block layout). Code the
# training never ran is optimized as without a profile
# (-fprofile-partial-training). Profiles change no result: floating-point
# operations round as written (-ffp-contract=off, no fast-math) either way.
#
# The profile files are named by each object's path below its build folder
# (-fprofile-prefix-path), so both builds find the same names. A change of a
# source builds the instrumented copy again and trains it anew before the
# program's targets compile; objects compiled before keep the profile they
# were compiled with, which still describes their unchanged code. A change of
# the training itself reaches the objects compiled after it, and all of them
# in a fresh build.
include(ExternalProject)

set(DOMTARN_PROFILE_DIR ${CMAKE_BINARY_DIR}/pgo/profile)
set(domtarn_instrumented_dir ${CMAKE_BINARY_DIR}/pgo/instrumented)
set(domtarn_instrumented_program ${domtarn_instrumented_dir}/domtarn)
# The instrumented copy builds with a parallel build of its own: the
# surrounding build's job slots do not reach through `cmake --build`, and
# make's warning about them is kept off by clearing MAKEFLAGS.
cmake_host_system_information(RESULT domtarn_cores QUERY NUMBER_OF_LOGICAL_CORES)

ExternalProject_Add(domtarn_instrumented
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${domtarn_instrumented_dir}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
             -DDOMTARN_PGO=OFF
             -DBUILD_TESTING=OFF
             -DDOMTARN_BENCHMARKS=OFF
             -DDOMTARN_MIMALLOC=${DOMTARN_MIMALLOC}
             "-DCMAKE_CXX_FLAGS=-fprofile-generate -fprofile-update=single -fprofile-dir=${DOMTARN_PROFILE_DIR} -fprofile-prefix-path=${domtarn_instrumented_dir}"
             -DCMAKE_EXE_LINKER_FLAGS=-fprofile-generate
  BUILD_COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS --unset=MAKELEVEL
                ${CMAKE_COMMAND} --build <BINARY_DIR> --target domtarn --parallel ${domtarn_cores}
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${domtarn_instrumented_program}
  INSTALL_COMMAND ""
  LOG_CONFIGURE ON)

add_custom_command(
  OUTPUT ${DOMTARN_PROFILE_DIR}/trained
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/train-profile ${domtarn_instrumented_program}
          ${DOMTARN_PROFILE_DIR}
  DEPENDS ${domtarn_instrumented_program} ${PROJECT_SOURCE_DIR}/scripts/train-profile
          ${PROJECT_SOURCE_DIR}/bench/statement-shapes ${PROJECT_SOURCE_DIR}/examples/plant.dom
          ${PROJECT_SOURCE_DIR}/examples/plant.scr ${PROJECT_SOURCE_DIR}/examples/plant.tab
  COMMENT "Training run of the instrumented program (profile-guided optimization)"
  VERBATIM)
add_custom_target(domtarn_profile DEPENDS ${DOMTARN_PROFILE_DIR}/trained)
add_dependencies(domtarn_profile domtarn_instrumented)

# Compiles a target of the program's own code with the profile, after the
# training run. Every unit is linked into the instrumented program and so has
# a profile; a unit without one (its name no longer matching) is warned of,
# an error with DOMTARN_WERROR. A profile that does not match its unit's code,
# which the rebuild before every training rules out, would cost the profile
# of the functions that differ, not the build.
function(domtarn_use_profile target)
  target_compile_options(${target} PRIVATE
    -fprofile-use=${DOMTARN_PROFILE_DIR} -fprofile-prefix-path=${CMAKE_BINARY_DIR}
    -fprofile-partial-training -Wno-coverage-mismatch)
  add_dependencies(${target} domtarn_profile)
endfunction()
