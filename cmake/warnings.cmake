# One target carries the project's warning flags; every target links it.
add_library(quillmark_warnings INTERFACE)
target_compile_options(quillmark_warnings INTERFACE -Wall -Wextra -Wpedantic)
if(QUILLMARK_WARNINGS_AS_ERRORS)
  target_compile_options(quillmark_warnings INTERFACE -Werror)
endif()
