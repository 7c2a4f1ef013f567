#!/bin/bash
# make run: runs setup.exe under Wine in build/run/prefix (made anew from the test template).
# With a usable display the wizard is yours to click through. Without one, it runs under Xvfb,
# the UI driver walks the wizard, a screenshot of each page lands in build/run/, and a summary
# of what was installed is printed. The 32-bit setup.exe runs where this machine runs 32-bit
# programs, the 64-bit build of it under 64-bit Wine where it cannot (build/windows-path).
set -u
build=$1
bits=$(head -1 "$build/windows-path")
why=$(sed -n 2p "$build/windows-path")
run="$build/run"
source "$(dirname "$0")/wine-session.sh"
wine_session_bits "$bits"
if [ "$bits" = 64 ]; then
  bin="$build/win64/bin"
  template="$build/wine/template64"
  echo "Running the 64-bit build of setup.exe (build/win64/bin/setup.exe) under 64-bit Wine, because $why."
  echo "The product itself is the 32-bit build/win/bin/setup.exe."
else
  bin="$build/win/bin"
  template="$build/wine/template"
  echo "Running the 32-bit setup.exe (build/win/bin/setup.exe), because $why."
fi

"$(dirname "$0")/wine-template.sh" "$template" "$bits"
if [ -d "$run/prefix" ]; then
  WINEPREFIX="$run/prefix" wineserver -k 2>/dev/null
  mountpoint -q "$run/prefix" && umount "$run/prefix"
fi
rm -rf "$run"
wine_session_prefix "$template" "$run" "$run/prefix"
export WINEDEBUG=-all
wine_session_drive s "$bin"
installed="$WINEPREFIX/drive_c/Program Files/KELM/Tarnwick"

# The prefix stays for a look; its overlay is unmounted at the next make run.
wine_session_traps wine_session_stop

summary() {
  if [ -d "$installed" ]; then
    local files bytes
    files=$(find "$installed" -maxdepth 1 -type f | wc -l)
    bytes=$(find "$installed" -maxdepth 1 -type f -printf '%s\n' | awk '{s+=$1} END {print s+0}')
    printf 'Installed: %s files, %s bytes in C:\\Program Files\\KELM\\Tarnwick\n' "$files" "$bytes"
    printf '           (%s on this machine)\n' "$installed"
  else
    echo "Installed: nothing (C:\\Program Files\\KELM\\Tarnwick does not exist)"
  fi
}

# The three roots as text, one line per key and per value ("[KEY]" and "[KEY]|VALUE LINE"),
# HKLM and HKCU without their "Software\Classes", which make up HKEY_CLASSES_ROOT, and without
# the display driver's keys, which Wine rewrites whenever it starts.
snapshot() {  # snapshot NAME
  local root
  for root in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER HKEY_CLASSES_ROOT; do
    wine reg export "$root" 'C:\snapshot.reg' /y >/dev/null 2>&1
    iconv -f UTF-16 -t UTF-8 "$WINEPREFIX/drive_c/snapshot.reg" | tr -d '\r' |
      awk '/^\[/ { key = $0; print key; next } /^("|@)/ { print key "|" $0 }' |
      grep -v -i -e "^\[HKEY_[A-Z_]*\\\\Software\\\\Classes[]\\\\]" \
        -e "^\[HKEY_LOCAL_MACHINE\\\\System\\\\CurrentControlSet\\\\Control\\\\\(Class\|Video\)\\\\" | sort > "$run/$1-$root.txt"
  done
}

