# Warnings for our own code; third-party headers come in as system includes.
# -Wnon-virtual-dtor is left out on purpose: interfaces end through Release, never through
# delete, and -Wdelete-non-virtual-dtor (part of -Wall) still catches a real delete.
#
# Warnings become errors only where we ask for it (scripts/test.sh, CI): a user's or a
# distribution's build with a newer compiler must not stop on a warning that compiler is the
# first to give.
option(KORVANE_WERROR "Treat warnings in our own code as errors" OFF)

add_library(korvane_warnings INTERFACE)
target_compile_options(korvane_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wcast-align
  -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
  $<$<BOOL:${KORVANE_WERROR}>:-Werror>
  # GCC 12 in optimised builds reports -Wrestrict inside std::string's own operator+ and
  # insert, where no overlap can happen (GCC bug 105329); there it says nothing about our
  # code, and chasing each concatenation it picks would never end, so it is off for GCC 12.
  $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>)
