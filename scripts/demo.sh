#!/usr/bin/env bash
# Builds the updater and runs a demo update under Wine: a demo installation
# with a stand-in Korvello in build/e2e-work/demo is updated to version 2.
# Screenshots of the progress window and the result box are saved there as
# PNG files, with a report of what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw
# Use the desktop's display where there is one; otherwise an Xvfb of our own.
[ -n "${DISPLAY:-}" ] && export KORVELLO_OWN_DISPLAY=0
. scripts/wine-session.sh
trap stop_session EXIT
start_session
demo=build/e2e-work/demo
LC_ALL=zh_CN.UTF-8 wine build/bin/e2e_driver.exe demo >"$BUILD_DIR/demo-driver.log" 2>&1 </dev/null || true
[ -f "$demo/report.txt" ] || { echo "the demo did not run; see $BUILD_DIR/demo-driver.log" >&2; exit 1; }
for shot in progress result; do
    convert "$demo/$shot.bmp" "$demo/$shot.png" && rm -f "$demo/$shot.bmp"
done
cat "$demo/report.txt"
echo "screenshots: $demo/progress.png $demo/result.png"
grep -q 'window visible' "$demo/report.txt"
