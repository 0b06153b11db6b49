#!/usr/bin/env bash
# Sets up what is missing, builds, and shows the runnable program folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
echo "Program folder: $root/build/kestrun"
find "$root/build/kestrun" -maxdepth 2 \( -type f -o -type l \) | sort | sed "s|$root/build/kestrun/||"
