# Warnings are errors everywhere; sanitizers apply to every target of the build.
function(qor_apply_compile_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 reports false -Wrestrict overlaps inside std::string concatenation at -O3.
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(QOR_SANITIZE STREQUAL "address")
    # GCC's flow analysis reports false "maybe uninitialized" warnings on variant moves under ASan.
    target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
  endif()
endfunction()

if(QOR_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(QOR_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT QOR_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QOR_SANITIZE must be empty, 'address' or 'thread'")
endif()
