#!/usr/bin/env bash
# Measures the updater under Wine on this machine and prints a table, which
# it also writes to build/bench-results.md:
#  1. overhead: (start to result box - 2 s pause) / the same copy done directly,
#     median of several runs, on fresh targets, timed with hyperfine;
#  2. start-up: start to visible window, against a minimal Win32 program;
#  3. idle cost: the updater's CPU share while its copy is held still at 95;
#  4. footprint: file size and peak working set.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw >/dev/null
. scripts/wine-session.sh
trap stop_session EXIT
start_session
export LC_ALL=zh_CN.UTF-8

out=$BUILD_DIR/bench-results
mkdir -p "$out"
root_unix=$BUILD_DIR/bench-trees
mkdir -p "$root_unix"
root='Z:'$(echo "$root_unix" | tr / '\\')
bench() { wine "$BUILD_DIR/bin/bench.exe" "$@"; }
echo "making the source trees (once) in $root_unix"
bench prepare "$root" >/dev/null
# What was just written must not be flushed during the timed runs.
sync

# Wine's start of bench.exe itself is in every timed command; it is measured
# alone and taken out of both sides.
hyperfine --style basic --warmup 2 --runs 10 --export-csv "$out/nothing.csv" \
    -n nothing "wine '$BUILD_DIR/bin/bench.exe' nothing" >/dev/null
median() { awk -F, -v n="$2" 'NR > 1 && $1 == n { print $4 }' "$1"; }
nothing=$(median "$out/nothing.csv" nothing)

# The targets live in memory where the machine allows it: the figure is the
# copy's cost, not how busy this machine's disk happens to be flushing.
targets_unix=$root_unix/targets
mkdir -p "$targets_unix"
if mountpoint -q "$targets_unix" || mount -t tmpfs -o size=3g tmpfs "$targets_unix" 2>/dev/null; then
    where="targets in memory (tmpfs)"
else
    where="targets on disk"
fi
cleanup() { rm -rf "${targets_unix:?}"/*; mountpoint -q "$targets_unix" && umount "$targets_unix"; stop_session; }
trap cleanup EXIT

rows=""
for tree in t1k t10k t1g; do
    runs=5; [ "$tree" = t1g ] && runs=3
    target_unix=$targets_unix/$tree
    target=$root'\targets\'$tree
    hyperfine --style basic --warmup 1 --runs "$runs" --prepare "rm -rf '$target_unix'" --export-csv "$out/$tree.csv" \
        -n update "wine '$BUILD_DIR/bin/bench.exe' update '$root\\$tree' '$target'" \
        -n direct "wine '$BUILD_DIR/bin/bench.exe' direct '$root\\$tree' '$target'" >/dev/null
    u=$(median "$out/$tree.csv" update)
    d=$(median "$out/$tree.csv" direct)
    ratio=$(awk -v u="$u" -v d="$d" -v w="$nothing" 'BEGIN { printf "%.3f", (u - 2 - w) / (d - w) }')
    rows+=$(printf '| overhead, %s | %.3f s from start to box, %.3f s direct | %s | at most 1.05 |' \
        "$tree" "$(awk -v u="$u" -v w="$nothing" 'BEGIN{print u - w}')" \
        "$(awk -v d="$d" -v w="$nothing" 'BEGIN{print d - w}')" "$ratio")$'\n'
done

bench measure "$root" | tr -d '\r' > "$out/measure.txt"
get() { awk -F= -v k="$1" '$1 == k { print $2 }' "$out/measure.txt"; }
size=$(stat -c %s "$BUILD_DIR/bin/KorvelloUpdater.exe")
icon=$(stat -c %s res/updater.ico)
rows+="| start-up | $(get startup_updater_ms) ms / $(get startup_minimal_ms) ms for a minimal window | $(awk -v a="$(get startup_updater_ms)" -v b="$(get startup_minimal_ms)" 'BEGIN{printf "%.2f", a / b}') | at most 1.5 |"$'\n'
rows+="| idle cost at 95, held copy | CPU share over 5 s | $(get idle_share_percent) % | under 0.5 % |"$'\n'
rows+="| whole update's CPU (1,000 files) | of which the bar's climb: $(get climb_cpu_ms) ms over $(get climb_seconds) s | $(get update_cpu_ms) ms | |"$'\n'
rows+="| file size | of which the icon's six images: $icon bytes | $size bytes | under 200 KB |"$'\n'
rows+="| peak working set during an update | a minimal window under Wine: $(get minimal_peak_working_set_kb) KB | $(get peak_working_set_kb) KB | under 8 MB |"$'\n'

cpu=$(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)
{
    echo "Measured $(date -u +%Y-%m-%d) on $(nproc) cores of $cpu, $(LC_ALL=C free -g | awk '/Mem:/ {print $2}') GiB, $(wine --version), $(hyperfine --version), $where."
    echo
    echo "| figure | measured | value | target |"
    echo "|---|---|---|---|"
    printf '%s' "$rows"
} | tee "$out/table.md"
[ "$(get held)" = 1 ] || echo "note: the copy could not be held for the idle figure" >&2
