include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The public folder include/QORUniversalSDK/ is exactly what is installed: the umbrella header
# <QORUniversalSDK/QORUniversalSDK.h> and the headers it reaches, which include each other as
# <QORUniversalSDK/...>: an app's include path holds the prefix's include/ only, so folders of the
# app's own named as the SDK's (Core/, Models/, Views/) do not collide. Nothing under src/ is installed.
install(DIRECTORY include/QORUniversalSDK DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
file(GLOB_RECURSE QOR_PUBLIC_HEADERS CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/include/QORUniversalSDK/*.h")
list(LENGTH QOR_PUBLIC_HEADERS QOR_PUBLIC_HEADER_COUNT)
message(STATUS "Installed headers: ${QOR_PUBLIC_HEADER_COUNT}, the public folder")

install(TARGETS QORUniversalSDK EXPORT QORUniversalSDKTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
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
