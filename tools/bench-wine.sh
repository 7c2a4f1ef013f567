#!/bin/bash
# bench-wine.sh [BUILD]: the benchmarks under Wine, each in a disposable prefix (wine-run.sh):
# the 32-bit decoder against zlib for the same target, decoding alone (decode_bench) and into
# files; the installation run against its parts (decoding, a plain write of the same files); the
# start-up check; Finish to the end. Then the size of the 32-bit setup.exe without its payload.
# On the 64-bit path (build/windows-path) the figures that need 32-bit code are left out, each
# with a line saying so, and the others run against the 64-bit build.
set -eu
build=${1:-$(dirname "$0")/../build}
bits=$(head -1 "$build/windows-path")
why=$(sed -n 2p "$build/windows-path")
win="$build/win"; [ "$bits" = 64 ] && win="$build/win64"
if [ ! -x "$win/wine-run.sh" ] || [ ! -f "$win/bin/copy_bench.exe" ]; then
  echo "bench-wine: build the Windows programs first (make build)" >&2
  exit 1
fi
if [ "$bits" = 32 ]; then
  "$win/wine-run.sh" "$win/bin/decode_bench.exe"
else
  reason=$(sed -n 's/^bench decoder: //p' "$(dirname "$0")/../tests/win/only-32-bit.txt")
  echo "== 32-bit decoding alone and the 32-bit decoder under Wine: left out on the 64-bit path: $reason ($why)"
  echo "== The figures below are of the 64-bit build (build/win64) under 64-bit Wine"
fi
if [ "$bits" = 32 ]; then "$win/wine-run.sh" "$win/bin/copy_bench.exe"; else "$win/wine-run.sh" "$win/bin/copy_bench.exe" run; fi
echo "== Start-up under Wine: the catalogue's check, and the time until the wizard is shown"
"$win/wine-run.sh" "$win/bin/check_bench.exe"
echo "== Finish under Wine: from Finish to the end of the program, without and with a needed update"
"$win/wine-run.sh" "$win/bin/finish_bench.exe"

setup="$build/win/bin/setup.exe"
blob="$build/win/payload/payload_blob.bin"  # the catalogue setup.exe embeds
exe=$(stat -c %s "$setup")
payload=$(stat -c %s "$blob")
dlls=$(i686-w64-mingw32-objdump -p "$setup" | sed -n 's/^\tDLL Name: //p' | tr '\n' ' ')
echo "== setup.exe (32-bit): $exe bytes, payload $payload bytes"
echo "setup.exe without its payload: $(( (exe - payload) / 1000 )) KB (goal: at most 400 KB)"
echo "DLLs it imports: $dlls"
