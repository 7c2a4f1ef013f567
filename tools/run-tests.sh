#!/bin/bash
# run-tests.sh BUILD JOBS: make test's CTest run: the host tests, the fuzz targets' short runs and
# the Wine tests of the build that build/windows-path names (build/win for the 32-bit path,
# build/win64 for the 64-bit one). A line just before CTest's summary says which build the Wine
# tests ran against and why.
set -u
build=$1 jobs=$2
bits=$(head -1 "$build/windows-path")
why=$(sed -n 2p "$build/windows-path")
win=win; [ "$bits" = 64 ] && win=win64
printf 'subdirs("host" "%s" "fuzz")\n' "$win" > "$build/CTestTestfile.cmake"
line="Wine tests: the $bits-bit build (build/$win) under $bits-bit Wine, because $why."
if [ "$bits" = 64 ]; then  # tests/win/only-32-bit.txt
  left_out=$(sed -n 's/^test \([^:]*\): \(.*\)/\1 (\2)/p' "$(dirname "$0")/../tests/win/only-32-bit.txt" | paste -sd ';' | sed 's/;/; /g')
  line="$line Not registered on this path: ${left_out:-nothing}."
fi
echo "$line"
cd "$build" || exit 1
ctest --output-on-failure -j"$jobs" --timeout 900 |
  awk -v line="$line" '/tests passed, [0-9]+ tests failed out of/ { print line } { print; fflush() }'
exit "${PIPESTATUS[0]}"
