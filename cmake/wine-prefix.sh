#!/usr/bin/env bash
# wine-prefix.sh start|stop PREFIX
# start: creates the test prefix once (null graphics driver, no crash
#        debugger) and leaves a persistent wineserver running for speed.
# stop:  ends the wineserver of the prefix.
set -euo pipefail
action=$1
export WINEPREFIX=$2
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver

case "$action" in
start)
  if [ ! -f "$WINEPREFIX/.pravel-ready" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
    "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d 'C:\no-debugger.exe %ld %ld' /f >/dev/null
    "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 1 /f >/dev/null
    "$server" -w </dev/null >/dev/null 2>&1
    touch "$WINEPREFIX/.pravel-ready"
  fi
  # A server left from an earlier wine run (it lingers a few seconds after its
  # last program) would make "-p" fail: end it first. The server and the
  # services it starts must not hold ctest's output pipes.
  "$server" -k </dev/null >/dev/null 2>&1 || true
  "$server" -w </dev/null >/dev/null 2>&1 || true
  "$server" -p </dev/null >/dev/null 2>&1
  "$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
  echo "wine prefix ready: $WINEPREFIX"
  ;;
stop)
  "$server" -k 2>/dev/null || true
  "$server" -w 2>/dev/null || true
  ;;
*)
  echo "usage: $0 start|stop PREFIX" >&2
  exit 2
  ;;
esac
