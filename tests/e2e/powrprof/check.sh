#!/bin/sh
# Checks the simulated powrprof.dll under Wine: its exports and imports, then the probe's
# output and call log, with the standard catalogue and with probe_catalogue.txt, against
# expected/. Usage: check.sh BUILD_DIR (the folder holding powrprof.dll and
# powrprof_probe.exe). The Wine prefix is BUILD_DIR/wineprefix unless WINEPREFIX is set.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:?usage: check.sh BUILD_DIR}" && pwd)
work="$bin/check"
export WINEPREFIX="${WINEPREFIX:-$bin/wineprefix}"
export WINEDEBUG=-all
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# Plain export names, exactly those of the .def file; no mingw runtime DLL imports.
x86_64-w64-mingw32-objdump -p "$bin/powrprof.dll" >"$bin/objdump.txt"
sed -n 's/^\t\[ *[0-9]*\] \([A-Za-z]*\)$/\1/p' "$bin/objdump.txt" | sort >"$bin/exports.txt"
sed -n 's/^    \([A-Za-z]*\)$/\1/p' "$here/powrprof.def" | sort | diff -u - "$bin/exports.txt" || fail "exports differ from powrprof.def"
if grep -i 'DLL Name: lib' "$bin/objdump.txt"; then fail "powrprof.dll imports a mingw runtime DLL"; fi

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY= wineboot --init </dev/null >/dev/null 2>&1
  wineserver -w
fi
# Only our own server: started here with its output on /dev/null (it is already running
# when someone else uses the prefix), stopped on the way out.
wineserver -p </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT

rm -rf "$work" && mkdir -p "$work"
# run NAME OVERRIDES [CATALOGUE]: the probe's output to NAME.out, its log to NAME.log.
run() {
  (
    cd "$bin"
    if [ -n "${3-}" ]; then export STELLMARK_POWER_CATALOGUE="$3"; else unset STELLMARK_POWER_CATALOGUE; fi
    # The log is named by a Windows path here and by a Unix path in the other run.
    case "${3-}" in
      Z:*) export STELLMARK_POWER_LOG="Z:$(echo "$work/$1.log" | tr / '\\')" ;;
      *) export STELLMARK_POWER_LOG="$work/$1.log" ;;
    esac
    WINEDLLOVERRIDES="$2" wine ./powrprof_probe.exe </dev/null >"$work/$1.out" 2>"$work/$1.err"
  ) || echo "exit $?" >>"$work/$1.out"
  touch "$work/$1.log"
}
compare() {
  diff -u "$here/expected/$1" "$work/$1" || fail "$1 differs from expected/$1"
}

run standard "mscoree,mshtml=;powrprof=n"
compare standard.out
compare standard.log
run catalogue "mscoree,mshtml=;powrprof=n" "Z:$(echo "$here/probe_catalogue.txt" | tr / '\\')"
compare catalogue.out
compare catalogue.log

# Without the override Wine's own powrprof is loaded: the probe must not see our marker.
run builtin "mscoree,mshtml="
if grep -q '^marker 1$' "$work/builtin.out"; then fail "our DLL was used without powrprof=n"; fi

[ "$failed" = 0 ] && echo "powrprof simulation: all checks passed"
exit "$failed"
