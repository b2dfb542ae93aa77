#!/bin/sh
# Before the Wine tests: the Windows build must be there (make windows), and
# its Wine prefix is made or brought up to date, with no Wine program left
# running in it.
# Usage: prepare-wine.sh WINDOWS_BUILD WINE64
set -eu
build=$1
wine64=$2
for product in ringtally.exe ringtally-host.exe ringtally_windows_tests.exe Ringtally-Zuzu-1.2.0-setup.exe; do
    if [ ! -f "$build/$product" ]; then
        echo "$build/$product is missing: run 'make windows' first" >&2
        exit 1
    fi
done
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver="$(dirname "$wine64")/wineserver"
"$wineserver" -k 2>/dev/null || true
"$wine64" wineboot -u
"$wineserver" -w
