# HARNWICK_SANITIZE: sanitizers for the whole build, as -fsanitize takes them
# (e.g. "address,undefined"). Undefined behaviour stops the program, so a
# test that reaches it fails.
set(HARNWICK_SANITIZE "" CACHE STRING "Sanitizers for every target, e.g. address,undefined")
if(HARNWICK_SANITIZE)
  add_compile_options(-fsanitize=${HARNWICK_SANITIZE} -fno-omit-frame-pointer)
  if(HARNWICK_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
  add_link_options(-fsanitize=${HARNWICK_SANITIZE})
endif()

# HARNWICK_FUZZ: builds the libFuzzer targets in fuzz/ (clang only) and
# instruments everything they link for coverage.
option(HARNWICK_FUZZ "Build the libFuzzer targets (clang)" OFF)
if(HARNWICK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "HARNWICK_FUZZ needs clang (CMAKE_CXX_COMPILER=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
