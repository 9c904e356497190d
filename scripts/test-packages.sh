#!/usr/bin/env bash
# Builds the Debian package of the default build and checks it: its files
# and their modes, the control fields, the dependencies found by
# dpkg-shlibdeps, the maintainer scripts and the man page. As root it then
# installs the package on this machine with dpkg, runs the installed program
# (a silent update of the simulated hub from /usr/bin), and removes and
# purges the package again.
#
# The install test leaves a machine alone that already has the package (in
# any state) or a /var/lib/quorvex folder, unless CI=true (CI machines are
# fresh and thrown away).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

fail() {
  echo "package check: $*" >&2
  exit 1
}

cmake --preset default >/dev/null
timeout 1200 cmake --build --preset default --target package
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/default/CMakeCache.txt)"
arch="$(dpkg --print-architecture)"
deb="build/default/quorvexupdate_${version}_${arch}.deb"
[ -f "$deb" ] || fail "no $deb"
echo "== $deb ($(stat -c %s "$deb") bytes)"

work="$(mktemp -d "${TMPDIR:-/tmp}/qv-package.XXXXXX")"
cleanups=()
cleanup() {
  local step
  for step in "${cleanups[@]}"; do eval "$step" || true; done
  rm -rf "$work"
}
trap cleanup EXIT

echo "== files"
# Mode, owner and path of every regular file.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $2, $6}' | sort >"$work/files.txt"
{
  echo "-rwxr-xr-x root/root ./usr/bin/QuorvexUpdate"
  echo "-rwxr-xr-x root/root ./usr/bin/qv-imagetool"
  [ ! -x build/default/qv-trace ] || echo "-rwxr-xr-x root/root ./usr/bin/qv-trace"
  echo "-rw-r--r-- root/root ./usr/lib/udev/rules.d/70-quorvex-sensorhub.rules"
  echo "-rw-r--r-- root/root ./usr/share/doc/quorvexupdate/README.md"
  echo "-rw-r--r-- root/root ./usr/share/doc/quorvexupdate/examples/TAVO.ini"
  echo "-rw-r--r-- root/root ./usr/share/man/man1/QuorvexUpdate.1.gz"
} | sort >"$work/expected-files.txt"
diff -u "$work/expected-files.txt" "$work/files.txt" || fail "the package's files differ from the list above"
dpkg-deb -x "$deb" "$work/root"
for program in "$work"/root/usr/bin/*; do
  file -b "$program" | grep -q 'ELF.*, stripped' || fail "$(basename "$program") is not a stripped ELF program"
done
cmp packaging/linux/70-quorvex-sensorhub.rules "$work/root/usr/lib/udev/rules.d/70-quorvex-sensorhub.rules"
cmp packaging/TAVO.ini "$work/root/usr/share/doc/quorvexupdate/examples/TAVO.ini"

echo "== control"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quorvexupdate ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), expected $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ "$(field Recommends)" = udev ] || fail "Recommends: $(field Recommends)"
depends="$(field Depends)"
echo "Depends: $depends"
# Every shared library the program and the tools load must come from a
# package the .deb depends on.
multiarch="$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
for program in "$work"/root/usr/bin/*; do
  for library in $(objdump -p "$program" | awk '$1 == "NEEDED" {print $2}'); do
    owner="$(dpkg -S "*/$multiarch/$library" 2>/dev/null | head -n 1 | cut -d: -f1)"
    [ -n "$owner" ] || fail "no installed package holds $library (needed by $(basename "$program"))"
    sed 's/, /\n/g' <<<"$depends" | cut -d' ' -f1 | grep -Fxq "$owner" ||
      fail "$(basename "$program") needs $library from $owner, which Depends does not name"
  done
done

echo "== maintainer scripts"
dpkg-deb -e "$deb" "$work/control"
for script in postinst postrm; do
  [ -x "$work/control/$script" ] || fail "$script is missing or not executable"
  cmp "packaging/linux/$script" "$work/control/$script"
  sh -n "$work/control/$script" || fail "$script does not parse"
done

echo "== man page"
man_page="$work/root/usr/share/man/man1/QuorvexUpdate.1.gz"
gzip -t "$man_page"
zcat "$man_page" | head -n 1 | grep -Fq "\"QuorvexUpdate $version\"" || fail "the man page does not carry version $version"
# groff's warnings (-ww) are faults of the page.
zcat "$man_page" | LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z 2>"$work/groff.txt" || true
[ ! -s "$work/groff.txt" ] || fail "groff: $(cat "$work/groff.txt")"
# The exit codes are those of the README's table.
codes() { grep -Eo '[0-9]+' | sort -n | tr '\n' ' '; }
readme_codes="$(sed -n '/^| exit code | outcome |$/,/^$/p' README.md | sed -n 's/^| \([0-9, ]*\) |.*/\1/p' | codes)"
man_codes="$(zcat "$man_page" | sed -n '/^\.SH EXIT STATUS/,/^\.SH /p' | sed -n '/^\.TP/{n;s/^\.B //p}' | codes)"
[ -n "$readme_codes" ] || fail "no exit code table found in README.md"
[ "$readme_codes" = "$man_codes" ] || fail "exit codes: README $readme_codes, man page $man_codes"
echo "exit codes: $man_codes"
# Every option of the program's --help (its lines that start with one) has
# its entry.
help_options="$(timeout 20 "$work/root/usr/bin/QuorvexUpdate" --help </dev/null |
  sed -nE 's/^ +(--[a-z][a-z-]*).*/\1/p' | sort -u)"
