include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

foreach(header ${QOR_HEADERS})
  get_filename_component(dir "${header}" DIRECTORY)
  install(FILES "src/${header}" DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/QORUniversalSDK/${dir}")
endforeach()

install(TARGETS QORUniversalSDK EXPORT QORUniversalSDKTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/QORUniversalSDK)
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
endif()
