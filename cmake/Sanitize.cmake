# AddressSanitizer and UndefinedBehaviorSanitizer for the whole build (always on
# in the fuzz build); any report aborts. The run-time options that make leaks
# and every report fatal are in MORVANE_SANITIZER_ENVIRONMENT, which the tests
# get through CTest; scripts/fuzz exports the same. Leaks of the system
# libraries that Qt loads are suppressed by lsan-system-libraries.supp.
if(MORVANE_SANITIZE OR MORVANE_FUZZ)
  # Without the dynamic-type (vptr) check: on its first sight of each type it
  # probes memory through a pipe, so with no file descriptor left, as the fault
  # tests arrange, it reports every member access. Every other check stays on.
  add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize=vptr -fno-sanitize-recover=all)
  set(MORVANE_SANITIZER_ENVIRONMENT
      "ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1"
      "UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1"
      "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan-system-libraries.supp:print_suppressions=0")
else()
  set(MORVANE_SANITIZER_ENVIRONMENT "")
endif()
