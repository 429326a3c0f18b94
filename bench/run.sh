#!/usr/bin/env bash
# Runs the benchmarks under Wine and prints their figures and ratios.
#   bench/run.sh        (from a fresh clone: sets up, builds, then measures)
# The large inputs are made once and kept under build/bench/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$top/build}
make -C "$top" --no-print-directory build prefix BUILD_DIR="$BUILD_DIR" >/dev/null
source "$top/scripts/wine-env.sh"

wineserver -p 120
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wine cmd /c exit >/dev/null 2>&1 || true

echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GB", $2 / 1048576}' /proc/meminfo)," \
     "load $(cut -d' ' -f1-3 /proc/loadavg), $(wine --version)"
/usr/bin/python3 "$top/bench/extraction.py" "$BUILD_DIR"
