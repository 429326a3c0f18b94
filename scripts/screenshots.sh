#!/usr/bin/env bash
# Pictures of the installer window for the documentation: every page, the
# options page turned to a language of the other reading direction and back,
# the custom message box and the cancel confirmation, in English and in
# Arabic (right to left), as PNGs in docs/screenshots/<language>/.
#
# The build's Wine prefix runs headless (Graphics driver "null"); for this
# script alone it is switched to the X11 driver on a private Xvfb display and
# switched back at the end. The program runs inside a Wine virtual desktop, so
# that Wine draws the windows' frames and title bars itself (Xvfb has no
# window manager). Wine draws the title bar's buttons with the Marlett font,
# which only Debian's fonts-wine carries: its marlett.ttf is put into the
# prefix for this run alone (installing the package would give every run of
# the prefix Wine's other fonts too). Build first (cmake --build build).
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
fonts=$WINEPREFIX/drive_c/windows/Fonts
cleanup() {
  set_graphics null
  rm -f "$fonts/marlett.ttf"
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=$display
for _ in $(seq 100); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done

marlett=/usr/share/wine/fonts/marlett.ttf
if [ ! -f "$marlett" ]; then
  scratch=$(mktemp -d)
  (cd "$scratch" && apt-get download fonts-wine >/dev/null 2>&1 && dpkg-deb -x ./fonts-wine_*.deb .) ||
    echo "fonts-wine could not be fetched: the title bars' buttons show letters" >&2
  marlett=$scratch/usr/share/wine/fonts/marlett.ttf
fi
mkdir -p "$fonts"
[ -f "$marlett" ] && cp "$marlett" "$fonts/marlett.ttf"
[ -n "${scratch:-}" ] && rm -rf "$scratch"

set_graphics x11
pictures=(welcome terms options options-turned options-turned-back progress error cancel messagebox
          uninstall)
status=0
for language in en ar; do
  out=$top/docs/screenshots/$language
  mkdir -p "$out"
  for picture in "${pictures[@]}"; do rm -f "$out/$picture.png"; done
  windows_out=$(winepath -w "$out" 2>/dev/null 9>&-)
  # The desktop's explorer does not pass the program's exit code on: the
  # pictures themselves tell whether it worked.
  wine explorer /desktop="velto-screenshots,1024x768" "$program" "$language" "$windows_out" 9>&- || true
  for picture in "${pictures[@]}"; do
    [ -s "$out/$picture.png" ] || { echo "missing: $language/$picture.png" >&2; status=1; }
  done
done
exit $status
