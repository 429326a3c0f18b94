#!/usr/bin/env bash
# Runs the installer's main job under Wine and shows what it did: a silent
# net install from the local package server into a scratch folder, what the
# installation left on the machine, then its silent uninstall.
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

# The main job: a silent net install into a scratch folder. The plain
# installer.exe asks the local package server (standing in for the maker's)
# for the download address, downloads the browser package, checks and
# unpacks it and installs it for the current user.
# Wine's note that a Unix folder has no volume label is not the installer's.
quiet() { grep -v 'FS volume label and serial are not available' || true; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/velto-demo.XXXXXX")
mkdir -p "$scratch/download"
cp "$installer" "$build/bin/installer_lib.dll" "$scratch/download/"
install_unix="$scratch/Velto"
install_win=$(winepath -w "$install_unix" | tr -d '\r')
/usr/bin/python3 -c 'import json, sys
sys.path.insert(0, sys.argv[1])
from package_server import protocol_config
json.dump(protocol_config(sys.argv[2]), open(sys.argv[3], "w"))' \
  "$top/tests/fixtures" "$build/fixtures/delivery/velto_package.exe" "$scratch/server.json"
/usr/bin/python3 "$top/tests/fixtures/package_server.py" --config "$scratch/server.json" \
    --port-file "$scratch/port" --record "$scratch/requests.jsonl" &
server=$!
for _ in $(seq 600); do [ -s "$scratch/port" ] && break; sleep 0.05; done
base="http://127.0.0.1:$(cat "$scratch/port")"
touch "$scratch/install.mark"
echo "\$ installer.exe --silent --allusers=0 --installfolder=$install_win" \
  "--internal-package-server=$base/netinstaller/quenn/windows/x64/"
wine "$scratch/download/installer.exe" --silent --allusers=0 --enable-installer-stats=0 \
  --launchvelto=0 --v=1 \
  "--internal-package-server=$base/netinstaller/quenn/windows/x64/" \
  "--local-pref-default-overrides-server=$base/api/prefs/" \
  "--installfolder=$install_win" </dev/null 2>&1 | quiet
echo "(exit code ${PIPESTATUS[0]})"
echo
echo "Requests the package server received:"
/usr/bin/python3 -c 'import json, sys
for line in open(sys.argv[1]):
    r = json.loads(line)
    print("  %s %s -> %s" % (r["method"], r["target"], r["status"]))' "$scratch/requests.jsonl"
echo

registry() {
  # Exported rather than queried: "reg query" shows an empty string as the
  # data of the value before it.
  local out="$scratch/registry.reg"
  wine reg export HKCU "$(winepath -w "$out" | tr -d '\r')" /y >/dev/null 2>&1
  /usr/bin/python3 -c 'import sys
sys.path.insert(0, sys.argv[1])
from machine_state import _read_reg_export
for key, values in sorted(_read_reg_export(sys.argv[2]).items()):
    shown = [(n, d) for n, d in sorted(values.items())
             if "velto" in (key + n + d).lower()]
    if shown or "velto" in key.lower():
        print("  [%s]" % key)
        for name, data in shown:
            print("      %s = %s" % (name, data))' "$top/tests/e2e" "$out"
  rm -f "$out"
}
shortcuts() {
  find "$WINEPREFIX/drive_c/users" "$WINEPREFIX/drive_c/ProgramData" -iname '*velto*.lnk' \
    2>/dev/null | sed "s|$WINEPREFIX/||; s/^/  /"
}
tasks() {
  # Task Scheduler 1.0 keeps .job files in windows\tasks; Wine keeps a 2.0
  # registration as a file under system32\tasks (without its triggers).
  find "$WINEPREFIX/drive_c/windows/tasks" "$WINEPREFIX/drive_c/windows/system32/tasks" \
    -type f -iname '*velto*' 2>/dev/null | sed "s|$WINEPREFIX/||; s/^/  /"
}
files() {
  (cd "$install_unix" 2>/dev/null && find . -type f | sort | sed 's/^/  /')
}
machine_state() {
  echo "Registry values of the current user that name Velto (uninstall entry, registration,"
  echo "protocol handler, last install path):"
  registry
  echo
  echo "Shortcuts:"
  shortcuts
  echo
  echo "Scheduled autoupdate task (Wine's Task Scheduler 2.0 cannot make its triggers):"
  tasks
  echo
}
run_logs() {
  # The last lines of each log the run wrote: the front end, the back end it
  # started and, for a download, the package's own installer.
  find "$log_dir" -name '*.log' -newer "$1" 2>/dev/null | sort | while read -r log; do
    echo "Last lines of $(basename "$log")" \
      "($(sed -n 's/.*Command line: .*installer\.exe"\{0,1\} \(--[a-z-]*\).*/\1/p' "$log" | head -n 1)):"
    grep ':INFO:' "$log" | tail -n "$2" | cut -c1-160 | sed 's/^/  /'
  done
}

echo "Files of the installation:"
files
echo
echo "Installation status (installation_status.json):"
sed 's/^/  /' "$install_unix/installation_status.json" 2>/dev/null; echo
echo
echo "installer_prefs.json:"
sed 's/^/  /' "$install_unix/installer_prefs.json" 2>/dev/null; echo
echo
machine_state
run_logs "$scratch/install.mark" 4
echo

# The uninstall, as the uninstall entry starts it: the installation's
# launcher runs the installer kept in the version folder with --uninstall
# (here with --silent as well). Its statistics go to the maker's address,
# which cannot be reached from here.
subfolder=$(sed -n 's/.*"_subfolder":"\([^"]*\)".*/\1/p' "$install_unix/installation_status.json")
touch "$scratch/uninstall.mark"
echo "\$ Velto\\$subfolder\\installer.exe --uninstall --silent"
wine "$install_unix/$subfolder/installer.exe" --uninstall --silent </dev/null 2>&1 | quiet
echo "(exit code ${PIPESTATUS[0]})"
# The clean-up batch file deletes what was still in use, then itself.
for _ in $(seq 1200); do [ -e "$install_unix/k.bat" ] || break; sleep 0.1; done
echo
run_logs "$scratch/uninstall.mark" 4
echo
echo "What is left of the installation: the installer preferences stay; under Wine the"
echo "clean-up batch file cannot wait for the installer's processes to end (TASKLIST and"
echo "FIND /c do not work there), so the installer that ran the uninstall may stay too:"
files
echo
machine_state
kill "$server" 2>/dev/null; wait "$server" 2>/dev/null
rm -rf "$scratch"
