#!/usr/bin/env bash
# The main job on the embedded default: builds the tool (and only the tool) and runs its
# demo session, which creates demo databases in a folder of its own and calls the classes
# as a page does. Without an argument that folder is out/demo, made afresh on every run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh
cmake -S "$root" -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKSMAIN_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target ksmain_tool
dir="${1:-}"
if [ -z "$dir" ]; then
  dir="$root/out/demo"
  rm -rf "$dir"
fi
build/tools/ksmain/ksmain demo "$dir"
