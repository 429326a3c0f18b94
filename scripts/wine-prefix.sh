#!/usr/bin/env bash
# Creates the Wine prefix of the build folder once: a 64-bit prefix with no
# crash debugger and the null graphics driver, so tests run headless.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$top/build/wineprefix}
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them and there is no network to fetch them.
export WINEDLLOVERRIDES="mscoree,mshtml="
stamp=$WINEPREFIX/.velto-prefix-ready
[ -f "$stamp" ] && exit 0
# Address-space randomization off for every Wine process: see wine-env.sh.
if (( (16#$(cat /proc/self/personality) & 16#40000) == 0 )); then
  exec setarch "$(uname -m)" -R "$BASH" "$0" "$@"
fi
mkdir -p "$WINEPREFIX"
wine wineboot -i >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d '' /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /t REG_SZ /d 0 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
wineserver -w
touch "$stamp"
