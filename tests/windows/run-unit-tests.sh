#!/bin/sh
# Runs the Windows unit tests under Wine on a display of their own, then
# ends the Wine session that display belonged to.
# Usage: run-unit-tests.sh WINDOWS_BUILD WINE64
set -u
build=$1
wine64=$2
wineserver="$(dirname "$wine64")/wineserver"
"$wineserver" -k 2>/dev/null
# The written-out UTF-8 decoder's exact replacement counts are the Linux
# build's; the system conversion has its own test in platform_win32_test.
xvfb-run -a "$wine64" "$build/ringtally_windows_tests.exe" \
    --gtest_filter=-Utf.IllFormedInputBecomesReplacementCharacter
status=$?
"$wineserver" -k 2>/dev/null
exit $status
