# The Windows build, cross-compiled with mingw-w64 (cmake --preset windows).
# The libraries come from the build machine's Debian packages, made usable
# for the target (cmake/windows/), and the test programs run under Wine in
# a Wine prefix of the build's own.

# GoogleTest built from its sources for the target.
set(GTest_DIR ${CMAKE_CURRENT_LIST_DIR}/windows CACHE PATH "GoogleTest for the Windows build")

# Every program reads and writes its narrow texts as UTF-8: the manifest
# sets the process's code page (command line, file names) to UTF-8.
add_library(quillmark_windows_manifest OBJECT ${PROJECT_SOURCE_DIR}/resources/utf8_manifest.rc)

include(${CMAKE_CURRENT_LIST_DIR}/sqlite-windows.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/windows-msi.cmake)

# toml++ is headers only: Debian's serve the cross build as well, for the
# station configuration and stamp profiles, seen through a folder of their
# own (the rest of /usr/include is the build machine's C library).
if(EXISTS /usr/include/toml++/toml.h AND NOT QUILLMARK_TOMLPP_INCLUDE)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/tomlplusplus)
  file(CREATE_LINK /usr/include/toml++ ${CMAKE_BINARY_DIR}/tomlplusplus/toml++ SYMBOLIC)
  set(QUILLMARK_TOMLPP_INCLUDE ${CMAKE_BINARY_DIR}/tomlplusplus CACHE PATH "toml++'s headers")
endif()

if(NOT QUILLMARK_BUILD_TESTS OR NOT CMAKE_CROSSCOMPILING)
  return()
endif()

find_program(QUILLMARK_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(QUILLMARK_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine
             NO_CMAKE_FIND_ROOT_PATH)
if(NOT QUILLMARK_WINE64 OR NOT QUILLMARK_WINESERVER)
  message(FATAL_ERROR "The Windows tests run under Wine: install wine64 "
                      "(bash scripts/install-deps.sh test), or configure with -DQUILLMARK_BUILD_TESTS=OFF")
endif()
set(QUILLMARK_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
set(QUILLMARK_WINE_RUN ${PROJECT_SOURCE_DIR}/cmake/run-under-wine.sh ${QUILLMARK_WINE_PREFIX}
    ${QUILLMARK_WINE64} ${QUILLMARK_WINESERVER})
# Each test program, and the test discovery, goes through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUILLMARK_WINE_RUN})

# One wineserver serves the whole test run: started (and the prefix made,
# the first time) before the first test, shut down after the last. Without
# it every program would pay for the server's start.
function(quillmark_wine_fixture)
  add_test(NAME quillmark_wine_start COMMAND ${QUILLMARK_WINE_RUN} --start)
  add_test(NAME quillmark_wine_stop COMMAND ${QUILLMARK_WINE_RUN} --stop)
  set_tests_properties(quillmark_wine_start PROPERTIES FIXTURES_SETUP quillmark_wine TIMEOUT 300)
  set_tests_properties(quillmark_wine_stop PROPERTIES FIXTURES_CLEANUP quillmark_wine TIMEOUT 60)
endfunction()
