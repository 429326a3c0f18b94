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
bench_extraction
