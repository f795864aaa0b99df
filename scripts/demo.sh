#!/usr/bin/env bash
# The main job on the embedded default: builds the tool (and only the tool) and runs its
# demo session, which creates demo databases in a folder of its own and calls the classes
# as a page does. The script's own folder (out/demo) is remade on every run; a folder given
# as the argument is the caller's, and demo databases already in it are refused.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh
cmake -S "$root" -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKSMAIN_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target ksmain_tool
if [ $# -ge 1 ]; then
  build/tools/ksmain/ksmain demo "$1"
else
  build/tools/ksmain/ksmain demo --replace "$root/out/demo"
fi
