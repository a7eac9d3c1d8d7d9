#!/bin/sh
# Runs a test with a fixture that only the Unix side can make:
#   small-disk DIR   a 2 MiB tmpfs mounted on DIR, named in KORVELLO_SMALL_DISK
#   root-drive DIR   Wine's drive R: mapped to DIR
# Exits 77 (skipped) when the machine does not allow the fixture.
kind=$1 dir=$2
shift 2
here=$(cd "$(dirname "$0")/../.." && pwd)
: "${WINEPREFIX:=$here/build/wineprefix}"
mkdir -p "$dir"
case $kind in
small-disk)
    mountpoint -q "$dir" && umount "$dir"
    mount -t tmpfs -o size=2m tmpfs "$dir" 2>/dev/null || { echo "cannot mount a small disk here"; exit 77; }
    KORVELLO_SMALL_DISK=$dir "$@"; status=$?
    umount "$dir"
    ;;
root-drive)
    ln -sfn "$dir" "$WINEPREFIX/dosdevices/r:"
    "$@"; status=$?
    rm -f "$WINEPREFIX/dosdevices/r:"
    ;;
esac
exit $status
