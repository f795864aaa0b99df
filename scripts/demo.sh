#!/usr/bin/env bash
# The main job on the embedded default: builds the tool and runs its demo session,
# which creates demo databases in a folder of its own and calls the classes as a page does.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh
scripts/build.sh build -DKSMAIN_BENCH=OFF
build/tools/ksmain/ksmain demo "${1:-$root/out/demo}"
