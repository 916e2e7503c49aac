# Cross-builds the programs without a window for 64-bit Windows with Debian's mingw-w64
# (posix thread model), and runs what the build runs (tests, test discovery) under Wine.
#
#   scripts/windows-deps.sh     # once: compilers, Wine, and the libraries built for Windows
#   cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BUILD_GUI=OFF
#
# The libraries built for Windows live under TARNWICK_WINDOWS_PREFIX (by default
# build/windows-deps of this source tree); zlib comes from Debian's mingw-w64 sysroot.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARNWICK_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TARNWICK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNWICK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TARNWICK_MINGW_TRIPLE}-windres)

# The default is the folder build/windows-deps beside this file's folder rather than below
# CMAKE_SOURCE_DIR, so that try_compile() and projects built from elsewhere with this file
# (GoogleTest in scripts/windows-deps.sh) find the same libraries.
get_filename_component(_tarnwick_tree "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(TARNWICK_WINDOWS_PREFIX "${_tarnwick_tree}/build/windows-deps"
    CACHE PATH "Where scripts/windows-deps.sh installs the libraries built for Windows")
set(TARNWICK_WINEPREFIX "${TARNWICK_WINDOWS_PREFIX}/wine"
    CACHE PATH "The Wine prefix (C: drive and registry) that tests run in")
# try_compile() projects read this file again without the cache: hand them the values.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARNWICK_WINDOWS_PREFIX TARNWICK_WINEPREFIX)

# Libraries, headers and package files come only from the prefix and the mingw sysroot,
# never from the Linux /usr; programs run during the build are Linux ones.
set(CMAKE_FIND_ROOT_PATH "${TARNWICK_WINDOWS_PREFIX}" /usr/${TARNWICK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_PREFIX_PATH "${TARNWICK_WINDOWS_PREFIX}")

# pkg-config (libdeflate) reads only the prefix's and the sysroot's .pc files.
set(ENV{PKG_CONFIG_LIBDIR}
    "${TARNWICK_WINDOWS_PREFIX}/lib/pkgconfig:/usr/${TARNWICK_MINGW_TRIPLE}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
unset(ENV{PKG_CONFIG_SYSROOT_DIR})

# One self-contained .exe: libgcc, libstdc++ and winpthread are linked in, so it needs no
# DLL beside it. Static zlib too (its sysroot also has the import library of zlib1.dll).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(ZLIB_USE_STATIC_LIBS ON)

# Wine runs the tests and gtest_discover_tests() through cmake/wine-run.sh: quietly, without
# a display, in a prefix of its own below build/, with one wineserver kept between tests.
find_program(TARNWICK_WINE NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine NO_DEFAULT_PATH)
find_program(TARNWICK_WINE NAMES wine64 wine)
if(TARNWICK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${TARNWICK_WINE}
                                    ${TARNWICK_WINEPREFIX})
endif()
