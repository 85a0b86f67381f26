#!/usr/bin/env bash
# Runs a Windows program under wine64 in a private prefix, quietly and without prompts.
# The prefix lives in the build folder of the program (created on first use).
set -e
prog="$1"; shift
build=${ORVEX_WINE_BUILD:-$(cd "$(dirname "$prog")" && while [ ! -f CMakeCache.txt ] && [ "$PWD" != / ]; do cd ..; done; pwd)}
export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
    /usr/lib/wine/wineserver -w 2>/dev/null || true
fi
exec /usr/lib/wine/wine64 "$prog" "$@"
