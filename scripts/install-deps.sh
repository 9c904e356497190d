#!/usr/bin/env bash
# Installs on Debian (as root, or through sudo) what building QuorvexUpdate,
# its demo and its Linux tests need: the packages below and the lists in
# packages.d/*.txt. With --all also the lists in packages.d/all/*.txt, which
# the whole test suite (scripts/test.sh) needs beyond that: clang's fuzzing
# runtime, the Windows cross tools (MinGW-w64) and Wine.
set -euo pipefail
lists=("$(dirname "$0")"/packages.d/*.txt)
case "$*" in
  "") ;;
  --all) lists+=("$(dirname "$0")"/packages.d/all/*.txt) ;;
  *)
    echo "usage: $0 [--all]" >&2
    exit 2
    ;;
esac
packages=(
  cmake ninja-build g++
  libgtest-dev libgmock-dev libbenchmark-dev
)
for list in "${lists[@]}"; do
  [ -f "$list" ] || continue
  while read -r pkg; do
    [ -n "$pkg" ] && [ "${pkg#\#}" = "$pkg" ] && packages+=("$pkg")
  done < "$list"
done
missing=()
for pkg in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
