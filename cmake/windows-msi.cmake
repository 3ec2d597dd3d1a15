# The Windows installer (packaging/windows/), built on this machine with
# wixl and msibuild (Debian's wixl and msitools).
option(QUILLMARK_BUILD_MSI "Build the Windows installer quillmark.msi (wixl, msitools)" ON)
if(QUILLMARK_BUILD_MSI)
  find_program(QUILLMARK_WIXL wixl NO_CMAKE_FIND_ROOT_PATH)
  find_program(QUILLMARK_MSIBUILD msibuild NO_CMAKE_FIND_ROOT_PATH)
  if(NOT QUILLMARK_WIXL OR NOT QUILLMARK_MSIBUILD)
    message(FATAL_ERROR "The Windows installer is built with wixl and msibuild: install wixl "
                        "and msitools (bash scripts/install-deps.sh test), or configure with "
                        "-DQUILLMARK_BUILD_MSI=OFF")
  endif()
endif()

# MSI compares three fields, MAJOR.MINOR.BUILD (at most 255.255.65535), and
# ignores a fourth: project()'s PATCH and TWEAK share the third as
# PATCH * 1000 + TWEAK, so that 1.0.0.1 < 1.0.0.2 < 1.0.1.0 holds for the
# installer as well.
function(quillmark_msi_version full_version out_var)
  string(REGEX MATCH "^([0-9]+)\\.([0-9]+)\\.([0-9]+)(\\.([0-9]+))?$" matched ${full_version})
  set(tweak ${CMAKE_MATCH_5})
  if(NOT matched OR CMAKE_MATCH_1 GREATER 255 OR CMAKE_MATCH_2 GREATER 255
     OR CMAKE_MATCH_3 GREATER 64 OR tweak GREATER 999)
    message(FATAL_ERROR "The version ${full_version} has no MSI form: MAJOR and MINOR "
                        "up to 255, PATCH up to 64, TWEAK up to 999")
  endif()
  if(tweak STREQUAL "")
    set(tweak 0)
  endif()
  math(EXPR build "${CMAKE_MATCH_3} * 1000 + ${tweak}")
  set(${out_var} "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${build}" PARENT_SCOPE)
endfunction()

# TARGET builds OUTPUT, the installer of FULL_VERSION (project()'s form)
# with quillmark-cli.exe, and Quillmark.exe when the build has the dialog.
# Each version has a product code of its own, the same on every build of
# it: Windows Installer replaces an older version (a major upgrade) and
# takes a second build of one version as the same product.
function(quillmark_add_msi target output full_version)
  quillmark_msi_version(${full_version} msi_version)
  string(UUID product_code NAMESPACE 6D3B1F0A-52C4-4E8B-9C71-2F4A8E5D0B13
         NAME "Quillmark ${full_version}" TYPE SHA1 UPPER)
  set(wxs ${PROJECT_SOURCE_DIR}/packaging/windows/quillmark.wxs)
  set(script ${PROJECT_SOURCE_DIR}/packaging/windows/build_msi.sh)
  set(programs $<TARGET_FILE:quillmark-cli>)
  set(depends quillmark-cli)
  if(TARGET Quillmark)
    list(APPEND programs $<TARGET_FILE:Quillmark>)
    list(APPEND depends Quillmark)
  endif()
  add_custom_command(OUTPUT ${output}
    COMMAND ${script} ${output} ${wxs} ${full_version} ${msi_version} ${product_code}
            ${PROJECT_SOURCE_DIR} ${CMAKE_STRIP} ${programs}
    DEPENDS ${script} ${wxs} ${depends}
            ${PROJECT_SOURCE_DIR}/resources/quillmark_help.html
            ${PROJECT_SOURCE_DIR}/resources/quillmark_help_en.html
            ${PROJECT_SOURCE_DIR}/doc/quillmark.toml ${PROJECT_SOURCE_DIR}/doc/stamp-profile.toml
    COMMENT "Building the Windows installer ${output}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${output})
endfunction()
