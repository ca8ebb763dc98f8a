#!/usr/bin/env bash
# Builds the Info.plist fuzzer (preset fuzz, clang) and runs it from the committed seeds for a
# bounded time. Usage: scripts/fuzz.sh [seconds]   (default 30)
# New inputs it finds go to build-fuzz/corpus; a crashing input is written to
# build-fuzz/artifacts/ and the script fails. Keep such an input: copy it into tests/fuzz/corpus/
# and add it to the regression test that feeds the corpus through discovery.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
mkdir -p build-fuzz/corpus build-fuzz/artifacts
# Leaks are looked for by the asan preset's tests; checking after every input here would cost
# most of the run.
build-fuzz/tests/fuzz/fuzz_info_plist build-fuzz/corpus tests/fuzz/corpus \
  -dict=tests/fuzz/plist.dict -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -detect_leaks=0 -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/ 2>build-fuzz/fuzz.log \
  || { tail -n 60 build-fuzz/fuzz.log; echo "The fuzzer found a fault; its input is in build-fuzz/artifacts/"; exit 1; }
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' build-fuzz/fuzz.log
