#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix.
# WINEPREFIX may be set by the caller; the default is the prefix of build/.
# Address-space randomization is off: see wine-env.sh.
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$top/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
exec setarch "$(uname -m)" -R wine "$@"
