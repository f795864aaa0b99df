#!/usr/bin/env bash
# The whole test suite: an optimised build with warnings as errors, then the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh
# The tree is configured for /usr so that its .deb (built and checked by the suite) has the
# Debian layout.
scripts/build.sh build -DKSMAIN_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr
ctest --test-dir build --output-on-failure -j"$(nproc)"
scripts/build.sh build-asan -DKSMAIN_WERROR=ON -DKSMAIN_SANITIZE=ON -DKSMAIN_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$(nproc)"
