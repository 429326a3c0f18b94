#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's own prefix (of BUILD_DIR,
# build/ by default), never in a WINEPREFIX the caller exported: see
# wine-env.sh. Address-space randomization is off: see wine-env.sh.
#
# The program's standard error goes into a file, copied out once it has
# ended. Wine's desktop process (explorer.exe /desktop), started on demand by
# the first program that needs a window, is handed that program's standard
# error and lives until its desktop has been idle for a second: were it
# ctest's pipe, ctest would wait for the test until then, which on a busy
# run is long after the test and past its time limit.
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${BUILD_DIR:-$top/build}/wineprefix
export WINEDEBUG=${WINEDEBUG:--all}
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
setarch "$(uname -m)" -R wine "$@" 2>"$errors"
status=$?
cat "$errors" >&2
exit $status
