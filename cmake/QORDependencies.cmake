set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)
find_package(CURL REQUIRED)
find_package(nlohmann_json 3.10 REQUIRED)
find_package(pugixml REQUIRED)

# stb ships as headers plus a pkg-config file on Debian.
find_path(QOR_STB_INCLUDE_DIR stb_image.h PATH_SUFFIXES stb REQUIRED)
add_library(qor_stb INTERFACE)
target_include_directories(qor_stb SYSTEM INTERFACE ${QOR_STB_INCLUDE_DIR})
