#!/usr/bin/env bash
# Runs every test under Wine: the GoogleTest executables through ctest, in
# parallel, then the end-to-end suite against the real installer.exe.
# One persistent wineserver serves the whole run.
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
hold_prefix

wineserver -p 900 9>&-
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
# Warm-up: the first program start brings up Wine's services.
wine cmd /c exit >/dev/null 2>&1 9>&- || true

jobs=$(nproc)
status=0
(cd "$build" && ctest -j"$jobs" --output-on-failure --timeout 300) || status=1
# A test process that was ended or crashed leaves its scratch key and folder;
# each test process removes those when it starts, and this one, which runs no
# test, does so for the last of them.
wine "$build/bin/base_unittests.exe" --gtest_filter=-* >/dev/null 2>&1 9>&- || true

# -rs: the reason of every case left out (some cannot run on an
# instrumented build) is printed.
BUILD_DIR=$build /usr/bin/python3 -m pytest -q -rs -p no:cacheprovider "$top/tests/e2e"
rc=$?
# 5: no tests collected; that is not a failure of the product.
if [ $rc -ne 0 ] && [ $rc -ne 5 ]; then status=1; fi
exit $status
