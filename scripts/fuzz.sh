#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ into build-fuzz/ (clang, address and undefined-behaviour
# sanitizers) and runs each for SECONDS (default 60) from its seed corpus in fuzz/corpus/<name>/.
# Exits non-zero on a crash, leak, timeout or memory blow-up, printing the input that did it.
# Usage: scripts/fuzz.sh [SECONDS] [HARNESS...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
case "$seconds" in '' | *[!0-9]*)
  echo "usage: scripts/fuzz.sh [SECONDS] [HARNESS...]" >&2
  exit 2
  ;;
esac

"$root/scripts/setup.sh"
build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DKESTRUN_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target kestrun_fuzzers -j"$(nproc)"

if [ $# -gt 0 ]; then
  harnesses=("$@")
else
  harnesses=()
  for source in "$root"/fuzz/*_fuzz.cpp; do
    name=$(basename "$source" _fuzz.cpp)
    harnesses+=("$name")
  done
fi

scratch=$(mktemp -d -p /dev/shm kestrun-fuzz.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export KESTRUN_FUZZ_SCRATCH="$scratch"

failed=()
for name in "${harnesses[@]}"; do
  program="$build/fuzzers/$name"
  seeds="$root/fuzz/corpus/$name"
  corpus="$build/corpus/$name"  # what the runs add, kept out of the tree
  artefacts="$build/artefacts/$name/"
  log="$build/logs/$name.log"
  mkdir -p "$seeds" "$corpus" "$artefacts" "$(dirname "$log")"
  rm -f "$artefacts"/*
  echo "== $name: ${seconds}s"
  if "$program" "$corpus" "$seeds" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
    -artifact_prefix="$artefacts" -print_final_stats=1 >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units' "$log" | sed 's/^/   /' || true
  else
    failed+=("$name")
    echo "!! $name failed; the end of its log ($log):"
    tail -n 40 "$log"
    for input in "$artefacts"*; do
      [ -f "$input" ] || continue
      echo "!! the input that did it: $input ($(stat -c %s "$input") bytes); its first bytes:"
      od -A d -c "$input" | head -n 20
    done
  fi
done

passed=$((${#harnesses[@]} - ${#failed[@]}))
echo "fuzzing: $passed passed, ${#failed[@]} failed"
if [ ${#failed[@]} -gt 0 ]; then
  echo "faults found by: ${failed[*]}" >&2
  exit 1
fi
