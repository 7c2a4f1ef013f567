#!/bin/bash
# bench-copy.sh [BUILD]: the 32-bit decoder against zlib for the same target, decoding alone
# (decode_bench) and into files, and the installation run against its parts (decoding, a plain
# write of the same files), under Wine in disposable prefixes (build/win/wine-run.sh); then the
# size of setup.exe without its payload. Needs the Windows build.
set -eu
build=${1:-$(dirname "$0")/../build}
bench="$build/win/bin/copy_bench.exe"
decode="$build/win/bin/decode_bench.exe"
setup="$build/win/bin/setup.exe"
blob="$build/win/payload/payload_blob.bin"  # the catalogue setup.exe embeds
if [ ! -x "$build/win/wine-run.sh" ] || [ ! -f "$bench" ] || [ ! -f "$decode" ]; then
  echo "bench-copy: build the Windows programs first (make win)" >&2
  exit 1
fi
"$build/win/wine-run.sh" "$decode"
"$build/win/wine-run.sh" "$bench"

exe=$(stat -c %s "$setup")
payload=$(stat -c %s "$blob")
dlls=$(i686-w64-mingw32-objdump -p "$setup" | sed -n 's/^\tDLL Name: //p' | tr '\n' ' ')
echo "== setup.exe: $exe bytes, payload $payload bytes"
echo "setup.exe without its payload: $(( (exe - payload) / 1000 )) KB (goal: at most 400 KB)"
echo "DLLs it imports: $dlls"
