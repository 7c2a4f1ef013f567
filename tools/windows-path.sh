#!/bin/bash
# windows-path.sh [BITS]: which Windows build the Wine tests and make run use on this machine.
# Prints two lines: 32 or 64, then why. The 32-bit path where the 32-bit Wine loader runs here
# (found out by running it once), the 64-bit path where it does not; BITS (WINDOWS_BITS) forces
# one: 64 anywhere, 32 only where the 32-bit loader runs.
set -u
forced=${1:-}
loader=${TW_WINE32_LOADER:-/usr/lib/wine/wine}  # another loader only in its test
if [ ! -x "$loader" ]; then
  can32=0; why32="the 32-bit Wine ($loader, package wine32:i386) is not installed"
elif version=$("$loader" --version 2>&1); then
  can32=1; why32="this machine runs 32-bit programs ($loader --version: $version)"
else
  can32=0; why32="this machine cannot run 32-bit programs ($(echo "$version" | tail -1 | sed 's/^.*line [0-9]*: //'))"
fi
case "$forced" in
  64) printf '64\nWINDOWS_BITS=64 chose it\n' ;;
  32) if [ $can32 = 0 ]; then echo "windows-path: WINDOWS_BITS=32, but $why32" >&2; exit 1; fi
      printf '32\nWINDOWS_BITS=32 chose it; %s\n' "$why32" ;;
  "") if [ $can32 = 1 ]; then printf '32\n%s\n' "$why32"; else printf '64\n%s\n' "$why32"; fi ;;
  *)  echo "windows-path: WINDOWS_BITS must be 32 or 64, not \"$forced\"" >&2; exit 1 ;;
esac
