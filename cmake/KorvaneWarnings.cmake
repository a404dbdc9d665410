# Warnings are errors in our own code; third-party headers come in as system includes.
# is left out on purpose: interfaces end through Release, never through
# delete, and -Wdelete-non-virtual-dtor (part of -Wall) still catches a real delete.
add_library(korvane_warnings INTERFACE)
target_compile_options(korvane_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wcast-align
  -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough -Werror)
