# Every target of the project compiles with the same warning set.
add_library(morvane_warnings INTERFACE)
target_compile_options(morvane_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual -Wimplicit-fallthrough)
if(MORVANE_WERROR)
  target_compile_options(morvane_warnings INTERFACE -Werror)
endif()
