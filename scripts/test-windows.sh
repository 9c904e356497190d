#!/usr/bin/env bash
# Cross-builds QuorvexUpdate for Windows (MinGW-w64, preset "mingw") and its
# zip package, and runs the Windows tests under Wine in a throw-away Wine
# prefix, on a virtual X display of its own (Xvfb): the core suite, the
# Windows ports against Wine's own services, the window (view tests, the
# screenshots in build/mingw/screenshots/, the program driven as an operator
# drives it), a silent simulated update end to end with the programs from
# the zip, and the program's refusal to start its window where there is no
# window system.
# Every Wine call is bounded by `timeout`.
set -euo pipefail
cd "$(dirname "$0")/.."
started=${QV_WINDOWS_STARTED:-$(date +%s)}
elapsed() { echo $(($(date +%s) - started)); }

if [ -z "${QV_WINDOWS_DISPLAY:-}" ]; then
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw
  echo "== Windows cross-build done after $(elapsed) s"
  timeout 600 cmake --build --preset mingw --target package
  # The rest on a display of its own, whatever display the caller has.
  export QV_WINDOWS_STARTED=$started
  exec timeout 2400 xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
    env QV_WINDOWS_DISPLAY=1 "$0" "$@"
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/qv-windows.XXXXXX")"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
# No Mono or Gecko installer prompts: console programs need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  timeout 60 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/mingw/CMakeCache.txt)"
package="QuorvexUpdate-$version-windows-x64"
zip="$PWD/build/mingw/$package.zip"
[ -f "$zip" ] || { echo "no $zip" >&2; exit 1; }
echo "== $(basename "$zip")"
# The zip holds one folder: the programs, the README and the example
# TAVO.ini, whose lines end in CR LF.
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip" && find . -type f | sort) >"$work/files.txt"
{
  echo "./$package/QuorvexUpdate.exe"
  echo "./$package/README.md"
  echo "./$package/TAVO.ini"
  echo "./$package/qv-imagetool.exe"
  [ ! -f build/mingw/qv-trace.exe ] || echo "./$package/qv-trace.exe"
} | sort >"$work/expected-files.txt"
diff -u "$work/expected-files.txt" "$work/files.txt" || { echo "the zip's files differ from the list above" >&2; exit 1; }
ini="$work/zip/$package/TAVO.ini"
[ "$(grep -c $'\r$' "$ini")" -eq "$(wc -l <"$ini")" ] && [ "$(tr -d '\r' <"$ini")" = "$(cat packaging/TAVO.ini)" ] ||
  { echo "the zip's TAVO.ini is not the example with CR LF line ends" >&2; exit 1; }
cmp README.md "$work/zip/$package/README.md"

echo "== Wine prefix on display $DISPLAY"
# Made inside the display: a prefix made without one shows no window for
# the first minute of the first program that opens one.
timeout 300 wineboot --init >/dev/null 2>&1 || true
# No window manager runs on the virtual display: Wine draws the window
# frames itself instead of waiting for one at every hidden window.
timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
timeout 120 wineserver -w || true
echo "== Wine prefix ready after $(elapsed) s"

echo "== Windows tests under Wine"
timeout 900 ctest --preset mingw

echo "== Silent simulated update of the zip's QuorvexUpdate.exe under Wine"
# The zip's folder is the station: the program, the example TAVO.ini (which
# changes nothing) and one update image made by the zip's image tool; the
# simulated sensor hub runs the old firmware. The program runs on the real
# clock, as on a station.
app="$work/zip/$package"
sim="$work/sim"
mkdir -p "$sim"
printf '[DEVICE]\r\nFAMILY=5C\r\n' >"$sim/device.ini"
timeout 120 wine "$app/qv-imagetool.exe" make --kind 126k --version "OEM V2.00" --oem "OEM V2.00" \
  --out "$(winepath -w "$app/fw.bin")" >/dev/null
timeout 60 wine reg delete 'HKLM\SOFTWARE\VOR\TAVO' /v FWVer /f >/dev/null 2>&1 || true
status=0
# Without a display: under /S the program makes no window-system call.
simPath="$(winepath -w "$sim")"
(cd "$app" && env -u DISPLAY timeout 300 wine QuorvexUpdate.exe /S "--simulate=$simPath" >"$work/stdout.txt" 2>&1) ||
  status=$?
fail() {
  echo "Windows end-to-end run: $*" >&2
  cat "$work/stdout.txt" >&2
  exit 1
}
[ "$status" -eq 0 ] || fail "exit code $status, expected 0"
logs=("$app"/VORTAVOlog*.txt)
[ "${#logs[@]}" -eq 1 ] && [ -f "${logs[0]}" ] || fail "expected one result log, found: ${logs[*]}"
printf 'New OEM Version: OEM V2.00\n\r\nOld OEM Version: OEM V1.00\n\r\nSuccess\r\n' >"$work/expected.log"
cmp "$work/expected.log" "${logs[0]}" || fail "result log differs: $(od -c "${logs[0]}" | head -5)"
fwver="$(timeout 60 wine reg query 'HKLM\SOFTWARE\VOR\TAVO' /v FWVer | tr -d '\r')"
grep -Eq '^ +FWVer +REG_SZ +OEM V2\.00$' <<<"$fwver" || fail "registry FWVer: $fwver"
[ "$(dd if="$sim/flash.bin" bs=1 skip=$((0x3100)) count=9 2>/dev/null)" = "OEM V2.00" ] ||
  fail "the simulated chip does not carry the new firmware"
echo "exit code 0, result log with CR LF, FWVer in the registry, new firmware on the chip"

echo "== QuorvexUpdate.exe with its window where there is no window system"
# Without /S the program needs its window; with no display Wine refuses to
# create it, as Windows does in a session without a desktop.
station="$work/station"
device="$work/device"
mkdir -p "$station" "$device"
cp build/mingw/QuorvexUpdate.exe "$app/fw.bin" "$station/"
printf '[DEVICE]\r\nFAMILY=5C\r\n' >"$device/device.ini"
status=0
(cd "$station" && env -u DISPLAY timeout 120 wine QuorvexUpdate.exe "--simulate=$(winepath -w "$device")" \
  >"$work/stdout.txt" 2>&1) || status=$?
[ "$status" -eq 2 ] || fail "without a display: exit code $status, expected 2"
grep -q "no window" "$work/stdout.txt" && grep -q "/S" "$work/stdout.txt" ||
  fail "without a display: no word of the missing window"
[ ! -e "$device/flash.bin" ] && ! ls "$station"/VORTAVOlog*.txt >/dev/null 2>&1 ||
  fail "without a display the program touched the device or wrote a result"
echo "exit code 2 with its reason on standard error, the device untouched"

echo "windows stage passed in $(elapsed) s"
