#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh test

# The tests labelled root (ctest -L root) skip without root; run as anyone else, they run again
# through sudo, so none is left unrun.
run_tests() {
  ctest --preset "$1"
  if [ "$(id -u)" -ne 0 ]; then sudo ctest --preset "$1" -L root; fi
}
run_tests default

# A bounded fuzzing run over the Info.plist readers (clang, libFuzzer, ASan and UBSan).
scripts/fuzz.sh 30

# The unit and GUI tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake --preset asan >/dev/null
cmake --build --preset asan
run_tests asan

# Every source (the benchmarks' and the fuzzer's too) compiled against libc++, macOS's C++ library.
cmake --preset bench >/dev/null
scripts/check-libcxx.sh build/compile_commands.json build-bench/compile_commands.json \
  build-fuzz/compile_commands.json
