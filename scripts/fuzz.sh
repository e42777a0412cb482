#!/usr/bin/env bash
# Builds the ".sav" loader's fuzz target with clang and runs it for a bounded
# time. Usage: scripts/fuzz.sh [seconds]   (default 30)
# Exits non-zero when the fuzzer finds a crash, a leak-free abort or a memory
# blow-up; the offending input is kept under <build>/artifacts/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
build=${KORVA_FUZZ_BUILD:-"$root/build-fuzz"}

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is missing (apt-get install clang libclang-rt-14-dev)" >&2
  exit 2
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKORVA_FUZZ=ON -DKORVA_BUILD_TESTS=OFF -DKORVA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzz_sav --parallel "$(nproc)"

# New inputs go to a scratch corpus; the committed seeds stay untouched.
mkdir -p "$build/corpus" "$build/artifacts"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
echo "fuzz.sh: running fuzz_sav for ${seconds}s"
"$build/fuzz_sav" "$build/corpus" "$root/tests/fuzz/corpus" \
  -max_total_time="$seconds" -rss_limit_mb=1024 -malloc_limit_mb=64 -timeout=10 \
  -max_len=8192 -artifact_prefix="$build/artifacts/" -print_final_stats=1
