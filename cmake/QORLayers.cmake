# One static library per layer, each linking only the layers below it. A layer's headers are
# reachable only through include roots of its own (links to its folder under src/ and to its
# folder in the public include/QORUniversalSDK/, in the build tree), so an include that points at
# a higher layer does not compile, whichever side of the public line the header is on. Both keep
# the same include paths ("AdNetwork/QOR.h"), as the installed headers use among themselves. The layers' objects fold into
# the one installed library; tests, benchmarks and the example link the layers themselves.
set(QOR_LAYER_TARGETS "" CACHE INTERNAL "")

function(qor_add_layer folder target)
  cmake_parse_arguments(LAYER "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp")
  if(NOT sources)
    return()  # a layer not yet written
  endif()
  set(root "${PROJECT_BINARY_DIR}/layers/${folder}")
  file(MAKE_DIRECTORY "${root}")
  if(NOT EXISTS "${root}/${folder}")
    file(CREATE_LINK "${PROJECT_SOURCE_DIR}/src/${folder}" "${root}/${folder}" SYMBOLIC)
  endif()
  set(public_root "${PROJECT_BINARY_DIR}/layers/public/${folder}")
  set(public_folder "${PROJECT_SOURCE_DIR}/include/QORUniversalSDK/${folder}")
  if(IS_DIRECTORY "${public_folder}" AND NOT EXISTS "${public_root}/${folder}")
    file(MAKE_DIRECTORY "${public_root}")
    file(CREATE_LINK "${public_folder}" "${public_root}/${folder}" SYMBOLIC)
  endif()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
  if(IS_DIRECTORY "${public_folder}")
    target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${public_root}>)
  endif()
  target_link_libraries(${target} PUBLIC ${LAYER_DEPS} PRIVATE ${LAYER_PRIVATE_DEPS})
  target_compile_features(${target} PUBLIC cxx_std_20)
  qor_apply_compile_options(${target})
  set(QOR_LAYER_TARGETS ${QOR_LAYER_TARGETS} ${target} CACHE INTERNAL "")
  set(QOR_TOP_LAYER ${target} CACHE INTERNAL "")
endfunction()
