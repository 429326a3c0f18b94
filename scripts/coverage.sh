#!/usr/bin/env bash
# Line coverage of the product's own code under the whole test suite.
#
# Builds an instrumented copy of the project (gcc --coverage, no optimisation,
# the shipped build's NDEBUG) in its own build folder with its own Wine prefix,
# runs every unit and end-to-end test against it, and writes under
# <build>/coverage/ an HTML report (index.html), summary.txt, one line per
# source folder, and files-below-60.txt, the files under 60% of lines. The
# normal build folder is not touched.
#
# Every Windows process that the tests start, also the installer processes
# that run from package folders the end-to-end tests make, writes its counts
# when it exits: the .gcda paths compiled into each object are absolute Unix
# paths of this build folder, and GCOV_PREFIX=Z: (inherited by every child)
# makes them Z:/..., the drive Wine maps to the Unix root, whatever drive the
# process runs on. Processes of one binary merge their counts into the same
# files under gcov's file lock (made patient: scripts/coverage_file_lock.c).
# A process that ends through TerminateProcess (or a Unix kill, or the
# wineserver's end) writes nothing.
#
# Exit status: that of the test run; the report is written either way.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${BUILD_DIR:-$top/build-coverage}")
jobs=${JOBS:-$(nproc)}
report=$build/coverage
cd "$top"

bash scripts/install-deps.sh gcovr || exit 1

# gcov's file lock made patient under Wine: scripts/coverage_file_lock.c.
mkdir -p "$build"
lock=$build/coverage_file_lock.o
x86_64-w64-mingw32-gcc-posix -O2 -Wall -c scripts/coverage_file_lock.c -o "$lock" || exit 1
# Atomic counter updates: the installer's processes count on several threads
# at once, and lost increments make gcov derive negative branch counts, which
# stop gcovr.
flags="-O0 -DNDEBUG --coverage -fprofile-update=atomic"
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Coverage \
  -DCMAKE_C_FLAGS_COVERAGE="$flags" -DCMAKE_CXX_FLAGS_COVERAGE="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS_COVERAGE="--coverage $lock" \
  -DCMAKE_SHARED_LINKER_FLAGS_COVERAGE="--coverage $lock" >/dev/null || exit 1
cmake --build "$build" -j "$jobs" || exit 1

export WINEPREFIX=$build/wineprefix
bash scripts/wine-prefix.sh || exit 1

# Counts of earlier runs go: the report is of this run alone.
find "$build" -name '*.gcda' -delete
rm -rf "$report"

started=$(date +%s)
GCOV_PREFIX=Z: GCOV_PREFIX_STRIP=0 BUILD_DIR=$build bash scripts/run-tests.sh
status=$?
echo "Tests ended with status $status after $(( $(date +%s) - started )) s."

# Every process of a test executable writes every object of its own, so
# their run counts must agree; a file that gcov could not lock or open for a
# process shows fewer.
for dir in "$build"/CMakeFiles/*_unittests.dir; do
  runs=$(find "$dir" -name '*.gcda' -exec x86_64-w64-mingw32-gcov-dump-posix {} + 2>/dev/null |
         grep -o 'runs=[0-9]*' | sort -u | tr '\n' ' ')
  [ "$(wc -w <<< "$runs")" -le 1 ] ||
    echo "Counts lost: the objects of $(basename "$dir" .dir) show $runs"
done

# The product's own code: every source folder but tests, test helpers,
# fixtures, benchmarks, third-party and generated sources. The Wine prefix
# is not searched: its drive links lead to the whole file system.
mkdir -p "$report"
gcovr --root "$top" --object-directory "$build" --exclude-directories "$build/wineprefix" \
      --gcov-executable x86_64-w64-mingw32-gcov-posix -j "$jobs" \
      --filter 'base/' --filter 'crypto/' --filter 'prefs/' --filter 'crash/' \
      --filter 'net/' --filter 'crash_reporting/' --filter 'product_config/' \
      --filter 'features/' --filter 'desktop/' --filter 'installer_exe/' \
      --exclude '.*_unittest\.cc$' --exclude '.*/test/.*' \
      --html-details "$report/index.html" --html-title "Installer line coverage" \
      --json-summary "$report/summary.json" --json-summary-pretty \
      "$build" >/dev/null || exit 1
python3 scripts/coverage-summary.py "$report/summary.json" > "$report/summary.txt" || exit 1
python3 scripts/coverage-summary.py "$report/summary.json" --files-below 60 \
  > "$report/files-below-60.txt" || exit 1
cat "$report/summary.txt"
echo "Report: $report/index.html"
exit $status
