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

# The main job: a silent install of the browser package into a scratch folder.
# This build has no package fetcher yet, so the installer runs from an unpacked
# package folder (the fixture package), as the package's own installer does.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/velto-demo.XXXXXX")
cp -r "$build/fixtures/package-1" "$scratch/package"
install_unix="$scratch/Velto"
install_win=$(winepath -w "$install_unix" | tr -d '\r')
# The local package server answers the run's preference-overrides request.
printf '{"routes": {"/api/prefs/": {"json": {}}}}' > "$scratch/server.json"
/usr/bin/python3 "$top/tests/fixtures/package_server.py" --config "$scratch/server.json" \
    --port-file "$scratch/port" &
server=$!
for _ in $(seq 600); do [ -s "$scratch/port" ] && break; sleep 0.05; done
overrides="http://127.0.0.1:$(cat "$scratch/port")/api/prefs/"
echo "\$ package/installer.exe --silent --installfolder=$install_win"
wine "$scratch/package/installer.exe" --silent --enable-installer-stats=0 --launchvelto=0 \
  "--local-pref-default-overrides-server=$overrides" --v=1 \
  "--installfolder=$install_win" </dev/null
echo "(exit code $?)"
echo
echo "Files of the installation:"
(cd "$install_unix" 2>/dev/null && find . -type f | sort | sed 's/^/  /')
echo
echo "Installation status (installation_status.json):"
sed 's/^/  /' "$install_unix/installation_status.json" 2>/dev/null; echo
echo
echo "installer_prefs.json:"
sed 's/^/  /' "$install_unix/installer_prefs.json" 2>/dev/null; echo
echo
echo "Registry values written:"
for root in HKCU HKLM; do
  for key in 'Software\Clients\StartMenuInternet\Veltoquenn' \
             'Software\Classes\Veltoquenn' \
             'Software\Microsoft\Windows\CurrentVersion\Uninstall'; do
    wine reg query "$root\\$key" /s 2>/dev/null | tr -d '\r' | grep -v '^$' | sed 's/^/  /'
  done
done
echo
echo "Shortcuts:"
find "$WINEPREFIX/drive_c/users" "$WINEPREFIX/drive_c/ProgramData" -iname '*velto*.lnk' \
  2>/dev/null | sed "s|$WINEPREFIX/||; s/^/  /"
echo
echo "Scheduled tasks:"
ls "$WINEPREFIX/drive_c/windows/tasks" "$WINEPREFIX/drive_c/windows/system32/tasks" 2>/dev/null \
  | grep -i velto | sed 's/^/  /'
echo
latest=$(ls -t "$log_dir"/*.log 2>/dev/null | head -n 1)
if [ -n "$latest" ]; then
  echo "Last lines of the back end's log ($latest):"
  tail -n 8 "$latest" | cut -c1-200 | sed 's/^/  /'
fi
echo

# The uninstall, by the installer inside the installation.
subfolder=$(sed -n 's/.*"_subfolder":"\([^"]*\)".*/\1/p' "$install_unix/installation_status.json")
cp "$scratch/package/installer.exe" "$scratch/package/installer_lib.dll" \
   "$install_unix/$subfolder/" 2>/dev/null
echo "\$ Velto/$subfolder/installer.exe --uninstall --silent"
wine "$install_unix/$subfolder/installer.exe" --uninstall --silent --enable-installer-stats=0 \
  "--installfolder=$install_win" </dev/null
echo "(exit code $?)"
echo "What is left of the installation:"
(cd "$install_unix" 2>/dev/null && find . -type f | sort | sed 's/^/  /')
kill "$server" 2>/dev/null; wait "$server" 2>/dev/null
rm -rf "$scratch"

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
