# Included by the ledger and by builds without it (Windows), whose run
# still sees the ledger's types and its schema version. The schema's
# migrations are the files sql/<back end>/NNN_name.sql, and
# nothing else says what they are: their numbers are the schema versions,
# counted from 1 without a gap, the same on both back ends, and the highest
# is the version this program writes. Every other file there (the
# PostgreSQL roles and grants) is built in by its name. The files are built
# into the library; the PostgreSQL ones also ship for the administrator of
# a shared ledger.
set(ledger_schema_version "")
foreach(backend IN ITEMS sqlite postgresql)
  file(GLOB sql_files RELATIVE ${CMAKE_CURRENT_LIST_DIR}/sql/${backend} CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_LIST_DIR}/sql/${backend}/*.sql)
  list(SORT sql_files)
  set(migrations "")
  set(expected 1)
  foreach(sql_file IN LISTS sql_files)
    file(READ ${CMAKE_CURRENT_LIST_DIR}/sql/${backend}/${sql_file} sql_text)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/sql/${backend}/${sql_file})
    if(NOT sql_file MATCHES "^0*([1-9][0-9]*)_[a-z0-9_]+\\.sql$")
      string(MAKE_C_IDENTIFIER ${backend}_${sql_file} sql_name)
      set(LEDGER_SQL_${sql_name} "${sql_text}")
      continue()
    endif()
    if(NOT CMAKE_MATCH_1 EQUAL expected)
      message(FATAL_ERROR "ledger/sql/${backend}: ${sql_file} is not migration ${expected}")
    endif()
    string(APPEND migrations
      "    Migration{${expected}, R\"quillmark_sql(${sql_text})quillmark_sql\"},\n")
    math(EXPR expected "${expected} + 1")
  endforeach()
  math(EXPR version "${expected} - 1")
  if(ledger_schema_version STREQUAL "")
    set(ledger_schema_version ${version})
  elseif(NOT version EQUAL ledger_schema_version)
    message(FATAL_ERROR "ledger/sql: the back ends' migrations end at different versions")
  endif()
  set(LEDGER_MIGRATIONS_${backend} "${migrations}")
endforeach()
set(LEDGER_SCHEMA_VERSION ${ledger_schema_version})
configure_file(${CMAKE_CURRENT_LIST_DIR}/schema_migrations.cpp.in ${CMAKE_CURRENT_BINARY_DIR}/schema_migrations.cpp @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/ledger_schema_version.h.in
  ${CMAKE_CURRENT_BINARY_DIR}/generated/ledger_schema_version.h @ONLY)

