#!/usr/bin/env bash
# Headless Wine for the tests; source this file.
#   tarvo_wine_start   starts Xvfb on a display of its own, makes the Wine prefix
#                      build/x64/wineprefix once (every program runs inside a
#                      1024x768 Wine virtual desktop), starts a persistent wineserver
#   tarvo_wine_stop    stops the wineserver with its programs, and Xvfb
# Afterwards `wine PROGRAM` runs in that desktop; its stdout reaches the shell.

TARVO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="$TARVO_ROOT/build/x64/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
TARVO_XVFB_PID=""

tarvo_wine_start() {
  # One run at a time uses the prefix: a second ./test or ./run waits here.
  # The lock goes with the shell that holds it; the programs started here do
  # not inherit it (9>&-), so that a server left behind cannot keep it.
  mkdir -p "$TARVO_ROOT/build/x64"
  exec 9>"$TARVO_ROOT/build/x64/wine.lock"
  if ! flock -n 9; then
    echo "wine: waiting for another test run to finish" >&2
    flock 9
  fi
  # A server left over from a run that was cut short would still hold the
  # desktop of a display that is gone.
  wineserver -k >/dev/null 2>&1 9>&-
  # A display of our own. Xvfb locks an explicit display number (-displayfd
  # does not, and two runs could share one screen); a number that is taken
  # makes it exit, and the next one is tried.
  local n i
  TARVO_XVFB_PID=""
  for n in $(seq $((100 + $$ % 50)) 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 9>&- &
    TARVO_XVFB_PID=$!
    for i in $(seq 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$TARVO_XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    if kill -0 "$TARVO_XVFB_PID" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      break
    fi
    kill "$TARVO_XVFB_PID" 2>/dev/null
    wait "$TARVO_XVFB_PID" 2>/dev/null
    TARVO_XVFB_PID=""
  done
  if [ -z "$TARVO_XVFB_PID" ]; then
    echo "wine: Xvfb did not start" >&2
    return 1
  fi

  if [ ! -f "$WINEPREFIX/.tarvo-desktop" ]; then
    mkdir -p "$WINEPREFIX"
    # No Mono or Gecko installers while the prefix is made.
    WINEDLLOVERRIDES="mscoree=;mshtml=" wineboot -i >/dev/null 2>&1 9>&- || return 1
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 9>&- || return 1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1 9>&- || return 1
    # Let the first server end normally so that the registry is saved.
    wineserver -w 9>&-
    touch "$WINEPREFIX/.tarvo-desktop"
  fi
  # Keeps one server for all the programs of the run (if one is already up,
  # that one serves).
  wineserver -p >/dev/null 2>&1 9>&-
  return 0
}

tarvo_wine_stop() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  if [ -n "$TARVO_XVFB_PID" ]; then
    kill "$TARVO_XVFB_PID" 2>/dev/null
    wait "$TARVO_XVFB_PID" 2>/dev/null
    TARVO_XVFB_PID=""
  fi
  exec 9>&-
  return 0
}
