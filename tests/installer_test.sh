#!/usr/bin/env bash
# The 64-bit Windows installer (32-bit programs do not run here) in a Wine
# prefix made afresh and thrown away: installs silently for the current user
# and for all users, checks the files, the .TRV association and the Start
# menu, opens a script through the shell, uninstalls and checks that nothing
# is left.
source "$(dirname "$0")/lib.sh"
source "$root/tools/package/package.sh"
need "$root/build/x64/Tarvopro.exe" "$root/build/x86/Tarvopro.exe"
command -v makensis >/dev/null || { echo "installer_test: makensis is missing (tools/setup.sh)" >&2; exit 1; }
[ -n "${DISPLAY:-}" ] || exec xvfb-run -a "$0" "$@"
work=$root/build/installer_test
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Only this prefix's server is ever stopped here.
stop_wine() { wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; }
[ -d "$WINEPREFIX" ] && stop_wine
rm -rf "$work"
mkdir -p "$work"
trap 'stop_wine; rm -rf "$WINEPREFIX"' EXIT

# The installer is made (quick compression) while the prefix is, with a
# virtual desktop so that programs that made a window end at once.
tarvo_stage "$work/package" >/dev/null || { echo "installer_test: staging failed"; exit 1; }
tarvo_installer "$work/package" "$work/tarvo-setup.exe" amd64-unicode -DFAST >"$work/makensis.log" 2>&1 &
makensis_pid=$!
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
wineserver -w
wineserver -p
wait "$makensis_pid" || { cat "$work/makensis.log"; echo "installer_test: makensis failed"; exit 1; }

unix() { winepath -u "$1" 2>/dev/null | tr -d '\r'; }
has_key() { wine reg query "$1" >/dev/null 2>&1; }
# value_of KEY [NAME]: the data of a value (the default value without NAME).
value_of() {
  wine reg query "$1" ${2:+/v "$2"} $([ -n "${2:-}" ] || echo /ve) 2>/dev/null | tr -d '\r' |
    awk -F'    ' 'NF >= 4 { print $4; exit }'
}
# wait_for TEST SECONDS: polls until the shell condition holds.
wait_for() {
  local i
  for i in $(seq $(($2 * 10))); do eval "$1" && return 0; sleep 0.1; done
  return 1
}
runtime_running() {
  local p
  for p in $(pgrep -f 'Tarvopro\.exe'); do
    tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}
# A script that proves it ran: it writes an INI file beside itself.
scripts_dir='C:\tarvo scripts'
sdir=$(unix 'C:\')/'tarvo scripts'
mkdir -p "$sdir"

# round MODE OPTIONS...: install, check, open a script, uninstall, check.
round() {
  local mode=$1 root_key=HKCU menu
  shift
  [ "$mode" = all ] && root_key=HKLM
  local name="$mode users" classes="$root_key\\Software\\Classes"
  local uninstall="$root_key\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarvo"
  local instdir udir missing="" f rc
  wine "$work/tarvo-setup.exe" /S "$@" >/dev/null 2>&1
  rc=$?
  check "$name: silent install ends with exit code 0" '[ "$rc" = 0 ]' "exit $rc"
  instdir=$(value_of "$uninstall" InstallLocation)
  udir=$(unix "$instdir")
  check "$name: uninstall entry names the folder" '[ -n "$instdir" ] && [ -d "$udir" ]' "InstallLocation '$instdir'"
  for f in Tarvopro.exe tarvobind.exe Uninstall.exe README.txt LICENSE.txt examples/demo.trv docs/reference.md \
           $([ -n "$(tarvo_hooklib x64)" ] && echo Tarvomsg.dll); do
    [ -f "$udir/$f" ] || missing+=" $f"
  done
  check "$name: runtime, hook library, binder, examples, docs and uninstaller installed" '[ -z "$missing" ]' "missing:$missing"
  check "$name: the 64-bit runtime is the one installed" 'cmp -s "$udir/Tarvopro.exe" "$root/build/x64/Tarvopro.exe"'
  local progid command
  progid=$(value_of "$classes\\.trv")
  command=$(value_of "$classes\\Tarvo.Script\\shell\\open\\command")
  check "$name: .trv is a Tarvo script" '[ "$progid" = Tarvo.Script ]' "'$progid'"
  check "$name: Open runs the installed runtime" '[ "$command" = "\"$instdir\\Tarvopro.exe\" %1" ]' "'$command'"
  if [ "$mode" = all ]; then
    menu=$(unix 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Tarvo')
  else
    menu=$(unix "$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')\\Microsoft\\Windows\\Start Menu\\Programs\\Tarvo")
  fi
  check "$name: Start-menu entries" '[ -f "$menu/Tarvo runtime.lnk" ] && [ -f "$menu/Uninstall Tarvo.lnk" ]' "$menu"

  # Opening a script through the shell runs it, also from a folder with a
  # blank in its name. Wine's shell reads only the classes of all users
  # (HKCR is HKLM's there), so for a per-user install the registered command
  # line itself is run as the shell would run it.
  printf 'FILEWRITE_INI ("%s\\ran-%s.ini", "Run", "By", "shell", Ok)\r\nEND\r\n' "$scripts_dir" "$mode" >"$sdir/write $mode.trv"
  if [ "$mode" = all ]; then
    wine cmd /c start "" "$scripts_dir\\write $mode.trv" >/dev/null 2>&1
  else
    printf '%s\r\n' "${command//%1/$scripts_dir\\write $mode.trv}" >"$sdir/open.bat"
    wine cmd /c "$scripts_dir\\open.bat" >/dev/null 2>&1 &
  fi
  check "$name: opening a .TRV file runs it" \
    'wait_for "[ -f \"\$sdir/ran-$mode.ini\" ]" 20 && grep -q By=shell "$sdir/ran-$mode.ini"'
  wait
  # A runtime still ending would keep its file; the uninstaller returns at
  # once: wait for its last step, the uninstall entry going.
  wait_for '! runtime_running' 20
  wine "$udir/Uninstall.exe" /S >/dev/null 2>&1
  wait_for '! has_key "$uninstall"' 30
  check "$name: uninstall removes the install folder and the Start-menu folder" '[ ! -e "$udir" ] && [ ! -e "$menu" ]' \
    "$(find "$udir" "$menu" 2>/dev/null | head -5)"
  check "$name: uninstall removes the association and uninstall keys" \
    '! has_key "$classes\\.trv" && ! has_key "$classes\\Tarvo.Script" && ! has_key "$uninstall"'
}
round current /CURRENTUSER
round all
finish
