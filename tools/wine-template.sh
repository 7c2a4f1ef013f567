#!/bin/bash
# wine-template.sh DIR [BITS]: builds the Wine prefix that every test run copies (through an
# overlay). A 32-bit prefix (BITS 64: a 64-bit one, for the 64-bit build), sandboxed from $HOME,
# with a 1024x768 virtual desktop.
#
# A first start of Wine on a fresh machine can fail once (a loader that cannot map its DLLs
# yet, a server still going down); the prefix is then made again from nothing, three tries in
# all. Each try's output goes to DIR.log, and when the last one fails, its end is shown, with
# the module loader's errors in it.
set -eu
dir=$1
bits=${2:-32}
source "$(dirname "$0")/wine-session.sh"
wine_session_bits "$bits"
stamp="$dir.stamp"
log="$dir.log"
want="$(wine --version) $wine_session_arch v3"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] && [ -d "$dir/drive_c" ]; then exit 0; fi
mkdir -p "$(dirname "$dir")"
export WINEPREFIX="$dir" WINEARCH=$wine_session_arch WINEDEBUG=-all,err+module WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

# step WHAT COMMAND...: runs one step of the making, its output to the log; a failure names it.
step() {
  local what=$1 rc=0; shift
  echo "== $what: $*" >>"$log"
  "$@" >>"$log" 2>&1 </dev/null || rc=$?
  if [ $rc != 0 ]; then echo "== $what failed: exit code $rc" >>"$log"; return $rc; fi
}

make_prefix() {
  step "make the prefix" wineboot -i || return
  step "wait for its server" wineserver -w || return
  [ -f "$WINEPREFIX/system.reg" ] || { echo "== the registry failed: no system.reg after wineboot" >>"$log"; return 1; }
  # Desktop, Documents and the rest would otherwise be links into $HOME.
  local l
  for l in "$WINEPREFIX/drive_c/users/$(id -un)"/*; do
    if [ -L "$l" ]; then rm "$l"; mkdir "$l"; fi
  done
  rm -f "$WINEPREFIX/dosdevices/z:"
  step "no menu builder" wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d '' /f || return
  wine reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\RunServices' /v winemenubuilder /f >>"$log" 2>&1 </dev/null || true
  step "virtual desktop" wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f || return
  step "its size" wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f || return
  step "wait for the server" wineserver -w
}

for try in 1 2 3; do
  rm -rf "$dir" "$stamp"
  echo "== try $try, $want" >"$log"
  if make_prefix; then
    echo "$want" > "$stamp"
    exit 0
  fi
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ $try -lt 3 ]; then
    echo "wine-template: try $try to make $dir failed ($(grep '^== .* failed' "$log" | tail -1 | sed 's/^== //')); trying again" >&2
    sleep 5
  fi
done
echo "wine-template: could not make the Wine prefix $dir in three tries; the end of the last one ($log):" >&2
tail -30 "$log" | sed 's/^/  /' >&2
echo "  (kernel $(uname -r); foreign architectures: $(dpkg --print-foreign-architectures 2>/dev/null | tr '\n' ' '); Wine loaders: $(ls /usr/lib/wine/ 2>/dev/null | tr '\n' ' '))" >&2
exit 1
