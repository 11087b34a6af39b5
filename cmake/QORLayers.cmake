# One static library per layer, each linking only the layers below it. A layer's headers are
# reachable only through an include root of its own (a link to its folder in the build tree),
# so an include that points at a higher layer does not compile. The layers' objects fold into
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
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
  target_link_libraries(${target} PUBLIC ${LAYER_DEPS} PRIVATE ${LAYER_PRIVATE_DEPS})
  target_compile_features(${target} PUBLIC cxx_std_20)
  qor_apply_compile_options(${target})
  set(QOR_LAYER_TARGETS ${QOR_LAYER_TARGETS} ${target} CACHE INTERNAL "")
  set(QOR_TOP_LAYER ${target} CACHE INTERNAL "")
endfunction()
