set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)
find_package(CURL REQUIRED)
find_package(nlohmann_json 3.10 REQUIRED)
find_package(pugixml REQUIRED)
# The image decoders under UIImage: each format's maintained library, made for untrusted files.
find_package(PNG 1.6 REQUIRED)
find_package(JPEG REQUIRED)
find_package(GIF 5 REQUIRED)
