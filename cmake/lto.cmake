# Link-time optimization of the program's own code (DOMTARN_LTO), included
# where the profile-guided build (cmake/profile.cmake) is on.
#
# The libraries carry their intermediate code beside their machine code (fat
# objects). The program and the benchmarks are optimized as one whole when
# they are linked: calls from one unit into another, such as a statement
# into the formula calculator or the evaluation tree into the fuzzy library,
# are inlined where they are hot, which an optimizer that sees one unit at a
# time cannot do. The tests link the machine code as compiled, without the
# whole-program step, so that linking the many test programs stays quick.
# The flags keep every float operation as written (-ffp-contract=off), so
# the results do not change.
include(CheckIPOSupported)
check_ipo_supported(RESULT DOMTARN_IPO_SUPPORTED OUTPUT domtarn_ipo_output LANGUAGES CXX)
if(NOT DOMTARN_IPO_SUPPORTED)
  message(STATUS "Link-time optimization: not supported here (${domtarn_ipo_output})")
  return()
endif()
message(STATUS "Link-time optimization: on (DOMTARN_LTO)")
set(DOMTARN_LTO_ACTIVE ON)

foreach(library domtarn_base domtarn_fuzzy domtarn_script domtarn_domain domtarn_optimize
                domtarn_program)
  set_property(TARGET ${library} PROPERTY INTERPROCEDURAL_OPTIMIZATION ON)
  target_compile_options(${library} PRIVATE -ffat-lto-objects)
endforeach()

# Optimizes an executable as one whole with the libraries it links.
function(domtarn_link_whole target)
  set_property(TARGET ${target} PROPERTY INTERPROCEDURAL_OPTIMIZATION ON)
endfunction()
domtarn_link_whole(domtarn)