# What Finish registered: keys and values new or changed since the snapshot "before", the
# registration modules whose class identifier names their installed copy, and the update.
registered() {
  snapshot after
  local root keys values
  echo "Finish registered (keys and values new or changed):"
  for root in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER HKEY_CLASSES_ROOT; do
    keys=$(comm -13 "$run/before-$root.txt" "$run/after-$root.txt" | grep -c -v '|')
    values=$(comm -13 "$run/before-$root.txt" "$run/after-$root.txt" | grep -c '|')
    printf '   %-19s %3s keys, %3s values\n' "$root" "$keys" "$values"
  done
  local modules="" count=0 module id server
  for module in "lattice.ocx 60" "modeng1.dll 61" "modeng2.dll 62" "modeng3.dll 63" "modeng4.dll 64"; do
    set -- $module
    server=$(wine reg query "HKCR\\CLSID\\{7E1D4A$2-3C2B-11d3-9A41-0040A7C2E51B}\\InprocServer32" /ve 2>/dev/null | tr -d '\r' |
             sed -n 's/.*REG_SZ *//p')
    if [ "$server" = "C:\\Program Files\\KELM\\Tarnwick\\$1" ]; then modules="$modules $1"; count=$((count + 1)); fi
  done
  printf '   Modules: %s of 5 registered themselves:%s\n' "$count" "$modules"
  local log="$WINEPREFIX/drive_c/users/$(id -un)/Temp/50comupd.log"
  if [ -s "$log" ]; then
    printf '   Update:  50comupd.exe ran with "%s"\n' "$(head -1 "$log" | tr -d '\r')"
  else
    echo "   Update:  not run (the common controls are 5.80 or later)"
  fi
}

# The keys of keys and values new or changed from snapshot FROM to snapshot TO, of one root, one
# a line; the system's own bookkeeping left out.
changed_keys() {  # changed_keys FROM TO ROOT
  LC_ALL=C comm -13 "$run/$1-$3.txt" "$run/$2-$3.txt" | sed 's/\]|.*/]/; s/^\[\(.*\)\]$/\1/' |
    LC_ALL=C sort -u |
    grep -v -i -E '\\(Hardware|Enum|Services|DeviceClasses|Hardware Profiles|Wine|MuiCache|ShellNoRoam)(\\|$)|\\Explorer\\Advanced$|\\CurrentControlSet\\Control\\(ServiceCurrent|Update|Video)' || true
}

# The keys that the whole installation wrote, per root: keys and keys of values new or changed
# since the snapshot "start" (taken before setup.exe ran).
summary_registry() {
  local root count
  for root in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER HKEY_CLASSES_ROOT; do
    changed_keys start after "$root" > "$run/written-$root.txt"
    count=$(wc -l < "$run/written-$root.txt")
    printf 'Registry:  %s, %s keys written by the installation\n' "$root" "$count"
    sed "s/^$root\\\\/             /" "$run/written-$root.txt" | head -40
    [ "$count" -gt 40 ] && echo "             ..."
  done
  return 0
}

link_of() { drv link "$(winepath -w "$1" 2>/dev/null)" 2>/dev/null | tr -d '\r'; }

