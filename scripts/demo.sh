#!/usr/bin/env bash
# Builds QuorvexUpdate and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset default >/dev/null
cmake --build --preset default --target QuorvexUpdate
./build/default/QuorvexUpdate "$@"
