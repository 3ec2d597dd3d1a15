# GoogleTest for the Windows build: built from the sources Debian ships
# (googletest), with the target's compiler, as part of this build.
set(QUILLMARK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources (googletest)")
if(NOT TARGET GTest::gtest_main)
  if(NOT EXISTS ${QUILLMARK_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest's sources not found in ${QUILLMARK_GOOGLETEST_SOURCE}: "
                        "install googletest")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # It names its targets GTest::gtest and GTest::gtest_main itself.
  add_subdirectory(${QUILLMARK_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
set(GTest_FOUND TRUE)
