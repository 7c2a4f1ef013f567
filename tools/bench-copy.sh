#!/bin/bash
# bench-copy.sh [BUILD]: times the installation run against a plain write of the same files,
# under Wine in a disposable prefix (build/win/wine-run.sh). Needs the Windows build.
set -eu
build=${1:-$(dirname "$0")/../build}
bench="$build/win/bin/copy_bench.exe"
if [ ! -x "$build/win/wine-run.sh" ] || [ ! -f "$bench" ]; then
  echo "bench-copy: build the Windows programs first (make win)" >&2
  exit 1
fi
echo "== Installation run under Wine: InstallWorker against a plain write of the 318 files"
"$build/win/wine-run.sh" "$bench"
