#!/usr/bin/env bash
# Cross-builds QuorvexUpdate for Windows (MinGW-w64, preset "mingw") and runs
# the Windows tests under Wine in a throw-away Wine prefix: the core suite,
# the Windows ports against Wine's own services, and a silent simulated
# update of the Windows program end to end.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

cmake --preset mingw >/dev/null
cmake --build --preset mingw
echo "== Windows cross-build done after $((SECONDS - started)) s"

work="$(mktemp -d "${TMPDIR:-/tmp}/qv-windows.XXXXXX")"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
# No Mono or Gecko installer prompts: console programs need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "== Wine prefix"
timeout 300 wineboot --init >/dev/null 2>&1 || true
timeout 120 wineserver -w || true
echo "== Wine prefix ready after $((SECONDS - started)) s"

echo "== Windows tests under Wine"
timeout 900 ctest --preset mingw

echo "== Silent simulated update of QuorvexUpdate.exe under Wine"
# The executable folder holds the program and one update image; the
# simulated sensor hub runs the old firmware. The program runs on the real
# clock, as on a station.
app="$work/app"
sim="$work/sim"
mkdir -p "$app" "$sim"
cp build/mingw/QuorvexUpdate.exe "$app/"
printf '[DEVICE]\r\nFAMILY=5C\r\n' >"$sim/device.ini"
timeout 120 wine build/mingw/qv-imagetool.exe make --kind 126k --version "OEM V2.00" --oem "OEM V2.00" \
  --out "$(winepath -w "$app/fw.bin")" >/dev/null
timeout 60 wine reg delete 'HKLM\SOFTWARE\VOR\TAVO' /v FWVer /f >/dev/null 2>&1 || true
status=0
(cd "$app" && timeout 300 wine QuorvexUpdate.exe /S "--simulate=$(winepath -w "$sim")" >"$work/stdout.txt" 2>&1) ||
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

echo "windows stage passed in $((SECONDS - started)) s"
