# libFuzzer targets (clang only). The whole build gets the fuzzer's coverage
# instrumentation, so that the fuzzer explores the core's branches, and the
# sanitizers of Sanitize.cmake, so that a fault shows where it happens.
if(MORVANE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "MORVANE_FUZZ=ON needs clang: configure with CXX=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
