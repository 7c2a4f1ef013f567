#!/bin/bash
# Which Windows path tools/windows-path.sh takes, against loaders that run, that the kernel
# refuses (an ELF image for a machine nobody runs: "Exec format error", as a 32-bit loader
# where 32-bit programs cannot run), and that are missing; with and without WINDOWS_BITS.
set -u
script="$(dirname "$0")/../../tools/windows-path.sh"
scratch=$(mktemp -d); trap 'rm -rf "$scratch"' EXIT
printf '#!/bin/sh\necho wine-9.9\n' > "$scratch/runs"
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\377\377\001\000\000\000' > "$scratch/refused"
chmod +x "$scratch/runs" "$scratch/refused"
failures=0
#     loader   WINDOWS_BITS  exit  first line  second line holds
cases="runs     -             0     32          runs 32-bit programs
       runs     64            0     64          WINDOWS_BITS=64
       runs     32            0     32          WINDOWS_BITS=32
       refused  -             0     64          cannot run 32-bit programs
       refused  64            0     64          WINDOWS_BITS=64
       refused  32            1     -           -
       missing  -             0     64          is not installed
       missing  32            1     -           -
       runs     16            1     -           -"
while read -r loader bits code first why; do
  [ "$bits" = - ] && bits=""
  out=$(TW_WINE32_LOADER="$scratch/$loader" "$script" "$bits" 2>/dev/null); rc=$?
  got_first=$(echo "$out" | sed -n 1p); got_why=$(echo "$out" | sed -n 2p)
  if [ "$rc" != "$code" ] || { [ "$code" = 0 ] && { [ "$got_first" != "$first" ] || [[ "$got_why" != *"$why"* ]]; }; }; then
    echo "FAIL loader=$loader WINDOWS_BITS=$bits: exit $rc, \"$got_first\" / \"$got_why\" (want exit $code, $first, \"$why\")"
    failures=$((failures + 1))
  fi
done <<< "$cases"
[ $failures = 0 ] && echo "windows-path: every case as expected"
exit $((failures > 0))
