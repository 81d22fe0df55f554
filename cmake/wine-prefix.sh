#!/usr/bin/env bash
# wine-prefix.sh start|stop PREFIX [LOADER]
# start: creates the test prefix once with the 64-bit wineboot (a WoW64
#        prefix; null graphics driver, no crash debugger) and leaves a
#        persistent wineserver running for speed. LOADER is the wine that
#        runs the tests (default wine64; /usr/lib/wine/wine for the 32-bit
#        suite, which needs the prefix's 32-bit system files: a prefix made
#        before wine32 was installed lacks them and is made again).
# stop:  ends the wineserver of the prefix.
set -euo pipefail
action=$1
export WINEPREFIX=$2
loader=${3:-/usr/lib/wine/wine64}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver

# True when the prefix is complete for the loader.
prefix_ready() {
  [ -f "$WINEPREFIX/.pravel-ready" ] || return 1
  [ "$loader" = "$wine" ] || [ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]
}

case "$action" in
start)
  if [ ! -x "$loader" ]; then
    echo "wine-prefix: $loader is missing (install wine32:i386 for the 32-bit suite)" >&2
    exit 1
  fi
  if ! prefix_ready; then
    "$server" -k </dev/null >/dev/null 2>&1 || true
    "$server" -w </dev/null >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    "$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null
    # The crash-debugger setting in both registry views (32-bit programs read
    # the Wow6432Node copy).
    for view in 64 32; do
      "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d 'C:\no-debugger.exe %ld %ld' /f /reg:$view >/dev/null
      "$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Auto /d 1 /f /reg:$view >/dev/null
    done
    "$server" -w </dev/null >/dev/null 2>&1
    touch "$WINEPREFIX/.pravel-ready"
    if ! prefix_ready; then
      echo "wine-prefix: $WINEPREFIX has no 32-bit system files (is wine32:i386 installed?)" >&2
      exit 1
    fi
  fi
  # A server left from an earlier wine run (it lingers a few seconds after its
  # last program) would make "-p" fail: end it first. The server and the
  # services it starts must not hold ctest's output pipes.
  "$server" -k </dev/null >/dev/null 2>&1 || true
  "$server" -w </dev/null >/dev/null 2>&1 || true
  "$server" -p </dev/null >/dev/null 2>&1
  "$loader" cmd /c exit </dev/null >/dev/null 2>&1 || true
  echo "wine prefix ready: $WINEPREFIX ($loader)"
  ;;
stop)
  "$server" -k 2>/dev/null || true
  "$server" -w 2>/dev/null || true
  ;;
*)
  echo "usage: $0 start|stop PREFIX [LOADER]" >&2
  exit 2
  ;;
esac
