# A Wine session of its own: a prefix made as an overlay over the template (a copy where
# overlays are not allowed), its own Xvfb display, its own wineserver, and the ending of all of
# them. Sourced (bash) by the test runner build/win/wine-run.sh (cmake/wine-run.sh.in) and by
# make run (tools/run-setup.sh); each caller decides what stays afterwards.
#
#   wine_session_bits BITS
#       32 or 64: the Wine that runs the programs and the kind of prefix (WINEARCH win32 or
#       win64). For 64, the 64-bit loader comes first on PATH as "wine" (tools/wine64/).
#       Called before the others; 32 when it is not called.
#   wine_session_prefix TEMPLATE SCRATCH PREFIX
#       mounts PREFIX as an overlay over TEMPLATE, its upper and work folders in SCRATCH (up/,
#       work/), or copies TEMPLATE into PREFIX; sets wine_session_overlay to 1 or 0. Exports
#       WINEPREFIX, WINEARCH and WINEDLLOVERRIDES; WINEDEBUG is the caller's.
#   wine_session_drive LETTER TARGET
#       maps drive LETTER: of the prefix to the folder TARGET.
#   wine_session_display DISPLAYFILE
#       starts Xvfb (1024x768, 24 bits, no TCP), which writes its display number to DISPLAYFILE;
#       exports DISPLAY and sets wine_session_xvfb to its process id.
#   wine_session_server
#       starts the wineserver and its services first, detached from our output, so that they do
#       not hold a test runner's pipe open. The server lingers 10 s after its last program at
#       most, so even a run killed outright leaves no server behind for long.
#   wine_session_desktop LOGFILE
#       starts the prefix's desktop (Wine's explorer, which also answers Program Manager's DDE
#       service "PROGMAN") before any program does, with the shell's trace going to LOGFILE: each
#       DDE execute it receives, refused ones too, is a line with "Dde_OnExecute" and the command.
#       Returns once the desktop serves DDE.
#   wine_session_stop
#       ends the prefix's wineserver and every program in it, waits for them, then ends Xvfb.
#       The prefix itself is left to the caller.
#   wine_session_traps CLEANUP
#       runs the function CLEANUP when the script exits, also when it is stopped (TERM, INT,
#       HUP: exit status 143).

wine_session_overlay=0
wine_session_xvfb=""
wine_session_arch=win32

wine_session_bits() {
  if [ "$1" = 64 ]; then
    wine_session_arch=win64
    PATH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64:$PATH"
    export PATH
  else
    wine_session_arch=win32
  fi
}

wine_session_prefix() {
  local template=$1 scratch=$2 prefix=$3
  mkdir -p "$scratch/up" "$scratch/work" "$prefix"
  if mount -t overlay overlay -o "lowerdir=$template,upperdir=$scratch/up,workdir=$scratch/work" "$prefix" 2>/dev/null; then
    wine_session_overlay=1
  else
    wine_session_overlay=0
    cp -a "$template/." "$prefix/"
  fi
  export WINEPREFIX="$prefix" WINEARCH=$wine_session_arch WINEDLLOVERRIDES="mscoree,mshtml="
}

wine_session_drive() {
  ln -sfn "$2" "$WINEPREFIX/dosdevices/$1:"
}

wine_session_display() {
  local displayfile=$1
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" 2>/dev/null &
  wine_session_xvfb=$!
  for _ in $(seq 200); do [ -s "$displayfile" ] && break; sleep 0.05; done
  export DISPLAY=":$(cat "$displayfile")"
}

wine_session_server() {
  wineserver -p10 </dev/null >/dev/null 2>&1
  wine cmd /c exit </dev/null >/dev/null 2>&1
}

wine_session_desktop() {
  WINEDEBUG=-all,trace+shell wine explorer.exe /desktop </dev/null >/dev/null 2>"$1" &
  # Ready once it has made the desktop and serves DDE (0.2 to 0.7 s after its first line). A
  # program started before that would start a desktop of its own, without the trace.
  for _ in $(seq 150); do grep -q 'ShellDDEInit bInit = TRUE' "$1" 2>/dev/null && return 0; sleep 0.1; done
  echo "wine-session: the desktop did not start serving Program Manager's DDE within 15 s (its trace: $1)" >&2
}

wine_session_stop() {
  wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
  if [ -n "$wine_session_xvfb" ]; then
    kill "$wine_session_xvfb" 2>/dev/null; wait "$wine_session_xvfb" 2>/dev/null
  fi
  return 0
}

wine_session_traps() {
  trap "$1" EXIT
  trap 'exit 143' TERM INT HUP   # a stopped run cleans up too
}
