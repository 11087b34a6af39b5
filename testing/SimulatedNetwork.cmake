# The simulated ad network and the helpers an app around it needs: loopback HTTP(S) servers and
# their certificate, the container, demand endpoints and trackers, the collection endpoint, the
# IP echo, temporary folders and app homes, scoped environment variables, file helpers and
# running a program as a child. It uses no SDK code (cpp-httplib, OpenSSL, nlohmann-json and the
# standard library only), so a program that links the SDK's shared library can link it without a
# second copy of the SDK. The SDK's own build includes this file from testing/; the example app
# includes it from the SDK's checkout when it is built outside the tree, against the installed
# package, and gets the same library from the same sources.
include_guard(GLOBAL)

find_package(PkgConfig REQUIRED)
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
find_package(OpenSSL REQUIRED)
find_package(nlohmann_json 3.10 REQUIRED)
set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)

set(QOR_SIMULATED_NETWORK_DIR "${CMAKE_CURRENT_LIST_DIR}")
set(QOR_SIMULATED_NETWORK_SOURCES
  AdNetworkDocuments.cpp ChildProcess.cpp CollectionServer.cpp FileHelpers.cpp IPEchoServer.cpp
  LoopbackServer.cpp ScopedEnvironment.cpp SimulatedAdNetwork.cpp TempDirectory.cpp TestAppHome.cpp
  TestCertificate.cpp)

# Adds the static library `target`. Its headers are included as "testing/<name>.h" through an
# include root of its own (a link to this folder in the build tree), which reaches nothing else
# of the checkout.
function(qor_add_simulated_network target)
  list(TRANSFORM QOR_SIMULATED_NETWORK_SOURCES PREPEND "${QOR_SIMULATED_NETWORK_DIR}/" OUTPUT_VARIABLE sources)
  set(root "${CMAKE_CURRENT_BINARY_DIR}/${target}-include")
  file(MAKE_DIRECTORY "${root}")
  file(REMOVE "${root}/testing")
  file(CREATE_LINK "${QOR_SIMULATED_NETWORK_DIR}" "${root}/testing" SYMBOLIC)
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC "${root}")
  target_compile_features(${target} PUBLIC cxx_std_20)
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_link_libraries(${target} PUBLIC PkgConfig::HTTPLIB OpenSSL::SSL OpenSSL::Crypto Threads::Threads
    PRIVATE nlohmann_json::nlohmann_json)
endfunction()
