# CLI11 for the Windows build. It is header-only: its headers are copied
# out of the build machine's include folder, so that the cross compiler
# never searches that folder.
set(QUILLMARK_CLI11_HEADERS /usr/include/CLI CACHE PATH "The CLI11 headers (libcli11-dev)")
if(NOT TARGET CLI11::CLI11)
  if(NOT EXISTS ${QUILLMARK_CLI11_HEADERS}/CLI.hpp)
    message(FATAL_ERROR "CLI11 not found in ${QUILLMARK_CLI11_HEADERS}: install libcli11-dev")
  endif()
  set(_quillmark_cli11_include ${CMAKE_BINARY_DIR}/cli11-include)
  file(COPY ${QUILLMARK_CLI11_HEADERS} DESTINATION ${_quillmark_cli11_include})
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${_quillmark_cli11_include})
endif()
set(CLI11_FOUND TRUE)
