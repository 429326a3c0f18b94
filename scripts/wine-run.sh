#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix (of BUILD_DIR,
# build/ by default), never in a WINEPREFIX the caller exported: see
# wine-env.sh. Address-space randomization is off: see wine-env.sh.
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${BUILD_DIR:-$top/build}/wineprefix
export WINEDEBUG=${WINEDEBUG:--all}
exec setarch "$(uname -m)" -R wine "$@"
