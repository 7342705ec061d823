#!/usr/bin/env bash
# The engine's speed in the Windows x64 DLL under Wine against the Linux
# plug-in, on this machine: bench/compare run by the Linux build and by the
# cross-built one (build-win64, as scripts/build-windows.sh --tests makes it)
# in turns, ROUNDS passes each turn, TURNS turns; per scene and kernel
# variant the median of each build's passes and their ratio (Wine / Linux).
#   bench/compare/wine-ratio.sh [TURNS] [ROUNDS]       (default 3 3)
# Uses the Wine prefix build-wine/prefix of the Wine lane when it exists.
set -euo pipefail
cd "$(dirname "$0")/../.."
turns=${1:-3}
rounds=${2:-3}
linux=build/bench/vexal_compare
windows=build-win64/tests/vexal_compare.exe
for f in "$linux" "$windows"; do [ -x "$f" ] || { echo "missing $f" >&2; exit 1; }; done
[ -d build-wine/prefix ] && export WINEPREFIX="$PWD/build-wine/prefix"
export WINEDEBUG=-all
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
args=(--rounds "$rounds" --variants sse2,avx2 --peer none)
for t in $(seq 1 "$turns"); do
    "$linux" "${args[@]}" >"$out/linux-$t.txt"
    wine "$windows" "${args[@]}" >"$out/wine-$t.txt" 2>/dev/null
done
# Lines: "  ZVK Vexal, VARIANT   MEDIAN   BEST   output peak ..." under a scene title.
collect() {  # collect BUILD: "scene|variant median" per turn
    for f in "$out/$1"-*.txt; do
        awk '/ kHz, / { scene = $1 } /^  ZVK Vexal, / { sub(",", "", $3); print scene "|" $3, $4 }' "$f"
    done
}
join -t' ' <(collect linux | sort | awk '{ a[$1] = a[$1] " " $2 } END { for (k in a) print k a[k] }' | sort) \
           <(collect wine | sort | awk '{ a[$1] = a[$1] " " $2 } END { for (k in a) print k a[k] }' | sort) |
awk -v n="$((turns))" '
function median(start, count,   i, j, v, t) {
    for (i = 0; i < count; i++) v[i] = $(start + i)
    for (i = 0; i < count; i++) for (j = i + 1; j < count; j++) if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
    return v[int(count / 2)]
}
BEGIN { printf "%-26s %12s %12s %8s   (ns per stereo frame, median of %d turns)\n", "scene | variant", "Linux", "Wine x64", "ratio", n }
{ l = median(2, n); w = median(2 + n, n); printf "%-26s %12.1f %12.1f %7.2fx\n", $1, l, w, w / l }'
