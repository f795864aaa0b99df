#!/usr/bin/env bash
# The main job on the embedded default: builds the tool and runs its demo session,
# which creates demo databases in a folder of its own and calls the classes as a page does.
# The script's own folder is remade on every run; a folder given as the argument is the
# caller's, and demo databases already in it are refused rather than replaced.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh
scripts/build.sh build -DKSMAIN_BENCH=OFF
if [ $# -ge 1 ]; then
  build/tools/ksmain/ksmain demo "$1"
else
  build/tools/ksmain/ksmain demo --replace "$root/out/demo"
fi
