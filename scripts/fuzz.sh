#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang in build-fuzz and runs each
# for a bounded time from its committed corpus; fails on any crash, failed
# check, leak or hang. Usage: scripts/fuzz.sh [seconds per target, default 60]
# Inputs that fail are written to build-fuzz/artifacts/<target>/; new inputs
# the fuzzer finds interesting go to build-fuzz/corpus/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${FUZZ_SECONDS:-60}}

bash scripts/deps.sh fuzz

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DDSNCONF_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz --target dsnconf_fuzz_reg_text dsnconf_fuzz_dsn_file dsnconf_fuzz_json_text

# The file-DSN fuzzer writes a file on every input: memory is faster than disk.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

for target in reg_text dsn_file json_text; do
  found=build-fuzz/corpus/$target
  artifacts=build-fuzz/artifacts/$target
  rm -rf "$artifacts"
  mkdir -p "$found" "$artifacts"
  echo "== fuzzing $target for ${seconds}s"
  status=0
  "build-fuzz/fuzz/dsnconf_fuzz_$target" -max_total_time="$seconds" -timeout=10 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$found" "fuzz/corpus/$target" \
    >"build-fuzz/$target.log" 2>&1 || status=$?
  # The progress lines are many; the rest is the run's summary or its failure.
  grep -a -e '^stat::' -e '^Done' -e 'ERROR' -e 'SUMMARY' -e 'check failed' -e 'artifact' \
    "build-fuzz/$target.log" || true
  if ((status != 0)); then
    echo "fuzz.sh: $target failed (status $status); inputs kept in $artifacts" >&2
    exit 1
  fi
done
