#!/usr/bin/env bash
# Fails when a program defines or needs a cairo, X11 or xcb symbol, or loads
# one of their libraries: what restores state must not carry the toolkit.
# Usage: no-gui-symbols.sh PROGRAM...
set -uo pipefail
status=0
for program in "$@"; do
    symbols=$(nm "$program" | grep -E ' (cairo_[a-z0-9_]+|X[A-Z][A-Za-z0-9]*|xcb_[a-z0-9_]+)$' | head -5)
    libraries=$(readelf -d "$program" | grep -E 'NEEDED.*lib(cairo|X11|X11-xcb|xcb|Xext)' | head -5)
    if [ -n "$symbols$libraries" ]; then
        echo "$program holds the toolkit:"
        printf '%s\n' "$symbols" "$libraries"
        status=1
    else
        echo "$(basename "$program"): no cairo, X11 or xcb symbol or library"
    fi
done
exit $status
