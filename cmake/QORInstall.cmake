include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The installed headers are the umbrella header and every header it reaches through its quoted
# includes (rooted at src/), found anew at each configure: what an app uses and what that needs,
# and nothing else. The configure step runs again when any of them changes, so a header that
# starts including another one brings it into the installed set at the next build.
set(QOR_UMBRELLA_HEADER Views/QORUniversalSDK.h)

function(qor_header_closure root out)
  set(pending "${root}")
  set(found "")
  while(pending)
    list(POP_FRONT pending header)
    if(header IN_LIST found)
      continue()
    endif()
    set(file "${PROJECT_SOURCE_DIR}/src/${header}")
    if(NOT EXISTS "${file}")
      message(FATAL_ERROR "A public header includes \"${header}\", which is not a header under src/")
    endif()
    list(APPEND found "${header}")
    set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" included "${line}")
      list(APPEND pending "${included}")
    endforeach()
  endwhile()
  list(SORT found)
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

qor_header_closure(${QOR_UMBRELLA_HEADER} QOR_PUBLIC_HEADERS)
list(REMOVE_ITEM QOR_PUBLIC_HEADERS ${QOR_UMBRELLA_HEADER})
foreach(header ${QOR_PUBLIC_HEADERS})
  get_filename_component(dir "${header}" DIRECTORY)
  install(FILES "src/${header}" DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/QORUniversalSDK/${dir}")
endforeach()
# An app includes <QORUniversalSDK/QORUniversalSDK.h>; the headers it reaches include each other
# rooted at include/QORUniversalSDK, as in the source tree.
install(FILES "src/${QOR_UMBRELLA_HEADER}" DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/QORUniversalSDK")
list(LENGTH QOR_PUBLIC_HEADERS QOR_PUBLIC_HEADER_COUNT)
message(STATUS "Installed headers: the umbrella header and ${QOR_PUBLIC_HEADER_COUNT} it reaches")

install(TARGETS QORUniversalSDK EXPORT QORUniversalSDKTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} ${CMAKE_INSTALL_INCLUDEDIR}/QORUniversalSDK)
install(EXPORT QORUniversalSDKTargets
  NAMESPACE QORUniversalSDK::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QORUniversalSDK)
configure_package_config_file(cmake/QORUniversalSDKConfig.cmake.in
  "${PROJECT_BINARY_DIR}/QORUniversalSDKConfig.cmake"
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QORUniversalSDK)
write_basic_package_version_file("${PROJECT_BINARY_DIR}/QORUniversalSDKConfigVersion.cmake"
  COMPATIBILITY SameMinorVersion)
install(FILES "${PROJECT_BINARY_DIR}/QORUniversalSDKConfig.cmake"
  "${PROJECT_BINARY_DIR}/QORUniversalSDKConfigVersion.cmake"
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QORUniversalSDK)
if(EXISTS "${PROJECT_SOURCE_DIR}/src/Views/Resources")
  install(DIRECTORY src/Views/Resources/ DESTINATION ${CMAKE_INSTALL_DATADIR}/QORUniversalSDK)
  # The build tree mirrors that layout: programs built in <build>/<folder>/ find the resources
  # in <build>/share/QORUniversalSDK, as installed ones do in <prefix>/share/QORUniversalSDK.
  set(QOR_BUILD_RESOURCES "${PROJECT_BINARY_DIR}/share/QORUniversalSDK")
  if(NOT EXISTS "${QOR_BUILD_RESOURCES}")
    file(MAKE_DIRECTORY "${PROJECT_BINARY_DIR}/share")
    file(CREATE_LINK "${PROJECT_SOURCE_DIR}/src/Views/Resources" "${QOR_BUILD_RESOURCES}" SYMBOLIC)
  endif()
endif()
