#!/usr/bin/env bash
# The Wine lane: both Windows DLLs built with their test programs
# (scripts/build-windows.sh --tests), then, for x64 and for x86 under Wine in
# a prefix of its own (build-wine/prefix):
#   - the integration and conformance tests through each DLL's binary interface
#     (minus the few Linux-only cases named below),
#   - the registry tests (stored forms, round trips through new instances),
#   - the DLL's output for every kernel variant compared with the Linux
#     plug-in's (build/ZVKVexal.so): largest difference at most 1e-12,
#   - the editor in a host window on a private Xvfb server (clicks through
#     SendInput, close and reopen), and its pictures compared with the Linux
#     build's drawing of the same states outside the areas that hold text.
# Exits non-zero when anything fails. Run by scripts/ci-lanes.sh wine.
set -uo pipefail
cd "$(dirname "$0")/.."

# Everything below on an X server of its own: Wine's windows need one.
if [ -z "${VEXAL_WINE_LANE_DISPLAY:-}" ]; then
    VEXAL_WINE_LANE_DISPLAY=1 exec tests/gui/run-xvfb.sh "$0" "$@"
fi

log() { printf '\n=== %s\n' "$*"; }

# Wine for both architectures: the x86 one needs Debian's i386 packages.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root=()
    [ "$(id -u)" -eq 0 ] || as_root=(sudo)
    "${as_root[@]}" dpkg --add-architecture i386
    "${as_root[@]}" apt-get update -qq
fi
VEXAL_DEPS_EXTRA="wine wine64 wine32:i386" ./scripts/install-deps.sh || exit 1

log "building both DLLs and their tests"
mkdir -p build-wine
./scripts/build-windows.sh --tests >build-wine/build.log 2>&1 || { tail -40 build-wine/build.log; exit 1; }
cmake --build build -j "${VEXAL_JOBS:-2}" --target ZVKVexal vexal >/dev/null || exit 1
g++ -std=c++20 -O2 -Isrc tests/windows/OutputDump.cpp -o build-wine/output-dump -ldl || exit 1
# shellcheck disable=SC2046
g++ -std=c++20 -O2 tests/windows/PictureCompare.cpp -o build-wine/picture-compare $(pkg-config --cflags --libs cairo) || exit 1

export WINEPREFIX="$PWD/build-wine/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1 </dev/null || { echo "wineboot failed"; exit 1; }
# One server for every run below (its output must not hold our pipes open).
wineserver -p 300 >/dev/null 2>&1 </dev/null
trap 'wineserver -k >/dev/null 2>&1' EXIT

# Linux-only cases: the X11 editor thread, the interposing real-time guards
# (not built for Windows) and the heap poisoning that needs them.
conformance_filter="-State.NoUninitialisedBytes"

status=0
./build-wine/output-dump write build/ZVKVexal.so build-wine/linux.out >/dev/null || status=1

# The Linux build's drawing of the editor test's picture states (its
# kPictureCases), after 0.1 s of silence as the editor test's window has none.
le() { local v=$1 n=$2; while [ "$n" -gt 0 ]; do printf "\\x$(printf %02x $((v & 255)))"; v=$((v >> 8)); n=$((n - 1)); done; }
{ printf 'RIFF'; le 17676 4; printf 'WAVEfmt '; le 16 4; le 1 2; le 2 2; le 44100 4; le 176400 4; le 4 2; le 16 2
  printf 'data'; le 17640 4; head -c 17640 /dev/zero; } >build-wine/silence.wav
declare -A picture_states=(
    [default]=""
    [knobs]="0=0.9 1=0.625 2=0.4 3=0.61 5=0.5 13=0.5 4=0.5 9=0.165 10=0.5 11=0.125"
    [switches]="8=0 16=1 6=1 7=1 15=1 14=1 19=1 17=1 21=1 18=0.25"
)
for state in "${!picture_states[@]}"; do
    raw=()
    for v in ${picture_states[$state]}; do raw+=(--raw "$v"); done
    build/vexal snapshot "build-wine/linux-$state.png" "${raw[@]}" --signal build-wine/silence.wav --no-user-state \
        >/dev/null || status=1
done

run() {  # run LOG-NAME EXE ARGS...: one program under Wine, on an empty settings key
    local name=$1
    shift
    wine reg delete 'HKCU\Software\Ortelwerk' /f >/dev/null 2>&1 </dev/null
    if "$@" >"build-wine/$name.log" 2>&1 </dev/null; then
        echo "$name: $(grep -E '^\[  PASSED  \]|values written' "build-wine/$name.log" | tail -1)"
    else
        echo "$name: FAILED (build-wine/$name.log)"
        grep -E '^\[  FAILED  \]|Failure|FAIL' "build-wine/$name.log" | head -20
        status=1
    fi
}

for arch in win64 win32; do
    dll="build-$arch/ZVKVexal.dll"
    objdump=x86_64-w64-mingw32-objdump
    [ $arch = win32 ] && objdump=i686-w64-mingw32-objdump
    log "$arch: imports $($objdump -p "$dll" | sed -n 's/.*DLL Name: //p' | tr '\n' ' ')"
    log "$arch: exports $($objdump -p "$dll" | sed -n '/Ordinal\/Name Pointer/,/^$/p' | grep -E '^\s+\[ *[0-9]+\] ' | awk '{print $NF}' | tr '\n' ' ')"
    run "$arch-integration" wine "build-$arch/tests/vexal_integration_tests.exe"
    run "$arch-conformance" wine "build-$arch/tests/vexal_conformance_tests.exe" --gtest_filter="$conformance_filter"
    run "$arch-registry" wine "build-$arch/tests/vexal_registry_tests.exe"
    mkdir -p "build-wine/pictures-$arch"
    run "$arch-editor" env VEXAL_PICTURE_DIR="build-wine/pictures-$arch" wine "build-$arch/tests/vexal_editor_window_tests.exe"
    for state in "${!picture_states[@]}"; do
        echo -n "$arch editor picture $state against Linux: "
        ./build-wine/picture-compare "build-wine/pictures-$arch/editor-$state.bmp" "build-wine/linux-$state.png" || status=1
    done
    for variant in portable sse2 avx2 avx512; do
        run "$arch-output-$variant" env VEXAL_KERNEL=$variant wine "build-$arch/tests/vexal_output_dump.exe" \
            write "$dll" "build-wine/$arch-$variant.out"
        echo -n "$arch $variant against Linux: "
        ./build-wine/output-dump compare build-wine/linux.out "build-wine/$arch-$variant.out" 1e-12 || status=1
    done
done
exit $status