# The program group as sent to Program Manager (the desktop's trace) and made by the shell, the
# "My Tarnwick" links, the internet shortcut files and the uninstall entry.
summary_shortcuts() {
  local user_folder group
  user_folder=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Microsoft/Windows 2>/dev/null | grep -v /Public/ | head -1)
  group="$user_folder/Start Menu/Programs/Tarnwick Pro 5.0"
  if [ -d "$group" ]; then
    echo "Program group \"Tarnwick Pro 5.0\": the items in the order sent to Program Manager"
    grep -a 'Dde_OnExecute' "$run/desktop.log" | sed -n 's/.*data=L"\(.*\)"[[:space:]]*$/\1/p' |
      sed 's/\\"/"/g; s/\\\\/\\/g' | awk '/^\[CreateGroup\(Tarnwick Pro 5.0\)\]$/ { n = 0; delete items } { items[++n] = $0 } END { for (i = 1; i <= n; i++) print items[i] }' |
      grep '^\[AddItem(' | while IFS= read -r command; do
        caption=${command##*,}; caption=${caption%)]}
        if [ -f "$group/$caption.lnk" ]; then
          printf '   %-20s -> %s\n' "$caption" "$(link_of "$group/$caption.lnk" | cut -d'|' -f1)"
        else
          printf '   %-20s %s (sent; no shortcut: Wine refuses items with an argument)\n' "$caption" "$command"
        fi
      done
  else
    echo "Program group: none"
  fi
  local desktop link
  desktop=$(ls -d "$WINEPREFIX"/drive_c/users/*/Desktop 2>/dev/null | grep -v /Public/ | head -1)
  for link in "$desktop/My Tarnwick.lnk" "$user_folder/Start Menu/My Tarnwick.lnk"; do
    if [ -f "$link" ]; then
      printf 'Shortcut:  %s\n           -> %s (comment "%s")\n' "$(winepath -w "$link" 2>/dev/null | tr -d '\r')" \
        "$(link_of "$link" | cut -d'|' -f1)" "$(link_of "$link" | cut -d'|' -f3)"
    else
      echo "Shortcut:  none at $link"
    fi
  done
  for url in website.url register.url; do
    [ -f "$installed/$url" ] && printf 'Internet shortcut: %s: %s\n' "$url" "$(tr -d '\r' < "$installed/$url" | tr '\n' ' ')"
  done
  printf 'Uninstall entry (Wine'"'"'s uninstaller --list): %s\n' \
    "$(wine uninstaller --list 2>/dev/null | tr -d '\r' | grep -i tarnwick || echo none)"
}

# The installed product, started once as a user would start it; its window in a screenshot when
# there is no display to look at.
start_product() {
  local explorer='C:\Program Files\KELM\Tarnwick\TWExplo.exe'
  [ -f "$installed/TWExplo.exe" ] || { echo "Product:   not started (no TWExplo.exe)"; return; }
  wine "$explorer" >/dev/null 2>&1 &
  if ! drv wait-window @class:TWMainClass 30 >/dev/null 2>&1; then
    echo "Product:   TWExplo.exe showed no window"
    return
  fi
  sleep 0.5
  echo "Product:   TWExplo.exe runs, its window shows:"
  drv control-text @class:TWMainClass 100 2>/dev/null | tr -d '\r' | sed '/^$/d; s/^/             /'
  if [ "${1:-}" = shot ]; then
    local rect; rect=$(drv rect @class:TWMainClass 2>/dev/null | tr -d '\r')
    xwd -root -silent | convert xwd:- ${rect:+-crop "$rect" +repage} "png:$run/6-product.png" &&
      echo "             screenshot build/run/6-product.png"
  fi
}

# make run UNINSTALL=1: removes the product as the system's list of programs does (Wine's
# uninstaller runs the entry's "UninstallString"), answering the uninstaller's question with Yes
# unless a user is there to answer, then prints what the uninstallation left.
uninstall() {
  local caption='Uninstall Tarnwick Pro 5.0' text="" i
  echo
  echo "Uninstalling through the uninstall entry (wine uninstaller --remove Tarnwick5.0)"
  wine uninstaller --remove Tarnwick5.0 >/dev/null 2>&1 &
  local list=$!
  if [ "${1:-}" = answer ]; then
    printf '   Question: %s\n' "$(drv message "$caption" 60 2>/dev/null | tr -d '\r' | head -1)"
    drv answer "$caption" 6 10 >/dev/null || echo "   The uninstaller asked nothing."
    for i in $(seq 1 240); do
      text=$(drv message "$caption" 1 2>/dev/null | tr -d '\r')
      case $text in *removed*) break ;; esac
      sleep 0.5
    done
    printf '   Result:   %s\n' "$(printf '%s' "$text" | sed '/^$/d' | tr '\n' ' ')"
    drv answer "$caption" 1 5 >/dev/null
  fi
  wait "$list"
  snapshot removed
  local root count files
  for root in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER HKEY_CLASSES_ROOT; do
    changed_keys start removed "$root" > "$run/remaining-$root.txt"
    count=$(wc -l < "$run/remaining-$root.txt")
    printf 'Remaining: %s, %s keys new or changed since before setup.exe ran\n' "$root" "$count"
    sed "s/^$root\\\\/             /" "$run/remaining-$root.txt" | head -20
  done
  echo "           (kept on purpose: the user's settings under HKEY_CURRENT_USER\\Software\\KELM, and the"
  echo "           pending deletion of the uninstaller's copy in the temporary folder under Session Manager)"
  if [ -d "$installed" ]; then
    files=$(find "$installed" -type f | wc -l)
    printf 'Remaining: C:\\Program Files\\KELM\\Tarnwick with %s files: %s\n' "$files" \
      "$(find "$installed" -type f -printf '%f ' | head -c 300)"
  else
    echo "Remaining: no install folder"
  fi
  summary_shortcuts | grep -v '^Internet shortcut'
}

cd "$bin"
wine_session_server

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "Running setup.exe on $DISPLAY (prefix $WINEPREFIX)"
  drv() { wine 'S:\uidriver.exe' "$@"; }
  snapshot start
  for root in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER HKEY_CLASSES_ROOT; do cp "$run/start-$root.txt" "$run/before-$root.txt"; done
  wine_session_desktop "$run/desktop.log"
  wine 'S:\setup.exe'
  echo "setup.exe ended with exit code $?"
  summary
  registered
  summary_registry
  summary_shortcuts
  start_product
  [ -n "${UNINSTALL:-}" ] && uninstall
  exit 0
fi

wine_session_display "$run/display"
echo "No display: running setup.exe under Xvfb $DISPLAY and walking the wizard with the UI driver"

drv() { wine 'S:\uidriver.exe' "$@"; }
shot() {  # the sheet only, cropped from the screen
  local rect; rect=$(drv rect 2>/dev/null | tr -d '\r')
  xwd -root -silent | convert xwd:- ${rect:+-crop "$rect" +repage} "png:$run/$1.png" && echo "   screenshot build/run/$1.png"
}

snapshot start
wine_session_desktop "$run/desktop.log"
wine 'S:\setup.exe' &
app=$!
now() { date +%s.%N; }
page() {  # page N NAME: wait for page N, show what it says, take its screenshot
  drv wait-page "$1" 60 >/dev/null || { echo "The wizard did not reach page $1 ($2)." >&2; exit 1; }
  sleep 0.5
  local title; title=$(drv text 104 2>/dev/null | tr -d '\r')
  [ -n "$title" ] || title="(Next reads \"$(drv text 12324 2>/dev/null | tr -d '\r')\")"
  printf '%s. %-12s %s\n' "$1" "$2" "$title"
  shot "$1-$2"
}

drv wait-sheet 30 >/dev/null || { echo "setup.exe showed no wizard." >&2; exit 1; }
page 0 welcome
drv click next >/dev/null
page 1 licence
drv click next >/dev/null
page 2 destination
printf '   Destination: %s\n' "$(drv text 113 | tr -d '\r')"
drv click next >/dev/null
copy_start=$(now)
# The run takes about a second: film the screen meanwhile and keep the frame from its middle
# (a window that vanishes while xwd reads it makes xwd complain, of no interest here).
frames="$run/frames"; mkdir -p "$frames"; touch "$frames/filming"
( while [ -e "$frames/filming" ]; do xwd -root -silent > "$frames/$(now).xwd" 2>/dev/null; done ) &
filming=$!
drv wait-page 4 300 >/dev/null || { rm -f "$frames/filming"; echo "The copy run did not finish." >&2; exit 1; }
copy_end=$(now)
rm -f "$frames/filming"; wait "$filming"
middle=$(ls "$frames" | grep '\.xwd$' | awk -v a="$copy_start" -v b="$copy_end" '
  { t = $0 + 0; if (t <= b) { n++; f[n] = $0 } } END { if (n) print f[int((n + 1) / 2)] }')
if [ -n "$middle" ]; then
  rect=$(drv rect 2>/dev/null | tr -d '\r')
  convert "xwd:$frames/$middle" ${rect:+-crop "$rect" +repage} "png:$run/3-copying.png"
  printf '3. %-12s %s\n' copying "Copying Tarnwick Files"
  echo "   screenshot build/run/3-copying.png"
fi
rm -rf "$frames"
page 4 options
drv click next >/dev/null
page 5 finish
snapshot before
drv click finish >/dev/null
wait "$app"
rc=$?
echo
echo "setup.exe ended with exit code $rc."
summary
registered
summary_registry
summary_shortcuts
awk -v a="$copy_start" -v b="$copy_end" 'BEGIN { printf "Copy run:  %.1f s from Next on the destination page to the options page\n", b - a }'
start_product shot
echo "Screenshots: $(ls "$run"/*.png | wc -l) in build/run/ (the six pages and the product)"
[ -n "${UNINSTALL:-}" ] && uninstall answer
exit 0
