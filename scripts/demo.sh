#!/usr/bin/env bash
# A full update of the simulated sensor hub, as a station would run it.
# Builds the program and the image tool, lays out a station folder (the
# program, TAVO.ini choosing the update file by version, an update image
# made by qv-imagetool) and a simulated device (build/demo/device: an FF5C
# chip running firmware "OEM V1.00"), and runs the update twice: the first
# run programs "OEM V2.00", the second finds the device up to date.
#
# Without a display the program runs silently ("/S") and the script prints
# each run's result log, its result document (--result-json) and its exit
# code; with a display (and the window built) it shows the window. Both
# runs show their progress on standard error (--progress): one line
# rewritten in place on a terminal, "progress: <step> <n>%" lines otherwise. The device keeps its state between runs in
# build/demo/device (device.ini, flash.bin, eflash.bin, FWVer). The runs use
# the device's real timing (mode switches, waits): about 15 s for an update.
# Extra arguments go to both runs (for example /VF or /ERASE).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset default >/dev/null
cmake --build --preset default --target QuorvexUpdate qv-imagetool

demo=build/demo
rm -rf "$demo"
mkdir -p "$demo/station" "$demo/device"
cp build/default/QuorvexUpdate "$demo/station/"
./build/default/qv-imagetool make --kind 126k --version "V2.00" --oem "OEM V2.00" --seed 7 \
  --out "$demo/station/VORHUB_V2.00.bin" >/dev/null
printf '[CHECKVERSION]\r\nPROJECTNAME1=OEM V\r\n' >"$demo/station/TAVO.ini"
printf '[DEVICE]\nFAMILY=5C\nMODE=normal\n' >"$demo/device/device.ini"

silent=(/S)
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  silent=()
fi

run() {
  local title=$1
  shift
  echo
  echo "== $title"
  rm -f "$demo"/station/VORTAVOlog*.txt "$demo/station/result.json"
  local code=0
  # Standard output carries only the program's debugging lines; the
  # progress goes to standard error.
  (cd "$demo/station" &&
    ./QuorvexUpdate "${silent[@]}" --simulate=../device --progress --result-json=result.json "$@" >stdout.txt) ||
    code=$?
  for log in "$demo"/station/VORTAVOlog*.txt; do
    [ -f "$log" ] || continue
    echo "result log $(basename "$log"):"
    tr -d '\r' <"$log" | sed 's/^/  | /'
  done
  if [ -f "$demo/station/result.json" ]; then
    echo "result document result.json:"
    sed 's/^/  | /' "$demo/station/result.json"
  fi
  echo "exit code: $code"
  if [ -f "$demo/device/FWVer" ]; then
    echo "FWVer: $(cat "$demo/device/FWVer")"
  fi
}

run "update (the device runs OEM V1.00, the station holds OEM V2.00)" "$@"
run "second run" "$@"
