#!/usr/bin/env bash
# Builds ZVKVexal.dll for Windows x64 and x86 with Debian's MinGW-w64 cross
# compilers (posix thread model) and packs dist/ZVKVexal-win64.zip and
# dist/ZVKVexal-win32.zip: the DLL and the user manual.
#   scripts/build-windows.sh            both DLLs and both zips
#   scripts/build-windows.sh --tests    also the Windows test programs (for
#                                       the Wine lane; needs Debian's googletest sources)
# A native build in build/ draws the artwork and the manual first (the
# cross builds embed the same PNG files). Build folders: build-win64, build-win32.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="${VEXAL_JOBS:-2}"
tests=OFF
[ "${1:-}" = "--tests" ] && tests=ON

cross_packages="g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix zip"
[ $tests = ON ] && cross_packages+=" googletest"
VEXAL_DEPS_EXTRA="$cross_packages" ./scripts/install-deps.sh

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

# The artwork and the manual, from the native build.
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
cmake --build build -j "$jobs" --target vexal_resources vexal_manual >/dev/null

for arch in win64 win32; do
    case $arch in
        win64) toolchain=cmake/mingw-x86_64.cmake ;;
        win32) toolchain=cmake/mingw-i686.cmake ;;
    esac
    cmake -S . -B "build-$arch" -G Ninja -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVEXAL_BUILD_TESTS=$tests \
        -DVEXAL_EMBEDDED_PNGS="$PWD/build/resources/EmbeddedPngs.cpp" >/dev/null
    cmake --build "build-$arch" -j "$jobs"

    stage="dist/ZVKVexal-$arch"
    rm -rf "$stage" "dist/ZVKVexal-$arch.zip"
    mkdir -p "$stage"
    cp "build-$arch/ZVKVexal.dll" build/share/doc/zvk-vexal/manual.html "$stage/"
    [ -f build/share/doc/zvk-vexal/editor.png ] && cp build/share/doc/zvk-vexal/editor.png "$stage/"
    (cd "$stage" && zip -q -X "../ZVKVexal-$arch.zip" ./*)
    rm -rf "$stage"
    echo "dist/ZVKVexal-$arch.zip"
done
