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
wineserver -p 900
cleanup() {
  rm -rf "$work"
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
# plain recursive copy of the same tree (xcopy) under the same Wine; then the
# time of each phase, from the back end's log.
bench_install() {
  local package=$work/install_package
  /usr/bin/python3 "$top/bench/make_install_package.py" "$BUILD_DIR/fixtures/package-1" \
      "$package" "${BENCH_INSTALL_FILES:-1600}" "${BENCH_INSTALL_MB:-300}"
  local files
  files=$(find "$package" -type f | wc -l)
  local t0 t1 t2 t3
  t0=$(date +%s.%N)
  wine cmd /c xcopy /e /i /q "$(winepath -w "$package")" "$(winepath -w "$work/copy")" \
      >/dev/null 2>&1
  t1=$(date +%s.%N)
  local logs="$(winepath -u "$(wine cmd /c echo %TEMP% | tr -d '\r')")/Velto Installer"
  local before
  before=$(ls "$logs" 2>/dev/null | wc -l)
  # The preference-overrides request the run makes goes to the local server.
  printf '{"routes": {"/api/prefs/": {"json": {}}}}' > "$work/prefs.json"
  rm -f "$work/port"
  /usr/bin/python3 "$top/tests/fixtures/package_server.py" --config "$work/prefs.json" \
      --port-file "$work/port" &
  local server=$!
  for _ in $(seq 600); do [ -s "$work/port" ] && break; sleep 0.05; done
  t2=$(date +%s.%N)
  wine "$package/installer.exe" --silent --enable-installer-stats=0 --launchvelto=0 --v=1 \
      "--local-pref-default-overrides-server=http://127.0.0.1:$(cat "$work/port")/api/prefs/" \
      "--installfolder=$(winepath -w "$work/installed")" </dev/null
  local rc=$?
  t3=$(date +%s.%N)
  kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true
  echo "install through the back end vs plain recursive copy ($files files, $(du -sm "$package" | cut -f1) MB): $(echo "scale=2; ($t3 - $t2) / ($t1 - $t0)" | bc)x the time ($(printf %.2f "$(echo "$t3 - $t2" | bc)") s vs $(printf %.2f "$(echo "$t1 - $t0" | bc)") s, exit code $rc)"
  # Phases: the back end that ran the steps is the one whose log holds them.
  local backend
  backend=$(grep -l "Copying file" "$logs"/*.log 2>/dev/null | tail -n 1)
  [ -n "$backend" ] && /usr/bin/python3 - "$backend" <<'PY'
import re, sys
marks = [("back end start", "Running backend"), ("steps built", "Reading files list"),
         ("first copy", "Copying file"), ("registry", "Setting up the registry"),
         ("status written", "Writing installation status"), ("end", "Installation succeeded")]
times = {}
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    m = re.match(r"\[\d+:\d+:\d+/(\d\d)(\d\d)(\d\d)\.(\d+):", line)
    if not m:
        continue
    t = int(m.group(1)) * 3600 + int(m.group(2)) * 60 + int(m.group(3)) + int(m.group(4)) / 1000
    for name, text in marks:
        if text in line and name not in times:
            times[name] = t
    if "Copying file" in line:
        times["last copy"] = t
order = [n for n, _ in marks[:3]] + ["last copy"] + [n for n, _ in marks[3:]]
seen = [n for n in order if n in times]
print("  phases of the back end: " + ", ".join(
    "%s→%s %.2f s" % (a, b, times[b] - times[a]) for a, b in zip(seen, seen[1:])))
PY
  rm -rf "$package" "$work/copy" "$work/installed"
}

bench_install

bench_extraction
