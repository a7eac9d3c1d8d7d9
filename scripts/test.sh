#!/usr/bin/env bash
# Builds everything and runs every test: unit tests and end-to-end tests of
# the real program under 32-bit Wine on an Xvfb display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw
. scripts/wine-session.sh
trap stop_session EXIT
start_session
ctest --preset mingw "$@"
