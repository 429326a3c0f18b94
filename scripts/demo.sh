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
