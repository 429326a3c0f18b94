#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and any more
# named as arguments, and fetches the LZMA SDK C sources from Debian's 7zip
# source package into third_party/. Safe to run again: it skips what is
# already there.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev wine wine64
          googletest nlohmann-json3-dev p7zip-full osslsigncode openssl ninja-build cmake
          python3-pytest dpkg-dev xvfb tmux "$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" = 0 ] || sudo_cmd=(sudo)

need_src=0
[ -d "$top/third_party/lzma/C" ] || need_src=1

if [ ${#missing[@]} -gt 0 ] || [ $need_src = 1 ]; then
  if [ $need_src = 1 ] && ! grep -rqs "deb-src" /etc/apt/sources.list /etc/apt/sources.list.d/; then
    # A deb-src entry for the same archive and suites as the machine's deb entry.
    src=/etc/apt/sources.list.d/debian-src.sources
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
        "${sudo_cmd[@]}" tee "$src" >/dev/null
    else
      grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
        "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/debian-src.list >/dev/null
    fi
  fi
  "${sudo_cmd[@]}" apt-get update -qq
fi

if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ $need_src = 1 ]; then
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get source -qq --download-only 7zip >/dev/null && dpkg-source -x --skip-patches ./*.dsc src >/dev/null)
  mkdir -p "$top/third_party/lzma"
  cp -r "$tmp/src/C" "$top/third_party/lzma/C"
  rm -rf "$tmp"
fi
