# Installs the build in BUILD_DIR under DEST_DIR with the prefix /usr and
# checks that the tree holds exactly the expected files.
file(REMOVE_RECURSE ${DEST_DIR})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${DEST_DIR}
          ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
  RESULT_VARIABLE installed OUTPUT_QUIET)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${installed}")
endif()

# Each package's own documents, then what each holds.
set(expected
  usr/bin/quillmark-cli
  usr/share/bash-completion/completions/quillmark-cli
  usr/share/doc/quillmark-cli/changelog.gz
  usr/share/doc/quillmark-cli/copyright
  usr/share/doc/quillmark-cli/examples/quillmark.en.toml
  usr/share/doc/quillmark-cli/examples/quillmark.toml
  usr/share/doc/quillmark-cli/examples/stamp-profile.toml
  usr/share/man/man1/quillmark-cli.1.gz
  usr/share/man/zh_CN/man1/quillmark-cli.1.gz)
if(WITH_LABELS)
  list(APPEND expected
    usr/${LIBDIR}/quillmark/quillmark-labels.so
    usr/share/doc/quillmark-labels/changelog.gz
    usr/share/doc/quillmark-labels/copyright)
endif()
if(WITH_POSTGRESQL)
  list(APPEND expected
    usr/${LIBDIR}/quillmark/quillmark-postgresql.so
    usr/share/doc/quillmark-postgresql/changelog.gz
    usr/share/doc/quillmark-postgresql/copyright)
  file(GLOB ledger_sql RELATIVE ${SOURCE_DIR}/ledger/sql ${SOURCE_DIR}/ledger/sql/postgresql/*.sql)
  foreach(file IN LISTS ledger_sql)
    list(APPEND expected usr/share/quillmark/sql/${file})
  endforeach()
endif()
if(WITH_APP)
  list(APPEND expected
    usr/share/doc/quillmark/changelog.gz
    usr/share/doc/quillmark/copyright
    usr/bin/Quillmark
    usr/share/applications/quillmark.desktop
    usr/share/doc-base/quillmark
    usr/share/doc-base/quillmark-en
    usr/share/doc/quillmark/Quillmark.html
    usr/share/doc/quillmark/Quillmark_en.html
    usr/share/man/man1/Quillmark.1.gz
    usr/share/man/zh_CN/man1/Quillmark.1.gz
    usr/share/metainfo/org.quillmark.Quillmark.metainfo.xml)
  foreach(size 16 22 24 32 48 64 128 256)
    list(APPEND expected usr/share/icons/hicolor/${size}x${size}/apps/quillmark.png)
  endforeach()
endif()
list(SORT expected)
file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE ${DEST_DIR} ${DEST_DIR}/*)
list(SORT found)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "installed tree:\n  ${found}\nexpected:\n  ${expected}")
endif()
# The one folder installed empty: where the station configuration goes.
if(NOT IS_DIRECTORY ${DEST_DIR}/etc/quillmark)
  message(FATAL_ERROR "etc/quillmark is not installed")
endif()

execute_process(COMMAND ${DEST_DIR}/usr/bin/quillmark-cli --version
  OUTPUT_VARIABLE version RESULT_VARIABLE ran)
if(NOT ran EQUAL 0 OR NOT version STREQUAL "quillmark-cli ${VERSION}\n")
  message(FATAL_ERROR "installed quillmark-cli --version: ${ran} '${version}'")
endif()

if(WITH_APP)
  foreach(program Quillmark quillmark-cli)
    execute_process(COMMAND test -x ${DEST_DIR}/usr/bin/${program} RESULT_VARIABLE executable)
    if(NOT executable EQUAL 0)
      message(FATAL_ERROR "usr/bin/${program} is not executable")
    endif()
  endforeach()
  file(READ ${DEST_DIR}/usr/share/applications/quillmark.desktop entry)
  if(NOT entry MATCHES "\nExec=Quillmark[ \n]" OR NOT entry MATCHES "\nIcon=quillmark\n")
    message(FATAL_ERROR "the desktop entry does not start the installed Quillmark with its icon")
  endif()
  file(READ ${DEST_DIR}/usr/share/icons/hicolor/48x48/apps/quillmark.png png LIMIT 8 HEX)
  if(NOT png STREQUAL "89504e470d0a1a0a")
    message(FATAL_ERROR "the installed icon is not a PNG image")
  endif()
endif()
