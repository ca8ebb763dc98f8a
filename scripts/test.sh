#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test
ctest --preset default

# A bounded fuzzing run over the Info.plist readers (clang, libFuzzer, ASan and UBSan).
scripts/fuzz.sh 30

# The unit and GUI tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan

# Every source (the benchmarks' and the fuzzer's too) compiled against libc++, macOS's C++ library.
cmake --preset bench >/dev/null
scripts/check-libcxx.sh build/compile_commands.json build-bench/compile_commands.json \
  build-fuzz/compile_commands.json
