# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix threads) against the Qt and
# libtiff that tools/windows/build-toolchain.sh builds into its cache:
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-toolchain.cmake
# The cache is $PLOVER_MINGW_TOOLCHAIN, or ${XDG_CACHE_HOME:-~/.cache}/plover/mingw-toolchain-<host Qt>.
# Programs built here run under Wine with a private prefix in the build tree.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(plover_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${plover_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${plover_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${plover_mingw}-windres)

if(DEFINED ENV{PLOVER_MINGW_TOOLCHAIN})
    set(plover_toolchain_cache $ENV{PLOVER_MINGW_TOOLCHAIN})
else()
    # Named after the host Qt: the cross-built Qt must match the host tools (moc, rcc, uic) exactly.
    execute_process(COMMAND qtpaths6 --query QT_VERSION OUTPUT_VARIABLE plover_host_qt
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
        set(plover_toolchain_cache $ENV{XDG_CACHE_HOME}/plover/mingw-toolchain-${plover_host_qt})
    else()
        set(plover_toolchain_cache $ENV{HOME}/.cache/plover/mingw-toolchain-${plover_host_qt})
    endif()
endif()
set(PLOVER_MINGW_PREFIX ${plover_toolchain_cache}/win64)

set(CMAKE_FIND_ROOT_PATH ${PLOVER_MINGW_PREFIX} /usr/${plover_mingw})
set(CMAKE_PREFIX_PATH ${PLOVER_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# moc, rcc and uic come from the host Qt of the same version.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# Wine finds the DLLs on WINEPATH: Qt, libtiff and the mingw runtime all sit in the cache's bin
# folder. The prefix is private to the build tree so nothing touches the user's ~/.wine.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all
    WINEPATH=Z:${PLOVER_MINGW_PREFIX}/bin wine)
