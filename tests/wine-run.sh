#!/bin/sh
# Runs one Windows program of the build under Wine, in the build's own prefix.
# The test command starts Xvfb and makes the prefix before ctest runs.
here=$(cd "$(dirname "$0")/.." && pwd)
: "${WINEPREFIX:=$here/build/wineprefix}"
: "${WINEDEBUG:=-all}"
export WINEPREFIX WINEDEBUG WINEARCH=win32 WINEDLLOVERRIDES="mscoree,mshtml="
exec wine "$@"