[ -n "$help_options" ] || fail "QuorvexUpdate --help names no option"
for option in $help_options; do
  zcat "$man_page" | sed -n '/^\.SH OPTIONS/,/^\.SH /p' | sed 's/\\-/-/g' | grep -Eq -- "^\.B[IR]? $option(\$|[ =\"])" ||
    fail "the man page has no entry for $option"
done
echo "options: $(echo $help_options)"

echo "== installing the package on this machine"
if [ "$(id -u)" -ne 0 ]; then
  echo "not root: install test skipped"
  echo "package checks passed in $((SECONDS - started)) s"
  exit 0
fi
if [ "${CI:-}" != true ] && { dpkg-query -W quorvexupdate >/dev/null 2>&1 || [ -e /var/lib/quorvex ]; }; then
  echo "this machine has quorvexupdate or /var/lib/quorvex already: install test skipped"
  echo "package checks passed in $((SECONDS - started)) s"
  exit 0
fi
# The program reads TAVO.ini and takes its update file from its own folder,
# and writes its result log there: for the installed program that is
# /usr/bin. Other programs' .bin files there (valgrind.bin) are left to /F.
for leftover in /usr/bin/TAVO.ini /usr/bin/VORTAVOlog*.txt /usr/bin/qv-package-test.bin; do
  [ ! -e "$leftover" ] || fail "$leftover would take part in the installed program's run"
done
cleanups+=("dpkg -P quorvexupdate >/dev/null 2>&1" "rm -f /usr/bin/qv-package-test.bin /usr/bin/VORTAVOlog*.txt")
timeout 300 dpkg -i "$deb"
[ "$(dpkg-query -W -f='${Status}' quorvexupdate)" = "install ok installed" ] || fail "dpkg does not list the package as installed"
[ "$(stat -c '%a %U %G' /var/lib/quorvex)" = "2775 root plugdev" ] ||
  fail "/var/lib/quorvex: $(stat -c '%a %U %G' /var/lib/quorvex), expected 2775 root plugdev"
[ -f /usr/lib/udev/rules.d/70-quorvex-sensorhub.rules ] || fail "no udev rule"
[ "$(command -v QuorvexUpdate)" = /usr/bin/QuorvexUpdate ] || fail "QuorvexUpdate is not /usr/bin/QuorvexUpdate on PATH"

# --version is checked once the program knows the option.
if grep -aq -- '--version' /usr/bin/QuorvexUpdate; then
  answer="$(timeout 20 QuorvexUpdate --version </dev/null)" || fail "QuorvexUpdate --version failed"
  [ "$(head -n 1 <<<"$answer")" = "QuorvexUpdate $version" ] || fail "--version: $answer"
  echo "--version: $(head -n 1 <<<"$answer")"
else
  echo "QuorvexUpdate does not know --version yet: not checked"
fi

echo "== silent simulated update with the installed program"
sim="$work/sim"
mkdir -p "$sim"
printf '[DEVICE]\r\nFAMILY=5C\r\n' >"$sim/device.ini"
timeout 60 qv-imagetool make --kind 126k --version "OEM V2.00" --oem "OEM V2.00" \
  --out /usr/bin/qv-package-test.bin >/dev/null
status=0
(cd "$work" && timeout 120 QuorvexUpdate /S /Fqv-package-test.bin "--simulate=$sim" --virtual-time </dev/null >"$work/stdout.txt" 2>&1) ||
  status=$?
[ "$status" -eq 0 ] || fail "exit code $status, expected 0: $(cat "$work/stdout.txt")"
logs=(/usr/bin/VORTAVOlog*.txt)
[ "${#logs[@]}" -eq 1 ] && [ -f "${logs[0]}" ] || fail "expected one result log in /usr/bin, found: ${logs[*]}"
printf 'New OEM Version: OEM V2.00\n\r\nOld OEM Version: OEM V1.00\n\r\nSuccess\r\n' >"$work/expected.log"
cmp "$work/expected.log" "${logs[0]}" || fail "result log differs: $(od -c "${logs[0]}" | head -5)"
[ "$(cat "$sim/FWVer")" = "OEM V2.00" ] || fail "FWVer: $(cat "$sim/FWVer")"
[ "$(dd if="$sim/flash.bin" bs=1 skip=$((0x3100)) count=9 2>/dev/null)" = "OEM V2.00" ] ||
  fail "the simulated chip does not carry the new firmware"
rm -f /usr/bin/qv-package-test.bin /usr/bin/VORTAVOlog*.txt
echo "exit code 0, result log in /usr/bin, new firmware on the simulated chip"

echo "== removing the package"
timeout 300 dpkg -r quorvexupdate
for gone in /usr/bin/QuorvexUpdate /usr/bin/qv-imagetool /usr/lib/udev/rules.d/70-quorvex-sensorhub.rules; do
  [ ! -e "$gone" ] || fail "$gone is still there after dpkg -r"
done
[ -d /var/lib/quorvex ] || fail "dpkg -r removed /var/lib/quorvex (only purging should)"
timeout 300 dpkg -P quorvexupdate
[ ! -e /var/lib/quorvex ] || fail "/var/lib/quorvex is still there after dpkg -P"
! dpkg-query -W quorvexupdate >/dev/null 2>&1 || fail "dpkg still knows the package after dpkg -P"
echo "removed, and purged with its folder"

echo "package checks passed in $((SECONDS - started)) s"
