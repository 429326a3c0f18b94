# Sourced by the scripts that run Windows programs: the build's Wine prefix,
# no debug channels, and no Mono or Gecko (nothing needs them and there is no
# network to fetch them).
#
# The prefix is always the build's own, the one wine-prefix.sh prepares (the
# null graphics driver, no crash debugger): a WINEPREFIX the caller exported
# for other work is not used, or the tests would run in a prefix that can make
# no window.
#
# It also runs the sourcing script again with address-space randomization off,
# which every process it starts inherits. Wine's loader is linked at a fixed
# low address (0x7d000000) and, without Wine's preloader, the process heap
# starts after it at a random distance; now and then the heap reaches the page
# Wine must map at 0x7ffe0000 and the process dies at start ("failed to map
# the shared user data", silent under WINEDEBUG=-all: a test that ends in
# 0.01 s with no output, or a child that start.exe reports as "Internal
# error"). Without randomization the heap stays next to the loader.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$top/build}
export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ "${BASH_SOURCE[1]:-}" = "$0" ] && (( (16#$(cat /proc/self/personality) & 16#40000) == 0 )); then
  exec setarch "$(uname -m)" -R "$BASH" "$0" "$@"
fi

# Takes the prefix for this script alone, waiting while another run (tests, the
# demo) holds it: each ends by stopping the prefix's wineserver, which would
# kill the programs of a run still going on. The wineserver and Wine's
# services, which outlive the programs that start them, must not inherit the
# lock (start them with 9>&-).
hold_prefix() {
  mkdir -p "$WINEPREFIX"
  exec 9>"$WINEPREFIX/.velto-run.lock"
  flock 9
}
