# Sourced by the scripts that run Windows programs: the build's Wine prefix,
# no debug channels, and no Mono or Gecko (nothing needs them and there is no
# network to fetch them).
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$top/build}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
