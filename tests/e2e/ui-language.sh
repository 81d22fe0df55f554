#!/usr/bin/env bash
# ui-language.sh PRAVEL_EXE PREFIX [LOADER]
# The real pravel.exe with examples/translated's [Texts] sections, started
# for a German, an Austrian, a Japanese, a Taiwanese, a Hong Kong, a Hebrew
# and an English user (Wine takes the UI language from LC_ALL): the log
# names the language section each run took and whether the windows read
# right to left, and a text refused in [Texts] is refused only where no
# section of the user's language has the key. A silent run with no
# prerequisites: it ends at once.
set -euo pipefail
exe=$1
prefix=$2
wine=${3:-/usr/lib/wine/wine64}
here="$(cd "$(dirname "$0")/../.." && pwd)"
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
fail() { echo "ui-language: $*" >&2; exit 1; }

dir="$prefix/drive_c/pravel-texts"
rm -rf "$dir"
mkdir -p "$dir"
cp "$exe" "$dir/setup.exe"

# The example, silent, logging, without prerequisites, one text refused in [Texts].
make_ini='
import re, sys
text = open(sys.argv[1], encoding="utf-8").read()
text = text.replace("Options=b\n", "Options=q\n", 1)
text = re.sub(r"LogFile=.*", r"LogFile=C:\\pravel-texts\\setup.log", text)
text = re.sub(r"\[PREREQUISITES\]\nApp1=.*\n", "", text)
text = text.replace("[Texts]\n", "[Texts]\nOkButton=%d\n", 1)
open(sys.argv[2], "wb").write(b"\xff\xfe" + text.replace("\n", "\r\n").encode("utf-16-le"))
'

run() {  # LC_ALL value; leaves the log in $log
  rm -f "$dir/setup.log"
  # Afresh for every run: with [PREREQ_CHAINER] the run deletes it at its end.
  python3 -c "$make_ini" "$here/examples/translated/pravel.ini.utf8" "$dir/setup.ini"

  local status=0
  LC_ALL=$1 timeout 120 "$wine" 'C:\pravel-texts\setup.exe' || status=$?
  [ "$status" -eq 0 ] || fail "LC_ALL=$1: exit status $status"
  [ -f "$dir/setup.log" ] || fail "LC_ALL=$1: no log"
  log=$(iconv -f UTF-16LE -t UTF-8 "$dir/setup.log" | tr -d '\r')
}

expect() {  # LC_ALL value, the log line naming the section
  run "$1"
  grep -qF "$2" <<<"$log" || fail "$1: $log"
  ! grep -qF 'is refused' <<<"$log" || fail "$1: a text was refused: $log"
}
expect de_DE.UTF-8 'Window texts for the UI language de-DE from [Texts.de].'
expect de_AT.UTF-8 'Window texts for the UI language de-AT from [Texts.de].'
expect ja_JP.UTF-8 'Window texts for the UI language ja-JP from [Texts.ja].'
expect zh_TW.UTF-8 'Window texts for the UI language zh-TW from [Texts.zh-Hant].'
expect zh_HK.UTF-8 'Window texts for the UI language zh-HK from [Texts.zh-Hant].'
expect he_IL.UTF-8 'Window texts for the UI language he-IL from [Texts.he], laid out right to left.'
run C
! grep -qF 'Window texts for' <<<"$log" || fail "English: $log"
grep -qF 'The text OkButton of [Texts] is refused (a "%" is followed by neither "s" nor "%"); the built-in text is used.' <<<"$log" ||
  fail "English: the refusal is not logged: $log"
echo "ui-language: German, Austrian, Japanese, Taiwanese, Hong Kong, Hebrew and English runs as expected"
