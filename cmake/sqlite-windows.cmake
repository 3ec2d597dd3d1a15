# SQLite for the Windows build, which Debian does not build for mingw: the
# amalgamation scripts/install-deps.sh fetches (the release of Debian 12's
# libsqlite3), compiled into a static library with the options Debian
# builds its own with where they change what a ledger file holds or how a
# query behaves, so a ledger reads and grows alike on both systems.
set(QUILLMARK_SQLITE_SOURCE_DIR ${PROJECT_SOURCE_DIR}/build/deps/sqlite-3.40.1 CACHE PATH
    "The SQLite amalgamation (sqlite3.c, sqlite3.h) for the Windows build")
if(NOT EXISTS ${QUILLMARK_SQLITE_SOURCE_DIR}/sqlite3.c
   OR NOT EXISTS ${QUILLMARK_SQLITE_SOURCE_DIR}/sqlite3.h)
  message(FATAL_ERROR "The Windows build needs SQLite's source in ${QUILLMARK_SQLITE_SOURCE_DIR}: "
                      "run bash scripts/install-deps.sh test (or set QUILLMARK_SQLITE_SOURCE_DIR)")
endif()

enable_language(C)
add_library(quillmark_sqlite3 STATIC ${QUILLMARK_SQLITE_SOURCE_DIR}/sqlite3.c)
target_include_directories(quillmark_sqlite3 SYSTEM PUBLIC ${QUILLMARK_SQLITE_SOURCE_DIR})
target_compile_definitions(quillmark_sqlite3 PRIVATE
  SQLITE_THREADSAFE=1
  SQLITE_SECURE_DELETE
  SQLITE_DEFAULT_SYNCHRONOUS=2
  SQLITE_DEFAULT_WAL_SYNCHRONOUS=2
  SQLITE_MAX_SCHEMA_RETRY=25
  SQLITE_MAX_VARIABLE_NUMBER=250000
  SQLITE_LIKE_DOESNT_MATCH_BLOBS
  SQLITE_ENABLE_MATH_FUNCTIONS
  SQLITE_ENABLE_COLUMN_METADATA
  SQLITE_ENABLE_DBSTAT_VTAB
  SQLITE_ENABLE_UPDATE_DELETE_LIMIT
  SQLITE_ENABLE_UNLOCK_NOTIFY
  SQLITE_USE_URI=1
  SQLITE_OMIT_LOAD_EXTENSION)
# Its code is not ours: built as it comes, without the project's warnings.
target_compile_options(quillmark_sqlite3 PRIVATE -O2 -w)
add_library(SQLite::SQLite3 ALIAS quillmark_sqlite3)
