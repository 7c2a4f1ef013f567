#!/bin/bash
# wine-template.sh DIR [BITS]: builds the Wine prefix that every test run copies (through an
# overlay). A 32-bit prefix (BITS 64: a 64-bit one, for the 64-bit build), sandboxed from $HOME,
# with a 1024x768 virtual desktop.
set -eu
dir=$1
bits=${2:-32}
source "$(dirname "$0")/wine-session.sh"
wine_session_bits "$bits"
stamp="$dir.stamp"
want="$(wine --version) $wine_session_arch v3"
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] && [ -d "$dir/drive_c" ]; then exit 0; fi
rm -rf "$dir" "$stamp"
mkdir -p "$(dirname "$dir")"
export WINEPREFIX="$dir" WINEARCH=$wine_session_arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
wineboot -i >/dev/null 2>&1
wineserver -w
# Desktop, Documents and the rest would otherwise be links into $HOME.
for l in "$WINEPREFIX/drive_c/users/$(id -un)"/*; do
  if [ -L "$l" ]; then rm "$l"; mkdir "$l"; fi
done
rm -f "$WINEPREFIX/dosdevices/z:"
reg() { wine reg "$@" >/dev/null 2>&1; }
reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d '' /f
reg delete 'HKLM\Software\Microsoft\Windows\CurrentVersion\RunServices' /v winemenubuilder /f || true
reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f
wineserver -w
echo "$want" > "$stamp"
