# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the POSIX
# thread model, which std::thread needs). Used by the windows preset.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUILLMARK_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLMARK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLMARK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLMARK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUILLMARK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained executable each: no mingw runtime DLLs to ship beside
# quillmark-cli.exe (or to find under Wine).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
