#!/usr/bin/env bash
# real-reboot.sh PRAVEL_EXE FAKE_INSTALLER PREFIX [LOADER [RUN_HIDDEN]]
# The one test that lets pravel.exe really ask Windows for a restart. Under
# Wine that ends every process of the prefix within milliseconds, so it runs
# in a throwaway prefix of its own (created on first use), never in the
# prefix the other tests share. A silent run installs one prerequisite with
# reboot mode "r". Proof that the restart was really requested: Wine's
# restart (wineboot) runs the HKLM RunOnce entry this script plants. The log
# must show "Rebooting machine..." followed by nothing but the reboot summary
# (required=true, refused=false) and the exit code line (pravel usually
# finishes those lines before Wine ends it), the exit status is 0 (ended by
# the restart) or 255 (-1, reboot pending), and HKCU\InterbootContext still
# holds the return code.
# With RUN_HIDDEN (tests/fixtures/RunHidden.cpp) a basic-UI run follows on a
# window station nobody can see: it must restart the same way without asking
# (a question there would wait until run_hidden gives up after 120 s).
set -euo pipefail
exe=$1
fake=$2
prefix=$3
wine=${4:-/usr/lib/wine/wine64}  # the loader of the program's bitness
hidden=${5:-}
here="$(cd "$(dirname "$0")/../.." && pwd)"

"$here/cmake/wine-prefix.sh" start "$prefix" "$wine" >/dev/null
trap '"$here/cmake/wine-prefix.sh" stop "$prefix" "$wine"' EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

run_case() {  # OPTIONS RUNNER...
  local options=$1; shift
  local runner=("$@")
  dir="$prefix/drive_c/pravel-reboot"
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$exe" "$dir/setup.exe"
  cp "$fake" "$dir/restarts.exe"
  printf 'exit=0\n' >"$dir/restarts.fake"
  python3 - "$dir/setup.ini" "$options" <<'PY'
import sys
ini = "\r\n".join([
    "[PREREQ_CHAINER]", r"LogFile=C:\pravel-reboot\setup.log",
    "[GeneralOptions]", "Options=" + sys.argv[2],
    "[PREREQUISITES]", "App1=Restarts",
    "[App1]", r"SetupFile=C:\pravel-reboot\restarts.exe", "Options=r",
    "RetValPropName=RESTART_RC", "CommandLine=/norestart",
    "SearchType1=5", r"SearchString1=HKCU\Software\PravelTests\RebootMissing", ""])
open(sys.argv[1], "wb").write(b"\xff\xfe" + ini.encode("utf-16-le"))
PY
  timeout 120 "$wine" reg delete 'HKCU\InterbootContext' /f >/dev/null 2>&1 || true
  timeout 120 "$wine" reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\RunOnce' /v PravelRebootMark \
    /d 'cmd /c echo restarted> C:\pravel-reboot\restarted.txt' /f >/dev/null

  start=$(date +%s%N)
  set +e
  "${runner[@]}" 'C:\pravel-reboot\setup.exe'
  status=$?
  set -e
  echo "pravel ended with status $status after $((($(date +%s%N) - start) / 1000000)) ms"

  [ -f "$dir/installs.log" ] || fail "the installer did not run"
  after=$(python3 - "$dir/setup.log" <<'PY'
import sys
lines = open(sys.argv[1], "rb").read().decode("utf-16-le").lstrip("\ufeff").split("\r\n")
messages = [l[20:] for l in lines if len(l) > 20 and l[4] == "-" and l[19] == "-"]
# A run with a window decides again while the restart is under way: those
# lines ("Search <n> (...)", "Search result:", "Prerequisite selected for
# install:" and the line after it) may come before Wine ends it.
decisions = ("Searching for:", "Search ", "Prerequisite ")
messages = [m for m in messages if not m.startswith(decisions)]
if "Rebooting machine..." not in messages:
    print("missing")
else:
    print("|".join(messages[messages.index("Rebooting machine...") + 1:]))
PY
  )
  echo "log after \"Rebooting machine...\": ${after:-(nothing)}"
  case "$after" in
    "" | "After running prerequisites we have:" | "After running prerequisites we have:|  Reboot was required=true" | \
    "After running prerequisites we have:|  Reboot was required=true|  Reboot was refused=false" | \
    "After running prerequisites we have:|  Reboot was required=true|  Reboot was refused=false|  Reboot in Progress=false" | \
    "After running prerequisites we have:|  Reboot was required=true|  Reboot was refused=false|  Reboot in Progress=true" | \
    "After running prerequisites we have:|  Reboot was required=true|  Reboot was refused=false|  Reboot in Progress=false|Exit code -1: a restart is pending"*"; HKCU\\InterbootContext is kept" | \
      "After running prerequisites we have:|  Reboot was required=true|  Reboot was refused=false|  Reboot in Progress=true|Exit code -1: a restart is pending"*"; HKCU\\InterbootContext is kept") ;;
    *) fail "the log does not end with the restart: $after" ;;
  esac
  case "$status" in 0 | 255) ;; *) fail "unexpected exit status $status" ;; esac
  for _ in $(seq 100); do [ -f "$dir/restarted.txt" ] && break; sleep 0.1; done
  [ -f "$dir/restarted.txt" ] || fail "Wine did not restart: no restart was requested"
  value=$(timeout 120 "$wine" reg query 'HKCU\InterbootContext' /v RESTART_RC 2>/dev/null | tr -d '\r' | awk '/RESTART_RC/ {print $NF}')
  echo "InterbootContext RESTART_RC=$value"
  [ "$value" = 0 ] || fail "the key InterbootContext does not hold the return code"
}

fail() { echo "real-reboot: FAILED: $*"; exit 1; }

run_case q timeout 120 "$wine"
echo "real-reboot: the silent run restarted"
if [ -n "$hidden" ]; then
  cp "$hidden" "$prefix/drive_c/run_hidden.exe"
  run_case b timeout 150 "$wine" 'C:\run_hidden.exe'
  grep -q "The window station is not visible" <(python3 -c 'import sys; print(open(sys.argv[1], "rb").read().decode("utf-16-le"))' "$prefix/drive_c/pravel-reboot/setup.log") \
    || fail "the basic-UI run did not see that its window station is hidden"
  echo "real-reboot: the basic-UI run on a hidden window station restarted without asking"
fi
echo "real-reboot: passed"
