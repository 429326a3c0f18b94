#!/usr/bin/env bash
# Runs the installer's main job under Wine, as far as this build goes, and
# shows what it did.
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
installer=$build/bin/installer.exe

wineserver -p 60
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

show() {
  echo "\$ installer.exe $*"
  wine "$installer" "$@" </dev/null
  echo
  echo "(exit code $?)"
  echo
}

show --version
show --internal-version
show --stream
show --help

temp_unix=$(winepath -u "$(wine cmd /c echo %TEMP% | tr -d '\r')")
log_dir="$temp_unix/Velto Installer"
show --backend --installfolder='C:\Velto Demo'
latest=$(ls -t "$log_dir"/*.log 2>/dev/null | head -n 1)
if [ -n "$latest" ]; then
  echo "Log file of that run: $latest"
  sed 's/^/  /' "$latest"
fi
