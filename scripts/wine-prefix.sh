#!/usr/bin/env bash
# Creates the Wine prefix of the build folder once: a 64-bit prefix with no
# crash debugger and the null graphics driver, so tests run headless.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
stamp=$WINEPREFIX/.velto-prefix-ready

# Wine makes the user's Desktop, Documents, Downloads and the like links to
# the home folder: what a test puts there (a desktop shortcut) would land
# outside the prefix, in a folder every prefix of the machine shares. Each
# becomes a folder of the prefix; this also mends a prefix made before.
own_user_folders() {
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/*; do
    if [ -L "$link" ]; then
      rm -f "$link"
      mkdir -p "$link"
    fi
  done
}

if [ -f "$stamp" ]; then
  own_user_folders
  exit 0
fi
mkdir -p "$WINEPREFIX"
wine wineboot -i >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d '' /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /t REG_SZ /d 0 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wineserver -w
own_user_folders
touch "$stamp"
