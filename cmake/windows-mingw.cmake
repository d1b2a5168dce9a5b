# Cross-building the program for 64-bit Windows on Linux: MinGW-w64 (posix
# threads) and Qt for Windows built with it, unpacked into KFZ_WINDOWS_QT. The
# host's own Qt tools of the same version (moc, rcc, uic) serve the build, and
# the programs built run under Wine through scripts/wine-windows, so that ctest
# runs the Windows test suites as it runs the Linux ones.
#
#   cmake -S . -B build-windows -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/windows-mingw.cmake -DKFZ_WINDOWS_QT=<sdk>/qt6-mingw

set(KFZ_WINDOWS_QT "$ENV{KFZ_WINDOWS_QT}" CACHE PATH "Qt for Windows (MinGW-w64), unpacked")
if(NOT EXISTS "${KFZ_WINDOWS_QT}/lib/cmake/Qt6/qt.toolchain.cmake")
    message(FATAL_ERROR "KFZ_WINDOWS_QT does not name an unpacked Qt for Windows: '${KFZ_WINDOWS_QT}'")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KFZ_WINDOWS_QT)

set(QT_HOST_PATH "/usr" CACHE PATH "Qt of the build machine, for its tools")
set(QT_HOST_PATH_CMAKE_DIR "/usr/lib/x86_64-linux-gnu/cmake" CACHE PATH "")
include("${KFZ_WINDOWS_QT}/lib/cmake/Qt6/qt.toolchain.cmake")

set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-windows")
