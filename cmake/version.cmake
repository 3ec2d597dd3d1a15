# The version lives in project() alone. From it come quillmark_version.h,
# which the programs and the tests include (the quillmark_version target),
# and the Windows resource script with its version information.
set(QUILLMARK_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/cmake/quillmark_version.h.in
  ${QUILLMARK_GENERATED_DIR}/quillmark_version.h @ONLY)
set(QUILLMARK_RESOURCES_DIR ${PROJECT_SOURCE_DIR}/resources)
configure_file(${PROJECT_SOURCE_DIR}/resources/quillmark.rc.in
  ${QUILLMARK_GENERATED_DIR}/quillmark.rc @ONLY)

add_library(quillmark_version INTERFACE)
target_include_directories(quillmark_version INTERFACE ${QUILLMARK_GENERATED_DIR})
