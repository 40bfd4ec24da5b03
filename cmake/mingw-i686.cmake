# Cross build for 32-bit Windows with Debian's MinGW-w64 (win32 threads, DWARF-2
# exceptions). Pass it as an absolute path:
#   cmake -S . -B build/mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(VELORIN_MINGW_TRIPLET i686-w64-mingw32)
# The -win32 names are the ones the win32-threads package itself provides; the
# unsuffixed names are alternatives that may point at the posix variant, whose
# runtime needs libwinpthread-1.dll next to the library.
set(CMAKE_C_COMPILER ${VELORIN_MINGW_TRIPLET}-gcc-win32)
set(CMAKE_CXX_COMPILER ${VELORIN_MINGW_TRIPLET}-g++-win32)
set(CMAKE_RC_COMPILER ${VELORIN_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELORIN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No Qt, GDAL or GoogleTest exists for this target: the cross build holds the
# extension, the COM server and its Wine test programs only.
set(VELORIN_DESKTOP OFF CACHE BOOL "Build the Qt and GDAL stand-ins, the map window and the tests")
