# Sourced first by the bench scripts, once they have set $root: the program folder, the cache
# folder for samples ($bench), and `require TOOL...`, which stops with a hint when one is missing.
program=${KESTRUN_PROGRAM_DIR:-$root/build/kestrun}
bench=${KESTRUN_BENCH_DIR:-/tmp/kestrun-bench}
mkdir -p "$bench"
require() {
  local need
  for need in "$@"; do
    if ! command -v "$need" >/dev/null 2>&1; then
      echo "missing: $need (run scripts/setup.sh, then scripts/build.sh)" >&2
      exit 1
    fi
  done
}
