#!/bin/sh
# Checks fake_reader.exe under Wine through fake_reader_probe.exe, as stellmark.exe uses
# the reader: started hidden by ShellExecute under the reader's exe name, found by class,
# title read across processes ("testing", then the file's first token, following the file
# while it changes, kept when the file goes away), closed with WM_CLOSE.
# Usage: check.sh BUILD_DIR (the folder holding both exes). The Wine prefix is
# BUILD_DIR/wineprefix unless WINEPREFIX is set; a private Xvfb display is started here.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:?usage: check.sh BUILD_DIR}" && pwd)
work="$bin/check"
export WINEPREFIX="${WINEPREFIX:-$bin/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
default_class="WindowsForms10.Window.8.app.0.141b42a_r6_ad1"
other_class="WindowsForms10.Window.8.app.0.141b42a_r5_ad1"
failed=0
fail() { echo "FAIL: $*"; failed=1; }
winpath() { echo "Z:$1" | tr / '\\'; }

rm -rf "$work" && mkdir -p "$work/run"
cp "$bin/fake_reader.exe" "$work/run/caldrix2.exe"

# A display of our own: Xvfb picks a free number and reports it.
xvfb_pid=
server_started=
cleanup() {
  if [ -n "$server_started" ]; then wineserver -k </dev/null >/dev/null 2>&1 || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" </dev/null >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
i=0
while [ ! -s "$work/display" ]; do
  i=$((i + 1)); [ "$i" -le 100 ] || { echo "FAIL: Xvfb did not start"; exit 1; }
  sleep 0.1
done
export DISPLAY=":$(cat "$work/display")"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init </dev/null >"$work/wineboot.log" 2>&1
  wineserver -w
fi
# Only our own server: started here with its output on /dev/null, stopped on the way out.
wineserver -p </dev/null >/dev/null 2>&1 || true
server_started=1
# Without a window manager, hiding and destroying a window otherwise costs Wine 2 s.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >"$work/reg.log" 2>&1

n=0
# probe NAME ARGS...: runs the probe in the run folder, its output to NAME.out.
probe() {
  name=$1; shift
  (cd "$work/run" && wine "$bin/fake_reader_probe.exe" "$@" </dev/null >"$work/$name.out" 2>"$work/$name.err") || true
  sed -i 's/\r$//' "$work/$name.out"
}
expect() { # expect NAME REGEX
  grep -Eq "$2" "$work/$1.out" || fail "$1: expected /$2/, got: $(cat "$work/$1.out")"
}
check_log() { # check_log RUN
  sed 's/\r$//; s/^started pid=[0-9][0-9]*$/started pid=N/' "$work/$1.log.raw" >"$work/$1.log"
  diff -u "$here/expected/$1.log" "$work/$1.log" || fail "$1 log differs from expected/$1.log"
}

# Run 1: default class and delay; the test rewrites the file while the reader runs.
temp="$work/run1.temp"
echo 47 >"$temp"
export STELLMARK_FAKE_READER_FILE="$(winpath "$temp")"
export STELLMARK_FAKE_READER_LOG="$(winpath "$work/run1.log.raw")"
unset STELLMARK_FAKE_READER_CLASS STELLMARK_FAKE_READER_TESTING_MS
probe start start caldrix2.exe;                 expect start '^started$'
probe testing wait "$default_class" testing 2000; expect testing '^title testing after'
probe visible visible "$default_class";         expect visible '^hidden$'
probe t47 wait "$default_class" 47 5000;          expect t47 '^title 47 after'
echo 90 >"$temp.new" && mv "$temp.new" "$temp"
probe t90 wait "$default_class" 90 1500;          expect t90 '^title 90 after'
printf '  -5\r\n' >"$temp.new" && mv "$temp.new" "$temp"
probe tm5 wait "$default_class" -5 1500;          expect tm5 '^title -5 after'
echo 'junk 12' >"$temp.new" && mv "$temp.new" "$temp"
probe tjunk wait "$default_class" junk 1500;      expect tjunk '^title junk after'
rm -f "$temp"
sleep 0.6
probe kept title "$default_class";              expect kept '^junk$'
probe close1 close "$default_class" 3000;       expect close1 '^closed pid [0-9]+ exit 0 after'
probe gone1 title "$default_class";             expect gone1 '^none$'
check_log run1

# Run 2: another class, no delay, and no file at first: the title stays "testing".
temp="$work/run2.temp"
export STELLMARK_FAKE_READER_FILE="$(winpath "$temp")"
export STELLMARK_FAKE_READER_LOG="$(winpath "$work/run2.log.raw")"
export STELLMARK_FAKE_READER_CLASS="$other_class"
export STELLMARK_FAKE_READER_TESTING_MS=0
probe start2 start caldrix2.exe;                 expect start2 '^started$'
probe found2 wait "$other_class" testing 2000;    expect found2 '^title testing after'
probe nodefault title "$default_class";         expect nodefault '^none$'
sleep 0.6
probe nofile title "$other_class";              expect nofile '^testing$'
echo 55 >"$temp"
probe t55 wait "$other_class" 55 1500;            expect t55 '^title 55 after'
probe close2 close "$other_class" 3000;         expect close2 '^closed pid [0-9]+ exit 0 after'
check_log run2

[ "$failed" = 0 ] && echo "fake reader: all checks passed"
exit "$failed"
