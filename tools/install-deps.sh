#!/bin/bash
# Installs what a fresh Debian 12 machine lacks for building and testing the setup program.
# Quick and silent when everything is already there.
#
# Both Windows toolchains and the 64-bit Wine are always wanted (the product is 32-bit; the
# 64-bit build is the test path on machines that cannot run 32-bit programs, and WINDOWS_BITS=64
# takes it anywhere). The 32-bit Wine is installed only where this machine runs 32-bit programs,
# and when it cannot be installed, the Windows tests take the 64-bit path (tools/windows-path.sh).
# A package index that cannot be refreshed (a mirror in the middle of a sync) is a warning: the
# lists already there are used. Only the machine's own package tools are used; its package
# sources are never changed.
set -u
packages=(
  cmake make g++ clang libclang-rt-14-dev python3 unzip
  googletest libgtest-dev zlib1g-dev libdeflate-dev
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-i686-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev libz-mingw-w64-dev
  wine wine64
  xvfb x11-apps x11-utils xdotool imagemagick
)
wine32=wine32:i386

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Whether the kernel runs a 32-bit x86 program: a 91-byte ELF that only calls exit(0).
runs_32_bit() {
  local probe rc
  local folder; folder="$(dirname "$0")/../build"  # the temporary folder may forbid running programs
  mkdir -p "$folder" && probe=$(mktemp "$folder/elf32-probe.XXXXXX") || return 1
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000T\200\004\0104\000\000\000\000\000\000\000\000\000\000\0004\000 \000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010[\000\000\000[\000\000\000\005\000\000\000\000\020\000\000\061\333\061\300\100\315\200' > "$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null; rc=$?
  rm -f "$probe"
  return $rc
}

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
want32=0
if ! installed "$wine32" && runs_32_bit; then want32=1; fi
[ ${#missing[@]} -eq 0 ] && [ $want32 = 0 ] && exit 0

sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
export DEBIAN_FRONTEND=noninteractive

refresh() {  # a failed refresh leaves the other lists usable
  local log; log=$(mktemp)
  if ! $sudo apt-get update -qq >"$log" 2>&1; then
    echo "install-deps: warning: not every package index could be refreshed; going on with the lists there are:" >&2
    grep -E '^(E|W):' "$log" | head -5 | sed 's/^/  /' >&2
  fi
  rm -f "$log"
}

# install PACKAGE...: three tries, the indexes refreshed before each; the last error is shown.
install() {
  local try log; log=$(mktemp)
  for try in 1 2 3; do
    refresh
    if $sudo apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1; then rm -f "$log"; return 0; fi
    [ $try -lt 3 ] && sleep $((try * 20))
  done
  grep -E '^(E|W):|held broken|Depends:' "$log" | head -8 | sed 's/^/  /' >&2
  rm -f "$log"
  return 1
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  if ! install "${missing[@]}"; then
    echo "install-deps: could not install: ${missing[*]}" >&2
    exit 1
  fi
fi

if [ $want32 = 1 ]; then
  echo "install-deps: this machine runs 32-bit programs: installing $wine32"
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  if install "$wine32"; then
    echo "install-deps: the Windows tests run against the 32-bit build"
  else
    echo "install-deps: warning: $wine32 could not be installed; the Windows tests take the 64-bit path" >&2
  fi
elif ! installed "$wine32"; then
  echo "install-deps: this machine cannot run 32-bit programs: the Windows tests take the 64-bit path"
fi
exit 0
