#!/usr/bin/env bash
# Pictures of the installer window for the documentation: every page, the
# custom message box and the cancel confirmation, in English and in Arabic
# (right to left), as PNGs in docs/screenshots/<language>/.
#
# The build's Wine prefix runs headless (Graphics driver "null"); for this
# script alone it is switched to the X11 driver on a private Xvfb display and
# switched back at the end. Build first (cmake --build build).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
hold_prefix

program=$build/fixtures/wizard_screenshots/wizard_screenshots.exe
[ -f "$program" ] || { echo "build wizard_screenshots first" >&2; exit 1; }

set_graphics() {
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d "$1" /f >/dev/null 2>&1 9>&-
  # Running Wine processes keep the driver they started with.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}

display=:$((90 + RANDOM % 800))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 9>&- &
xvfb=$!
cleanup() {
  set_graphics null
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 100); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done

set_graphics x11
status=0
for language in en ar; do
  out=$top/docs/screenshots/$language
  mkdir -p "$out"
  windows_out=$(winepath -w "$out" 2>/dev/null 9>&-)
  wine "$program" "$language" "$windows_out" 9>&- || status=1
done
exit $status
