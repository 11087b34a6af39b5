# One static library per component: each Platform component (src/Platform/<Name>) and each layer
# above Platform (src/<Layer>) links only the components it may use. A component's headers are
# reachable only through include roots of its own (links to its folder under src/ and to its
# folder in the public include/QORUniversalSDK/, in the build tree), so an include of a component
# that the including target does not link fails to compile, whichever side of the public line the
# header is on and whether it points upward or sideways. Sources include by the path under src/ or
# the public folder ("Platform/Foundation/URL.h", "AdNetwork/QOR.h"); the public headers include
# each other as an app reaches them (<QORUniversalSDK/AdNetwork/QOR.h>), which the public root
# also serves. These roots exist in the build tree only: an app gets the prefix's include/ alone.
# The components' objects fold into the one installed library; tests, benchmarks and the example
# link the components themselves.
set(QOR_LAYER_TARGETS "" CACHE INTERNAL "")

# Makes `root`/`folder` a link to `target_folder` (folder may be nested, as "Platform/Dispatch").
function(qor_link_include_root root folder target_folder)
  get_filename_component(parent "${root}/${folder}" DIRECTORY)
  file(MAKE_DIRECTORY "${parent}")
  if(NOT EXISTS "${root}/${folder}")
    file(CREATE_LINK "${target_folder}" "${root}/${folder}" SYMBOLIC)
  endif()
endfunction()

# qor_add_component(<folder under src/> <target> [DEPS public links...] [PRIVATE_DEPS links...])
function(qor_add_component folder target)
  cmake_parse_arguments(COMPONENT "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp")
  if(NOT sources)
    message(FATAL_ERROR "The component ${folder} has no sources")
  endif()
  add_library(${target} STATIC ${sources})
  set(root "${PROJECT_BINARY_DIR}/components/${folder}")
  qor_link_include_root("${root}" "${folder}" "${PROJECT_SOURCE_DIR}/src/${folder}")
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
  set(public_folder "${PROJECT_SOURCE_DIR}/include/QORUniversalSDK/${folder}")
  if(IS_DIRECTORY "${public_folder}")
    set(public_root "${PROJECT_BINARY_DIR}/components/public/${folder}")
    qor_link_include_root("${public_root}" "${folder}" "${public_folder}")
    qor_link_include_root("${public_root}" "QORUniversalSDK/${folder}" "${public_folder}")
    target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${public_root}>)
  endif()
  target_link_libraries(${target} PUBLIC ${COMPONENT_DEPS} PRIVATE ${COMPONENT_PRIVATE_DEPS})
  target_compile_features(${target} PUBLIC cxx_std_20)
  qor_apply_compile_options(${target})
  set(QOR_LAYER_TARGETS ${QOR_LAYER_TARGETS} ${target} CACHE INTERNAL "")
endfunction()
