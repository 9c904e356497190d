#!/usr/bin/env bash
# Builds and runs the whole test suite: the default build, the same suite
# under AddressSanitizer + UndefinedBehaviorSanitizer, a short run of every
# fuzz target, the Debian package, and the Windows cross-build, its zip and
# its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default
# The Debian package: its contents, and as root an install, a run of the
# installed program and a removal.
./scripts/test-packages.sh

cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
for target in build/fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  echo "== $(basename "$target")"
  "$target" -max_total_time=20 -rss_limit_mb=2048 -print_final_stats=0 2>&1 | tail -n 3
done
# The Windows cross-build and its tests under Wine.
./scripts/test-windows.sh

echo "all test stages passed"
