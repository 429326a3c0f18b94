#!/usr/bin/env bash
# Runs every benchmark under Wine and prints each figure as a ratio against
# its reference, measured in the same run on the same machine. Builds what it
# needs first (make build prefix). Each benchmark is one function below; add
# a function and a call at the end to add one.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$top/build}
make -C "$top" build prefix BUILD_DIR="$BUILD_DIR" >/dev/null
source "$top/scripts/wine-env.sh"
bin=$BUILD_DIR/bin

work=$(mktemp -d)
# Keeps one server for the whole run; one already running for the prefix
# serves as well.
wineserver -p 900 2>/dev/null || true
# The install benchmark's folder in memory, when it has one.
install_scratch=
# The Wine prefix the install benchmark runs in, while it runs.
install_prefix=
cleanup() {
  [ -z "$install_prefix" ] || WINEPREFIX=$install_prefix wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work" ${install_scratch:+"$install_scratch"}
  wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT
wine cmd /c exit >/dev/null 2>&1 || true

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"

# Download from loopback through the product's downloader (the local package
# server, tests/fixtures/package_server.py) against a plain copy of the file,
# and the cost of 1 KiB reads against 64 KiB reads.
bench_download() {
  local size_mb=${BENCH_DOWNLOAD_MB:-64}
  local file=$work/download.bin
  head -c $((size_mb * 1048576)) /dev/urandom > "$file"
  printf '{"routes": {"/package": {"file": "%s"}}}' "$file" > "$work/server.json"
  /usr/bin/python3 "$top/tests/fixtures/package_server.py" --config "$work/server.json" \
      --port-file "$work/port" &
  local server=$!
  for _ in $(seq 600); do [ -s "$work/port" ] && break; sleep 0.05; done
  local port
  port=$(cat "$work/port")
  mkdir -p "$work/out"
  wine "$bin/download_bench.exe" --url="http://127.0.0.1:$port/package" \
      --source="$(winepath -w "$file")" --out="$(winepath -w "$work/out")" --repeat=3
  rm -f "$work/port"
  wait "$server" || true
}

# Extraction of a browser-sized package (made once, kept in build/bench/)
# through the product's unpacker against the LZMA SDK's own extractor.
bench_extraction() {
  /usr/bin/python3 "$top/bench/extraction.py" "$BUILD_DIR"
}

bench_download

# Install wall time of a browser-sized package folder (300 MB, 1,600+ files)
# through installer.exe --silent (front end, back end, every step) against a
# plain recursive copy of the same tree (xcopy) under the same Wine. The
# package folder keeps the archive of that tree as its package file, from
# which the elevated install (every run under Wine is one) unpacks what it
# installs; the copy leaves that file out. The two
# alternate for BENCH_INSTALL_ROUNDS rounds, each timed run starting after the
# data written before it is on disk (sync), each into an empty folder; the
# figure is the best run of each side, the medians beside it. Then where the
# time of the last install went, from the logs of its processes.
# The package and both copies are kept in memory (/dev/shm, or
# BENCH_INSTALL_DIR): on a shared virtual disk the same 300 MB copy took
# anywhere from 2.2 to 4.3 s, which hid the installer's own cost. So is the
# Wine prefix the two run in (a copy of the build's): the elevated install
# unpacks into the Windows folder's Temp, which then lies on the same volume
# as the package and the installation, as the Windows folder and the
# programs' folder share the system drive of most machines.
# The k-th smallest of the numbers after k.
nth_smallest() {
  local k=$1
  shift
  printf '%s\n' "$@" | sort -n | sed -n "${k}p"
}

bench_install() {
  local scratch=${BENCH_INSTALL_DIR:-/dev/shm}
  [ -d "$scratch" ] && [ -w "$scratch" ] || scratch=$work
  scratch=$(mktemp -d "$scratch/velto-bench-install.XXXXXX")
  install_scratch=$scratch
  local build_prefix=$WINEPREFIX
  wineserver -k >/dev/null 2>&1 || true
  install_prefix=$scratch/prefix
  cp -a "$build_prefix" "$install_prefix"
  export WINEPREFIX=$install_prefix
  wineserver -p 900 2>/dev/null || true
  # C:\bench of that prefix.
  local bench=$install_prefix/drive_c/bench
  mkdir -p "$bench"
  local package=$bench/install_package
  local rounds=${BENCH_INSTALL_ROUNDS:-5}
  /usr/bin/python3 "$top/bench/make_install_package.py" "$BUILD_DIR/fixtures/package-1" \
      "$package" "${BENCH_INSTALL_FILES:-1600}" "${BENCH_INSTALL_MB:-300}"
  # The reference copies the tree without the package file (the archive of
  # the same tree that an elevated install unpacks from), copied once. Not
  # as hard links: an elevated installer refuses a file of more than one
  # name in the user's package folder.
  local tree=$bench/install_tree
  cp -a "$package" "$tree"
  rm -f "$tree/velto_package.exe"
  local files
  files=$(find "$tree" -type f | wc -l)
  local temp
  temp=$(winepath -u "$(wine cmd /c echo %TEMP% | tr -d '\r')")
  # The preference-overrides request the run makes goes to the local server.
  printf '{"routes": {"/api/prefs/": {"json": {}}}}' > "$work/prefs.json"
  rm -f "$work/port"
  /usr/bin/python3 "$top/tests/fixtures/package_server.py" --config "$work/prefs.json" \
      --port-file "$work/port" &
  local server=$!
  for _ in $(seq 600); do [ -s "$work/port" ] && break; sleep 0.05; done
  # Windows runs the Task Scheduler service from its start; under Wine the
  # first connection starts it, which takes about a second that would be
  # counted against the installer's scheduled-task step.
  wine net start schedule >/dev/null 2>&1 || true
  local copies=() installs=() rc=0 t0 t1 t2 t3 uninstaller
  for _ in $(seq "$rounds"); do
    rm -rf "$bench/copy"
    sync
    t0=$(date +%s.%N)
    wine cmd /c xcopy /e /i /q "C:\\bench\\install_tree" "C:\\bench\\copy" \
        >/dev/null 2>&1
    t1=$(date +%s.%N)
    copies+=("$(echo "$t1 - $t0" | bc)")
    rm -rf "$bench/installed"
    sync
    t2=$(date +%s.%N)
    wine "C:\\bench\\install_package\\installer.exe" --silent --enable-installer-stats=0 --launchvelto=0 --v=1 \
        "--local-pref-default-overrides-server=http://127.0.0.1:$(cat "$work/port")/api/prefs/" \
        "--installfolder=C:\\bench\\installed" </dev/null || rc=$?
    t3=$(date +%s.%N)
    installs+=("$(echo "$t3 - $t2" | bc)")
    # Uninstalled again, untimed, so that the prefix keeps no installation.
    for uninstaller in "$bench/installed"/*/installer.exe; do
      wine "$uninstaller" --uninstall --silent --enable-installer-stats=0 </dev/null \
          >/dev/null 2>&1 || true
    done
  done
  kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true
  local best_copy best_install median_copy median_install middle=$(( (rounds + 1) / 2 ))
  best_copy=$(nth_smallest 1 "${copies[@]}")
  best_install=$(nth_smallest 1 "${installs[@]}")
  median_copy=$(nth_smallest "$middle" "${copies[@]}")
  median_install=$(nth_smallest "$middle" "${installs[@]}")
  echo "install through the back end vs plain recursive copy ($files files, $(du -sm "$tree" | cut -f1) MB, best of $rounds): $(echo "scale=2; $best_install / $best_copy" | bc)x the time ($(printf %.2f "$best_install") s vs $(printf %.2f "$best_copy") s; medians $(printf %.2f "$median_install") s vs $(printf %.2f "$median_copy") s: $(echo "scale=2; $median_install / $median_copy" | bc)x; exit code $rc)"
  /usr/bin/python3 "$top/bench/install_phases.py" "$temp/Velto Installer" \
      "$temp/velto_crashreporter.log" "$t2" "$t3"
  wineserver -k >/dev/null 2>&1 || true
  export WINEPREFIX=$build_prefix
  install_prefix=
  rm -rf "$scratch"
  wineserver -p 900 2>/dev/null || true
}

bench_install

bench_extraction
