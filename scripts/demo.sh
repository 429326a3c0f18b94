#!/usr/bin/env bash
# Runs the installer's main job under Wine, as far as this build goes, and
# shows what it did.
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
hold_prefix
installer=$build/bin/installer.exe

wineserver -p 60 9>&-
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

show() {
  echo "\$ installer.exe $*"
  wine "$installer" "$@" </dev/null
  local rc=$?
  echo
  echo "(exit code $rc)"
  echo
}

show --version
show --internal-version
show --stream
if [ -t 1 ]; then
  # The help opens a console of its own; Wine shows it on this terminal and
  # waits for a key.
  echo "\$ installer.exe --help"
  wine "$installer" --help
  echo
else
  echo "(installer.exe --help opens a console, which Wine shows only on a terminal)"
  echo
fi

temp_unix=$(winepath -u "$(wine cmd /c echo %TEMP% | tr -d '\r')")
log_dir="$temp_unix/Velto Installer"
show --backend --installfolder='C:\Velto Demo'
latest=$(ls -t "$log_dir"/*.log 2>/dev/null | head -n 1)
if [ -n "$latest" ]; then
  echo "Log file of that run: $latest"
  sed 's/^/  /' "$latest"
fi

# A real fetch: the local package server offers the fixture package; the
# product's package fetcher (driven by the fetch probe) asks for the download
# address, downloads, checks and unpacks it into the package folder and lists
# what arrived there.
delivery=$build/fixtures/delivery
fetch_dir=$(mktemp -d)
printf '{"routes": {"/netinstaller/": {"json": {"installer": "{base}/velto_package.exe", "installer_checksum": "{sha256:/velto_package.exe}"}}, "/velto_package.exe": {"file": "%s"}}}' \
  "$delivery/velto_package.exe" > "$fetch_dir/server.json"
/usr/bin/python3 "$top/tests/fixtures/package_server.py" --config "$fetch_dir/server.json" \
    --port-file "$fetch_dir/port" --record "$fetch_dir/requests.jsonl" &
server=$!
for _ in $(seq 600); do [ -s "$fetch_dir/port" ] && break; sleep 0.05; done
mkdir -p "$fetch_dir/download"
echo "\$ package_fetch_probe.exe --internal-package-server=http://127.0.0.1:$(cat "$fetch_dir/port")/netinstaller/"
wine "$delivery/package_fetch_probe_signed.exe" \
    --internal-package-server="http://127.0.0.1:$(cat "$fetch_dir/port")/netinstaller/" \
    --download-folder="$(winepath -w "$fetch_dir/download")" </dev/null | grep -v '^stats '
echo "Requests the server received:"
/usr/bin/python3 -c 'import json, sys
for line in open(sys.argv[1]):
    r = json.loads(line)
    print("  %s %s -> %s%s" % (r["method"], r["target"], r["status"],
                               " (Range %s)" % dict(r["headers"])["Range"]
                               if "Range" in dict(r["headers"]) else ""))' "$fetch_dir/requests.jsonl"
rm -f "$fetch_dir/port"
wait "$server" 2>/dev/null
rm -rf "$fetch_dir"
