# Cross-compiling Corvanta for 64-bit Windows with Debian's MinGW-w64 compilers
# (packages g++-mingw-w64-x86-64 and binutils-mingw-w64-x86-64).
#
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
#   cmake --build build-win
#
# gives Corvanta.dll with its import library libCorvanta.dll.a.  The library itself links
# libgcc and libstdc++ statically (root CMakeLists.txt), so it needs only Windows system
# DLLs at run time; executables built with this file do the same (see below).
#
# Thread model: Debian ships the compilers in two flavours, -win32 and -posix.  The
# library creates no threads, and the win32 flavour's static libstdc++ needs no
# winpthread, so nothing of a threading runtime ends up in (or exported from) the DLL.
# The win32 flavour is therefore used.  CORVANTA_MINGW_THREADS=posix selects the other;
# its libstdc++ then pulls in winpthread, and the DLL imports libwinpthread-1.dll unless
# it is linked with -static (tests/windows checks the imports).

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CORVANTA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CORVANTA_MINGW_THREADS "win32" CACHE STRING "Thread model of the MinGW-w64 compilers (win32 or posix)")
set_property(CACHE CORVANTA_MINGW_THREADS PROPERTY STRINGS win32 posix)

# Prefer the flavour-suffixed drivers; fall back to the alternatives-managed names.
foreach(lang_tool C:gcc CXX:g++)
  string(REPLACE ":" ";" pair ${lang_tool})
  list(GET pair 0 lang)
  list(GET pair 1 tool)
  find_program(CORVANTA_MINGW_${lang}
    NAMES ${CORVANTA_MINGW_TRIPLE}-${tool}-${CORVANTA_MINGW_THREADS} ${CORVANTA_MINGW_TRIPLE}-${tool}
    NO_CMAKE_FIND_ROOT_PATH)
  if(NOT CORVANTA_MINGW_${lang})
    message(FATAL_ERROR "${CORVANTA_MINGW_TRIPLE}-${tool} not found: install g++-mingw-w64-x86-64")
  endif()
  set(CMAKE_${lang}_COMPILER ${CORVANTA_MINGW_${lang}})
endforeach()

find_program(CMAKE_RC_COMPILER NAMES ${CORVANTA_MINGW_TRIPLE}-windres NO_CMAKE_FIND_ROOT_PATH)
find_program(CMAKE_AR NAMES ${CORVANTA_MINGW_TRIPLE}-ar NO_CMAKE_FIND_ROOT_PATH)
find_program(CMAKE_RANLIB NAMES ${CORVANTA_MINGW_TRIPLE}-ranlib NO_CMAKE_FIND_ROOT_PATH)
find_program(CORVANTA_MINGW_OBJDUMP NAMES ${CORVANTA_MINGW_TRIPLE}-objdump NO_CMAKE_FIND_ROOT_PATH)

# Target headers and libraries come from the MinGW-w64 sysroot only; build tools from the
# host.
set(CMAKE_FIND_ROOT_PATH /usr/${CORVANTA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Executables (test hosts, tools) carry their C and C++ runtime too, so that they start
# on a bare Windows or Wine without the compiler's DLLs on the search path.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# Test executables run under Wine when one is installed.
find_program(CORVANTA_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/lib64/wine NO_CMAKE_FIND_ROOT_PATH)
if(CORVANTA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CORVANTA_WINE})
endif()
