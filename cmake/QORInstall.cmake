include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# What an app uses (the analytics event API and its configuration, the error type, the shared
# HTTP session that start-up sets up) and the headers these include: the only headers installed.
# Everything else stays internal to the build.
set(QOR_PUBLIC_HEADERS
  Analytics/Analytics.h
  Analytics/Configuration.h
  Analytics/Events.h
  Analytics/Mediator.h
  Analytics/OutputFileStream.h
  Analytics/Plugin.h
  Analytics/QORLog.h
  Analytics/Settings/Settings.h
  Analytics/Storage.h
  Analytics/Store.h
  Analytics/StoredValueReader.h
  Analytics/System.h
  Analytics/Timeline.h
  Analytics/UserInfo.h
  Core/Delegate.h
  Core/Flattenable.h
  Core/JSON.h
  Core/KeyPath.h
  Core/SharedAnalyticsLog.h
  Core/StringEncoding.h
  Networking/Client/APIError.h
  Networking/Client/AnyError.h
  Networking/Client/QORSDKError.h
  Networking/Client/Request/AuthenticationMethod.h
  Networking/Client/Request/HTTPMethod.h
  Networking/Client/Request/ParameterEncoders.h
  Networking/Client/Request/ParsePipelines.h
  Networking/Client/Request/Request.h
  Networking/Client/Request/RequestAdapter.h
  Networking/Client/Request/ResponsePipeline.h
  Networking/Client/Result.h
  Networking/Client/Session/CallbackQueue.h
  Networking/Client/Session/Session.h
  Networking/Client/Session/SessionDelegate.h
  Networking/Client/Session/SessionTask.h
  Platform/Dispatch/DispatchQueue.h
  Platform/Export.h
  Platform/Foundation/Any.h
  Platform/Foundation/Coding/Codable.h
  Platform/Foundation/Coding/CodingErrors.h
  Platform/Foundation/Coding/CodingPath.h
  Platform/Foundation/Coding/CodingTraits.h
  Platform/Foundation/Coding/JSONText.h
  Platform/Foundation/Coding/KeyStrategy.h
  Platform/Foundation/Coding/KeyedDecodingContainer.h
  Platform/Foundation/Coding/KeyedEncodingContainer.h
  Platform/Foundation/ConstructionKey.h
  Platform/Foundation/Data.h
  Platform/Foundation/Date.h
  Platform/Foundation/Decimal.h
  Platform/Foundation/FileHandle.h
  Platform/Foundation/FileManager.h
  Platform/Foundation/HTTPURLResponse.h
  Platform/Foundation/JSONDecoder.h
  Platform/Foundation/JSONEncoder.h
  Platform/Foundation/JSONSerialization.h
  Platform/Foundation/NSLock.h
  Platform/Foundation/Net/HTTPHeaders.h
  Platform/Foundation/Net/URLParser.h
  Platform/Foundation/OperationQueue.h
  Platform/Foundation/OptionalTraits.h
  Platform/Foundation/PropertyList.h
  Platform/Foundation/PropertyListDecoder.h
  Platform/Foundation/PropertyListEncoder.h
  Platform/Foundation/URL.h
  Platform/Foundation/URLError.h
  Platform/Foundation/URLQueryItem.h
  Platform/Foundation/URLRequest.h
  Platform/Foundation/URLResponse.h
  Platform/Foundation/URLSession.h
  Platform/Foundation/URLSessionConfiguration.h
  Platform/Foundation/URLSessionDelegate.h
  Platform/Foundation/URLSessionTask.h
  Platform/Foundation/UserDefaults.h
)
foreach(header ${QOR_PUBLIC_HEADERS})
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
  # The build tree mirrors that layout: programs built in <build>/<folder>/ find the resources
  # in <build>/share/QORUniversalSDK, as installed ones do in <prefix>/share/QORUniversalSDK.
  set(QOR_BUILD_RESOURCES "${PROJECT_BINARY_DIR}/share/QORUniversalSDK")
  if(NOT EXISTS "${QOR_BUILD_RESOURCES}")
    file(MAKE_DIRECTORY "${PROJECT_BINARY_DIR}/share")
    file(CREATE_LINK "${PROJECT_SOURCE_DIR}/src/Views/Resources" "${QOR_BUILD_RESOURCES}" SYMBOLIC)
  endif()
endif()
