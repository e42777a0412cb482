#!/usr/bin/env bash
# Set-up, build and run every test: the unit tests under CTest, then the file
# loader's fuzz target for a bounded time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$root/build"
ctest --test-dir "$root/build" --output-on-failure --parallel "$(nproc)"
if [ -x "$root/scripts/fuzz.sh" ]; then
  "$root/scripts/fuzz.sh" "${KORVA_FUZZ_SECONDS:-30}"
fi
